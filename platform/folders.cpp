// folders.cpp - POSIX calls behind the folder helpers.
#include "platform/folders.h"

#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace zor {
namespace {

bool isFolder(const std::string& path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

}  // namespace

std::string temporaryFolder() {
    const char* fromEnvironment = std::getenv("TMPDIR");
    std::string folder = fromEnvironment && *fromEnvironment && isFolder(fromEnvironment) ? fromEnvironment : "/tmp";
    if (folder.back() != '/') folder += '/';
    return folder;
}

std::string currentFolder() {
    std::vector<char> buffer(4096);
    for (;;) {
        if (::getcwd(buffer.data(), buffer.size())) return buffer.data();
        if (errno != ERANGE || buffer.size() > (1u << 20)) return {};
        buffer.resize(buffer.size() * 2);
    }
}

bool setCurrentFolder(const std::string& folder) { return ::chdir(folder.c_str()) == 0; }

bool createFolder(const std::string& folder) { return ::mkdir(folder.c_str(), 0777) == 0; }

bool createFolderPath(const std::string& folder) {
    if (folder.empty()) return false;
    for (std::size_t at = folder.find('/', 1); at != std::string::npos; at = folder.find('/', at + 1)) {
        const std::string prefix = folder.substr(0, at);
        if (!isFolder(prefix) && ::mkdir(prefix.c_str(), 0777) != 0 && errno != EEXIST) return false;
    }
    if (!isFolder(folder) && ::mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST) return false;
    return isFolder(folder);
}

bool removeFolder(const std::string& folder) { return ::rmdir(folder.c_str()) == 0; }

bool deleteFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

}  // namespace zor
