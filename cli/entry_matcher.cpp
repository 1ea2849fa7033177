// entry_matcher.cpp - matching the entries named on the command line.
#include "cli/entry_matcher.h"

#include "archive/entry_names.h"

namespace zor::cli {

std::string entryNameFor(const std::string& given) {
    std::string name = toEntryName(given);
    while (!name.empty() && name.back() == '\\') name.pop_back();
    return name;
}

std::vector<std::string> namesToMatch(const ArchiveEntry& entry) {
    if (entry.exact || entry.storedName == entry.name) return {entryNameFor(entry.name)};
    return {entryNameFor(entry.storedName), entryNameFor(entry.name)};
}

EntryMatcher::EntryMatcher(std::vector<std::string> given) : given_(std::move(given)), matched_(given_.size(), false) {
    for (const std::string& name : given_) wanted_.push_back(entryNameFor(name));
}

bool EntryMatcher::matches(const ArchiveEntry& entry) {
    if (wanted_.empty()) return true;
    bool matches = false;
    for (const std::string& name : namesToMatch(entry)) {
        for (std::size_t i = 0; i < wanted_.size(); ++i) {
            const std::string& wanted = wanted_[i];
            const bool inside = name.size() > wanted.size() && name.compare(0, wanted.size(), wanted) == 0 &&
                                name[wanted.size()] == '\\';
            if (!wanted.empty() && (name == wanted || inside)) matched_[i] = matches = true;
        }
    }
    return matches;
}

std::vector<std::string> EntryMatcher::unmatched() const {
    std::vector<std::string> names;
    for (std::size_t i = 0; i < given_.size(); ++i)
        if (!matched_[i]) names.push_back(given_[i]);
    return names;
}

}  // namespace zor::cli
