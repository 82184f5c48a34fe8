#include "ui/backend.h"

#include <algorithm>

#include "ui/form.h"
#include "ui/handler_guard.h"
#include "ui/timer.h"
#include "ui/timer_queue.h"

namespace talvorin::ui {

Timer::Timer(Backend& backend, std::string name, int intervalMs)
    : queue_(backend.timers()), name_(std::move(name)), intervalMs_(intervalMs)
{
    queue_.add(*this);
}

Timer::~Timer() { queue_.remove(*this); }

void Timer::setEnabled(bool on)
{
    enabled_ = on;
    if (on) queue_.schedule(*this);
    queue_.changed();
}

Size Backend::windowSize(const Form& form) const { return form.clientSize; }

void TimerQueue::remove(Timer& t)
{
    std::erase(timers_, &t);
    changed();
}

void TimerQueue::schedule(Timer& t) { t.due_ = clock_.now() + std::chrono::milliseconds(t.intervalMs_); }

void TimerQueue::fireDue()
{
    // A handler may run the message loop itself (the whole setup run is one timer
    // handler), so work on a snapshot and check each timer again before firing it.
    const auto snapshot = timers_;
    for (Timer* t : snapshot) {
        if (std::find(timers_.begin(), timers_.end(), t) == timers_.end()) continue;
        if (!t->enabled_ || t->due_ > clock_.now()) continue;
        schedule(*t);
        if (t->onTimer) dispatchGuarded(reporter_, t->onTimer);
    }
    changed();
}

std::optional<std::chrono::milliseconds> TimerQueue::nextDue() const
{
    std::optional<std::chrono::milliseconds> next;
    for (const Timer* t : timers_)
        if (t->enabled_ && (!next || t->due_ < *next)) next = t->due_;
    return next;
}

int TimerQueue::msUntilNext() const
{
    const auto next = nextDue();
    if (!next) return -1;
    return static_cast<int>(std::max<std::chrono::milliseconds::rep>(0, (*next - clock_.now()).count()));
}

}  // namespace talvorin::ui
