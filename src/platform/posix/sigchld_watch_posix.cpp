#include "platform/posix/sigchld_watch.h"

#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "platform/posix/child_status.h"

namespace talvorin::platform {
namespace {

// A slot moves Free -> Claimed -> Active -> Ended -> Free, or Active -> Abandoned -> Free
// when its owner goes before the child ends. Busy marks the one caller (handler or not)
// that is looking at the child right now; everything here is lock-free so that the
// handler may run in the middle of any of it.
enum State : int { kFree, kClaimed, kActive, kBusy, kAbandoned, kEnded };

struct Slot {
    std::atomic<int> state{kFree};
    std::atomic<bool> recheck{false};
    std::atomic<pid_t> pid{0};
    std::atomic<int> writeFd{-1};
    std::atomic<int> exitCode{0};
};

static_assert(std::atomic<int>::is_always_lock_free && std::atomic<bool>::is_always_lock_free &&
                  std::atomic<pid_t>::is_always_lock_free,
              "the SIGCHLD handler needs lock-free atomics");

constexpr int kSlotCount = 64;
Slot slots[kSlotCount];
struct sigaction previousAction;

// Reaps the slot's child if it has ended. Safe in the signal handler. A caller that finds
// the slot busy leaves a recheck behind, which the holder honours before it lets go, so
// an end that arrives while someone else is looking is not lost.
void check(Slot& slot)
{
    slot.recheck.store(true);
    for (;;) {
        int seen = slot.state.load();
        if (seen != kActive && seen != kAbandoned) return;
        if (!slot.state.compare_exchange_strong(seen, kBusy)) return;
        slot.recheck.store(false);

        const pid_t pid = slot.pid.load();
        int status = 0;
        pid_t reaped;
        do reaped = ::waitpid(pid, &status, WNOHANG);
        while (reaped < 0 && errno == EINTR);

        if (reaped == pid || (reaped < 0 && errno == ECHILD)) {
            if (seen == kActive) {
                slot.exitCode.store(reaped == pid ? exitCodeOf(status) : kLostExitCode);
                const char byte = 1;
                [[maybe_unused]] const ssize_t ignored = ::write(slot.writeFd.load(), &byte, 1);
                slot.state.store(kEnded);
            } else {
                slot.state.store(kFree);
            }
            return;
        }
        slot.state.store(seen);
        if (!slot.recheck.load()) return;
    }
}

void onSigchld(int sig, siginfo_t* info, void* context)
{
    const int savedErrno = errno;
    for (Slot& slot : slots) check(slot);
    if (previousAction.sa_flags & SA_SIGINFO) {
        if (previousAction.sa_sigaction != nullptr) previousAction.sa_sigaction(sig, info, context);
    } else if (previousAction.sa_handler != SIG_DFL && previousAction.sa_handler != SIG_IGN) {
        previousAction.sa_handler(sig);
    }
    errno = savedErrno;
}

bool installHandler()
{
    struct sigaction action {};
    action.sa_sigaction = onSigchld;
    action.sa_flags = SA_SIGINFO | SA_RESTART | SA_NOCLDSTOP;
    sigemptyset(&action.sa_mask);
    return ::sigaction(SIGCHLD, &action, &previousAction) == 0;
}

}  // namespace

std::optional<WatchedChild> watchChild(pid_t pid)
{
    static const bool installed = installHandler();
    if (!installed) return std::nullopt;

    int ends[2];
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) return std::nullopt;
    UniqueFd readEnd(ends[0]);
    UniqueFd writeEnd(ends[1]);

    for (int i = 0; i < kSlotCount; ++i) {
        int expected = kFree;
        if (!slots[i].state.compare_exchange_strong(expected, kClaimed)) continue;
        slots[i].pid.store(pid);
        slots[i].writeFd.store(writeEnd.release());
        slots[i].state.store(kActive);
        // The child may have ended before it was registered, unseen by the handler.
        check(slots[i]);
        return WatchedChild{i, std::move(readEnd)};
    }
    return std::nullopt;
}

std::optional<int> watchedExitCode(int slotIndex)
{
    Slot& slot = slots[slotIndex];
    check(slot);
    if (slot.state.load() == kEnded) return slot.exitCode.load();
    return std::nullopt;
}

void unwatchChild(int slotIndex)
{
    Slot& slot = slots[slotIndex];
    for (;;) {
        int seen = slot.state.load();
        if (seen == kEnded) {
            ::close(slot.writeFd.exchange(-1));
            slot.state.store(kFree);
            return;
        }
        if (seen == kActive && slot.state.compare_exchange_strong(seen, kBusy)) {
            ::close(slot.writeFd.exchange(-1));
            slot.state.store(kAbandoned);
            check(slot);
            return;
        }
        ::sched_yield();  // a handler on another thread holds the slot for a moment
    }
}

}  // namespace talvorin::platform
