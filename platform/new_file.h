// new_file.h - a file that appears under its name only once it is complete, so that nothing of a failed write stays.
//
// The file is created unnamed in its target folder (O_TMPFILE) where the
// file system allows it; even SIGKILL or a power cut then leaves nothing.
// Elsewhere it is a part file "NAME.part-PID-N" beside the target, created
// with O_EXCL and registered so that a fatal signal removes it
// (signal_cleanup.h). Committing links or renames it onto the target name:
// - without `replace`, commit fails with EEXIST when anything stands at the
//   name (nothing is ever overwritten, even something that appeared while
//   the file was written);
// - with `replace`, whatever stands there (a file, a symbolic link itself,
//   never its target) is replaced in one rename; nothing is written through it.
// Commit does not sync: callers that owe durability fsync the descriptor first.
#pragma once

#include <string>
#include <sys/types.h>

namespace zor {

class NewFile {
public:
    NewFile() = default;
    NewFile(const NewFile&) = delete;
    NewFile& operator=(const NewFile&) = delete;
    ~NewFile() { discard(); }

    // Creates the file that will become `name` inside the folder open as
    // `folder` (AT_FDCWD: the current folder); the descriptor is duplicated,
    // so the caller may close its own. `mode` goes through the umask as for
    // any create. False, with errno set, when nothing could be created.
    // `allowUnnamed` false makes a part file even where the file system
    // could do without one (for tests of that path).
    bool create(int folder, const std::string& name, mode_t mode = 0666, bool allowUnnamed = true);
    // The same for a path: the file goes into the folder that holds `path`.
    bool createBeside(const std::string& path, mode_t mode = 0666);

    // The new file's descriptor, open for reading and writing; -1 when there is none.
    int descriptor() const { return file_; }
    // True when the file has no name on disk until it is committed.
    bool unnamed() const { return file_ >= 0 && partName_.empty(); }

    // Puts the file in place under its name (see above) and closes it;
    // false, with errno set, when it could not (the file is then discarded).
    bool commit(bool replace);
    // Closes the file and removes what this object created; does nothing after commit.
    void discard();

private:
    bool linkUnnamed(const std::string& as) const;
    void closeAll();

    int folder_ = -1;
    int file_ = -1;
    std::string name_;
    std::string partName_;  // empty while the file is unnamed
    int registration_ = -1;
};

}  // namespace zor
