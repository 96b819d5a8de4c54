// Named page files removed when a signal ends the program. The handler may only make
// async-signal-safe calls, so every name it removes is prepared beforehand: a folder
// descriptor and a short name, armed last.
#include "platform/posix/PageFileSignals.h"

#include <pthread.h>
#include <unistd.h>

#include <cstring>

namespace horofu {

// Signals sent to end the program, which may be held back for a moment.
constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGXFSZ};
// Signals the program raises on itself when it fails (an abort, a bad address): never held,
// but they end the program as surely, so they too remove the names.
constexpr int kFailingSignals[] = {SIGABRT, SIGSEGV, SIGBUS};
constexpr std::size_t kNameSize = 32;

struct NamedFileSlot {
    volatile sig_atomic_t armed;
    int folder;
    char name[kNameSize];
};

namespace {

// One per page file a program holds at once; the command holds one.
NamedFileSlot gSlots[4];

void RemoveNamedFilesAndDie(int signal) {
    for (NamedFileSlot& slot : gSlots) {
        if (slot.armed) ::unlinkat(slot.folder, slot.name, 0);
    }
    // Ends the program by the same signal, so that its parent sees 128 + signal (and a
    // failing signal still leaves its core dump).
    struct sigaction byDefault {};
    byDefault.sa_handler = SIG_DFL;
    ::sigaction(signal, &byDefault, nullptr);
    sigset_t only;
    ::sigemptyset(&only);
    ::sigaddset(&only, signal);
    ::sigprocmask(SIG_UNBLOCK, &only, nullptr);
    ::raise(signal);
    ::_exit(128 + signal);
}

sigset_t EndingSignals() {
    sigset_t set;
    ::sigemptyset(&set);
    for (int signal : kEndingSignals) ::sigaddset(&set, signal);
    return set;
}

}  // namespace

void RemoveNamedFilesOnSignals() {
    static const bool installed = [] {
        struct sigaction action {};
        action.sa_handler = RemoveNamedFilesAndDie;
        action.sa_mask = EndingSignals();
        for (int signal : kEndingSignals) {
            struct sigaction old {};
            if (::sigaction(signal, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
            ::sigaction(signal, &action, nullptr);
        }
        for (int signal : kFailingSignals) ::sigaction(signal, &action, nullptr);
        return true;
    }();
    (void)installed;
}

NamedFileSlot* Arm(int folder, const std::string& name) {
    for (NamedFileSlot& slot : gSlots) {
        if (slot.armed) continue;
        slot.folder = folder;
        std::memcpy(slot.name, name.c_str(), name.size() + 1);
        slot.armed = 1;
        return &slot;
    }
    return nullptr;  // more pages at once than slots: removed on every exit but a signal
}

void Disarm(NamedFileSlot*& slot) {
    if (slot != nullptr) slot->armed = 0;
    slot = nullptr;
}

SignalsHeld::SignalsHeld() {
    const sigset_t set = EndingSignals();
    ::pthread_sigmask(SIG_BLOCK, &set, &old_);
}

SignalsHeld::~SignalsHeld() {
    ::pthread_sigmask(SIG_SETMASK, &old_, nullptr);
}

}  // namespace horofu
