// signal_cleanup.h - part files that a fatal signal (SIGTERM, SIGHUP, a second Ctrl+C) removes before the process ends.
//
// A signal handler may call nothing but async-signal-safe functions, so the
// names live in a fixed table of slots (folder descriptor and name) that
// the handler walks with unlinkat. Registering takes a free slot; with all
// slots taken it fails, and the caller must not create the file.
#pragma once

#include <csignal>
#include <string>

namespace zor {

// Records `name` in the folder open as `folder` (the descriptor must stay
// open until unregistered); the slot number, or -1 when the table is full
// or the name too long.
int registerPartFile(int folder, const std::string& name);
void unregisterPartFile(int slot);

// Removes every registered file. Async-signal-safe: for signal handlers.
void removePartFilesNow();

// Installs handlers for SIGTERM, SIGHUP, SIGQUIT and SIGINT that remove the part
// files and then end the process by the same signal, and ignores SIGPIPE so
// that a write to a closed pipe fails with EPIPE and is reported instead of
// ending the process. An interface that makes Ctrl+C an abort request
// installs its own SIGINT handler over this one, and calls
// removePartFilesNow() itself before a second Ctrl+C ends the process.
void installPartFileRemovalOnSignals();

// Blocks the signals above for the lifetime of the object (in this thread),
// so that a file is never created without being registered, or renamed
// into place while a handler could still remove it by its part name.
class FatalSignalsBlocked {
public:
    FatalSignalsBlocked();
    ~FatalSignalsBlocked();
    FatalSignalsBlocked(const FatalSignalsBlocked&) = delete;
    FatalSignalsBlocked& operator=(const FatalSignalsBlocked&) = delete;

private:
    sigset_t previous_;
};

}  // namespace zor
