#pragma once

#include <functional>
#include <string>

#include "dbwork/step_context.h"
#include "platform/clock.h"
#include "platform/system_info.h"

namespace talvorin::app {

// system.log in the kit folder: banners and time-stamped lines, appended by every run and
// never shortened. Each line is appended on its own, so a crash or a full disk can cost
// at most the line being written, never the history.
class SetupLog : public dbwork::LogSink {
public:
    // letMessagesThrough runs before the Windows directory is looked up, as it always has.
    SetupLog(const platform::SystemInfo& system, const platform::Clock& clock,
             std::function<void()> letMessagesThrough = {});

    // The Windows directory with a separator at its end; empty when the system has none.
    std::string GetWinDir() const;
    std::string GetPCName() const;
    std::string path() const;

    // Throw std::runtime_error naming the file when the line cannot be written.
    void WriteLog(const std::string& message) override;
    void WriteLogBanner(bool start);
    // The file the last line or banner went to; empty while nothing could be written.
    const std::string& lastFile() const { return lastFile_; }

    // "yyyy-mm-dd hh:mm:ss "
    static std::string formatTime(const platform::LocalTime& t);

private:
    const platform::SystemInfo& system_;
    const platform::Clock& clock_;
    std::function<void()> letMessagesThrough_;
    std::string lastFile_;
};

}  // namespace talvorin::app
