#include "platform/program_arguments.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace talvorin::platform {
namespace {

using ::testing::ElementsAreArray;

struct SplitCase {
    const char* commandLine;
    std::vector<std::string> arguments;
};

TEST(ProgramArguments, SplitsAsTheInstallerWritesThem)
{
    const SplitCase cases[] = {
        {"", {}},
        {"   \t ", {}},
        {"Talvorin.exe 302 C:\\Srv 1 C:\\Sup Setup.ini",
         {"Talvorin.exe", "302", "C:\\Srv", "1", "C:\\Sup", "Setup.ini"}},
        // A quoted folder keeps its final backslash and the argument after it stays apart.
        {"\"C:\\Kit\\Talvorin.exe\" 306 \"C:\\Program Files\\Velmora\\\" 1 \"C:\\Sup port\\\" Setup.ini",
         {"C:\\Kit\\Talvorin.exe", "306", "C:\\Program Files\\Velmora\\", "1", "C:\\Sup port\\", "Setup.ini"}},
        // Quotes only group: they may stand inside an argument and are dropped.
        {"a\"b c\"d e", {"ab cd", "e"}},
        // An empty quoted argument still counts.
        {"x \"\" y", {"x", "", "y"}},
        // An unclosed quote runs to the end.
        {"x \"a b", {"x", "a b"}},
        // Backslashes before quotes are ordinary characters.
        {"x a\\\"b c\" d", {"x", "a\\b c", "d"}},
        // Control characters separate like blanks.
        {"x\ty\r\nz", {"x", "y", "z"}},
    };
    for (const auto& c : cases)
        EXPECT_THAT(splitProgramCommandLine(c.commandLine), ElementsAreArray(c.arguments)) << c.commandLine;
}

}  // namespace
}  // namespace talvorin::platform
