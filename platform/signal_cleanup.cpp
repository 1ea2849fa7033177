// signal_cleanup.cpp - the slot table of part files and the handlers that empty it.
#include "platform/signal_cleanup.h"

#include <atomic>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace zor {
namespace {

constexpr int kSlots = 64;
constexpr std::size_t kLongestName = 256;

struct Slot {
    std::atomic<int> state{0};  // 0 free, 1 being filled, 2 registered
    int folder = -1;
    char name[kLongestName] = {};
};

Slot slots[kSlots];

constexpr int kFatalSignals[] = {SIGTERM, SIGHUP, SIGQUIT, SIGINT};

void onFatalSignal(int signalNumber) {
    removePartFilesNow();
    ::signal(signalNumber, SIG_DFL);
    ::raise(signalNumber);
}

}  // namespace

int registerPartFile(int folder, const std::string& name) {
    if (name.size() >= kLongestName) return -1;
    for (int i = 0; i < kSlots; ++i) {
        int expected = 0;
        if (!slots[i].state.compare_exchange_strong(expected, 1)) continue;
        slots[i].folder = folder;
        std::memcpy(slots[i].name, name.c_str(), name.size() + 1);
        slots[i].state.store(2);
        return i;
    }
    return -1;
}

void unregisterPartFile(int slot) {
    if (slot >= 0 && slot < kSlots) slots[slot].state.store(0);
}

void removePartFilesNow() {
    for (Slot& slot : slots) {
        if (slot.state.load() == 2) ::unlinkat(slot.folder, slot.name, 0);
    }
}

void installPartFileRemovalOnSignals() {
    struct sigaction action {};
    action.sa_handler = onFatalSignal;
    sigemptyset(&action.sa_mask);
    for (int signalNumber : kFatalSignals) ::sigaction(signalNumber, &action, nullptr);
    ::signal(SIGPIPE, SIG_IGN);
}

FatalSignalsBlocked::FatalSignalsBlocked() {
    sigset_t blocked;
    sigemptyset(&blocked);
    for (int signalNumber : kFatalSignals) sigaddset(&blocked, signalNumber);
    ::pthread_sigmask(SIG_BLOCK, &blocked, &previous_);
}

FatalSignalsBlocked::~FatalSignalsBlocked() { ::pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }

}  // namespace zor
