#pragma once

#include <chrono>
#include <optional>
#include <vector>

namespace talvorin::ui {

class Backend;
class Timer;

// The clock the timers of a message loop run on, and a system timer to set for them.
class TimerClock {
public:
    virtual ~TimerClock() = default;
    virtual std::chrono::milliseconds now() const = 0;
    // Whenever a timer was enabled, disabled or fired: a front end with a system timer sets
    // it for the queue's nextDue().
    virtual void timersChanged() {}
};

// The timers of one message loop.
class TimerQueue {
public:
    // A failure a timer's handler does not catch is shown through `reporter`.
    TimerQueue(Backend& reporter, TimerClock& clock) : reporter_(reporter), clock_(clock) {}
    TimerQueue(const TimerQueue&) = delete;
    TimerQueue& operator=(const TimerQueue&) = delete;

    // Fires every enabled timer whose time has come, once each.
    void fireDue();
    // When the next enabled timer is due; nullopt when none is enabled.
    std::optional<std::chrono::milliseconds> nextDue() const;
    // How long until then, from now: -1 when no timer is enabled.
    int msUntilNext() const;

private:
    friend class Timer;
    void add(Timer& t) { timers_.push_back(&t); }
    void remove(Timer& t);
    void schedule(Timer& t);
    void changed() { clock_.timersChanged(); }

    Backend& reporter_;
    TimerClock& clock_;
    std::vector<Timer*> timers_;
};

}  // namespace talvorin::ui
