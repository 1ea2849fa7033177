// entry_names.cpp - name conversion and the safety check applied before anything is written to disk.
#include "archive/entry_names.h"

#include <algorithm>

namespace zor {

std::string toEntryName(const std::string& relativeDiskPath) {
    std::string name = relativeDiskPath;
    for (char& c : name) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        else if (c == '/') c = '\\';
    }
    return name;
}

std::string toDiskPath(const std::string& entryName) {
    std::string path = entryName;
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

std::optional<std::string> unsafeEntryNameReason(const std::string& entryName, bool isFolder) {
    std::string name = entryName;
    if (isFolder && !name.empty() && name.back() == '\\') name.pop_back();
    if (name.empty()) return "the name is empty";
    if (name.find('\0') != std::string::npos) return "the name holds a zero byte";
    if (name.find('/') != std::string::npos) return "the name holds \"/\"";
    if (name.front() == '\\') return "the name is absolute";
    if (name.size() >= 2 && name[1] == ':') return "the name starts with a drive";
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = name.find('\\', start);
        const std::string component = name.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (component.empty()) return "the name holds an empty component";
        if (component == "..") return "the name holds a \"..\" component";
        if (component == ".") return "the name holds a \".\" component";
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return std::nullopt;
}

std::string lastEntryComponent(const std::string& entryName) {
    std::string name = entryName;
    if (!name.empty() && name.back() == '\\') name.pop_back();
    const auto slash = name.rfind('\\');
    return slash == std::string::npos ? name : name.substr(slash + 1);
}

}  // namespace zor
