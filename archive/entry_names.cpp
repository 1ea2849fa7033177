// entry_names.cpp - name conversion and the safety check applied before anything is written to disk.
#include "archive/entry_names.h"

#include <algorithm>

#include "archive/windows_1252.h"

namespace zor {

namespace {

// `name` with `convert` applied to each of its "\"-separated components (a final "\" kept).
template <typename Convert>
std::string byComponent(const std::string& name, Convert convert) {
    std::string result;
    result.reserve(name.size());
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = name.find('\\', start);
        result += convert(name.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) return result;
        result += '\\';
        start = end + 1;
    }
}

bool isAscii(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

}  // namespace

std::string toEntryName(const std::string& relativeDiskPath) {
    std::string name = relativeDiskPath;
    std::replace(name.begin(), name.end(), '/', '\\');
    name = byComponent(name, [](const std::string& component) {
        if (isAscii(component)) return component;
        return windows1252FromUtf8(component).value_or(component);
    });
    for (char& c : name) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return name;
}

std::string readableEntryName(const std::string& storedName) {
    return byComponent(storedName, [](const std::string& component) {
        return isValidUtf8(component) ? component : utf8FromWindows1252(component);
    });
}

bool storedNameLosesExactName(const std::string& exactName) {
    return readableEntryName(toEntryName(exactName)) != exactName;
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
