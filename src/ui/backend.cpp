#include "ui/backend.h"

#include <algorithm>

#include "ui/form.h"
#include "ui/handler_guard.h"
#include "ui/timer.h"

namespace talvorin::ui {

Timer::Timer(Backend& backend, std::string name, int intervalMs)
    : backend_(backend), name_(std::move(name)), intervalMs_(intervalMs)
{
    backend_.addTimer(*this);
}

Timer::~Timer() { backend_.removeTimer(*this); }

void Timer::setEnabled(bool on)
{
    enabled_ = on;
    if (on) backend_.schedule(*this);
    backend_.timersChanged();
}

Size Backend::windowSize(const Form& form) const { return form.clientSize; }

void Backend::removeTimer(Timer& t)
{
    std::erase(timers_, &t);
    timersChanged();
}

void Backend::schedule(Timer& t) { t.due_ = now() + std::chrono::milliseconds(t.intervalMs_); }

void Backend::fireDueTimers()
{
    // A handler may run the message loop itself (the whole setup run is one timer
    // handler), so work on a snapshot and check each timer again before firing it.
    const auto snapshot = timers_;
    for (Timer* t : snapshot) {
        if (std::find(timers_.begin(), timers_.end(), t) == timers_.end()) continue;
        if (!t->enabled_ || t->due_ > now()) continue;
        schedule(*t);
        if (t->onTimer) dispatchGuarded(*this, t->onTimer);
    }
    timersChanged();
}

std::optional<std::chrono::milliseconds> Backend::nextDue() const
{
    std::optional<std::chrono::milliseconds> next;
    for (const Timer* t : timers_)
        if (t->enabled_ && (!next || t->due_ < *next)) next = t->due_;
    return next;
}

}  // namespace talvorin::ui
