#include "app/setup_log.h"

#include <cstdio>

#include "platform/file_system.h"
#include "platform/paths.h"
#include "setupdata/setup_files.h"

namespace talvorin::app {
namespace {

constexpr const char* kStartText = "Start database / table creation program";
constexpr const char* kEndText = "End database / table createion program";  // as it always read
constexpr const char* kCrLf = "\r\n";

// Every break in a message (CR LF, LF or CR) becomes CR LF, so each of its lines is a line
// of the file; only the first carries the computer name and time.
std::string withCrLfBreaks(const std::string& text)
{
    std::string out;
    out.reserve(text.size() + 2);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            out += kCrLf;
        } else {
            out += text[i];
        }
    }
    return out;
}

}  // namespace

SetupLog::SetupLog(const platform::SystemInfo& system, const platform::Clock& clock,
                   std::function<void()> letMessagesThrough)
    : system_(system), clock_(clock), letMessagesThrough_(std::move(letMessagesThrough))
{
}

std::string SetupLog::GetWinDir() const
{
    if (letMessagesThrough_) letMessagesThrough_();
    return platform::withTrailingSeparatorUnlessEmpty(system_.windowsDirectory());
}

std::string SetupLog::GetPCName() const { return system_.computerName().substr(0, 15); }

std::string SetupLog::path() const { return setupdata::kitFolder(GetWinDir()) + "system.log"; }

std::string SetupLog::formatTime(const platform::LocalTime& t)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d ", t.year, t.month, t.day, t.hour, t.minute,
                  t.second);
    return buf;
}

void SetupLog::WriteLog(const std::string& message)
{
    const std::string line = GetPCName() + " " + formatTime(clock_.now()) + message;
    const std::string file = path();
    platform::appendLines(file, withCrLfBreaks(line) + kCrLf);
    lastFile_ = file;
}

void SetupLog::WriteLogBanner(bool start)
{
    const std::string rule(80, '-');
    const std::string file = path();
    platform::appendLines(file, rule + kCrLf + (start ? kStartText : kEndText) + kCrLf + rule + kCrLf);
    lastFile_ = file;
}

}  // namespace talvorin::app
