#include "e2e/program_run.h"

#include <cctype>

#include "support/fakes.h"

namespace talvorin::testing {

namespace {

// The length of the computer name of a line that starts "NAME yyyy-mm-dd hh:mm:ss ", or 0.
// By hand: std::regex recurses once per character and overflows the stack on long lines.
std::size_t stampedNameLength(const std::string& line)
{
    const std::size_t blank = line.find(' ');
    if (blank == 0 || blank > 15 || blank == std::string::npos) return 0;
    for (std::size_t i = 0; i < blank; ++i)
        if (std::isspace(static_cast<unsigned char>(line[i]))) return 0;
    const std::string shape = "dddd-dd-dd dd:dd:dd ";
    if (line.size() < blank + 1 + shape.size()) return 0;
    for (std::size_t i = 0; i < shape.size(); ++i) {
        const char c = line[blank + 1 + i];
        if (shape[i] == 'd' ? !std::isdigit(static_cast<unsigned char>(c)) : c != shape[i]) return 0;
    }
    return blank;
}

constexpr std::size_t kStampLength = 1 + 20;  // the blank after the name and the time stamp

}  // namespace

std::vector<std::string> unstampedLogLines(const std::string& logText, std::string* computerName)
{
    std::vector<std::string> out;
    for (const std::string& line : crlfLines(logText)) {
        if (const std::size_t name = stampedNameLength(line)) {
            if (computerName) *computerName = line.substr(0, name);
            out.push_back(line.substr(name + kStampLength));
        } else {
            out.push_back(line);
        }
    }
    return out;
}

std::vector<std::string> runLinesOf(const std::string& logPath)
{
    const auto all = unstampedLogLines(readFile(logPath));
    return all.size() < 12 ? all : std::vector<std::string>(all.begin() + 9, all.end() - 3);
}

bool onlyWholeLogLines(const std::string& logText, std::string* firstBad)
{
    const std::string rule(80, '-');
    std::size_t pos = 0;
    while (pos < logText.size()) {
        const std::size_t end = logText.find("\r\n", pos);
        const std::string line = logText.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
        const bool whole = end != std::string::npos && line.find_first_of("\r\n") == std::string::npos &&
                           (line == rule || line == "Start database / table creation program" ||
                            line == "End database / table createion program" || stampedNameLength(line) > 0);
        if (!whole) {
            if (firstBad) *firstBad = line;
            return false;
        }
        pos = end + 2;
    }
    return true;
}

}  // namespace talvorin::testing
