#pragma once

#include <chrono>
#include <functional>
#include <string>

namespace talvorin::ui {

class Backend;
class TimerQueue;

// A window timer. Like the system's, a timer that fell behind fires once, not once
// for every interval it missed, and it fires only when messages are handled.
class Timer {
public:
    Timer(Backend& backend, std::string name, int intervalMs);
    ~Timer();
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

    const std::string& name() const { return name_; }
    int interval() const { return intervalMs_; }
    bool enabled() const { return enabled_; }
    // Enabling (again) starts a full interval from now.
    void setEnabled(bool on);

    std::function<void()> onTimer;

private:
    friend class TimerQueue;
    TimerQueue& queue_;
    std::string name_;
    int intervalMs_;
    bool enabled_ = false;
    std::chrono::milliseconds due_{0};
};

}  // namespace talvorin::ui
