// unique_descriptor.h - a file descriptor closed when its owner goes out of scope.
#pragma once

#include <unistd.h>

namespace zor {

class UniqueDescriptor {
public:
    explicit UniqueDescriptor(int fd = -1) : fd_(fd) {}
    ~UniqueDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    UniqueDescriptor(const UniqueDescriptor&) = delete;
    UniqueDescriptor& operator=(const UniqueDescriptor&) = delete;

    bool open() const { return fd_ >= 0; }
    int get() const { return fd_; }

private:
    int fd_;
};

}  // namespace zor
