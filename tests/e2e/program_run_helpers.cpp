#include "e2e/program_run.h"

#include <regex>

#include "support/fakes.h"

namespace talvorin::testing {

std::vector<std::string> unstampedLogLines(const std::string& logText, std::string* computerName)
{
    static const std::regex stamp(R"(^(\S{1,15}) \d{4}-\d\d-\d\d \d\d:\d\d:\d\d (.*)$)");
    std::vector<std::string> out;
    for (const std::string& line : crlfLines(logText)) {
        std::smatch m;
        if (std::regex_match(line, m, stamp)) {
            if (computerName) *computerName = m[1];
            out.push_back(m[2]);
        } else {
            out.push_back(line);
        }
    }
    return out;
}

}  // namespace talvorin::testing
