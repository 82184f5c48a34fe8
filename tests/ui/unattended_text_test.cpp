// Line breaks of a message as both front ends write it for nobody's eyes.
#include <gtest/gtest.h>

#include <string>

#include "ui/unattended_text.h"

namespace talvorin::ui {
namespace {

using namespace std::string_literals;

TEST(TerminalText, EachLineBreakBecomesOneLineFeedAndNothingElseChanges)
{
    const struct {
        std::string in, out;
    } cases[] = {
        {"Wrong Parameters.\n\rCorrect format", "Wrong Parameters.\nCorrect format"},  // LF CR
        {"failed.\r\nPlease", "failed.\nPlease"},                                      // CR LF
        {"first. \rAre you sure", "first. \nAre you sure"},                            // CR
        {"a\nb", "a\nb"},
        {"a\n\nb", "a\n\nb"},
        {"a\r\rb", "a\n\nb"},
        {"a\n\r\n\rb", "a\n\nb"},
        {"a\r\n\rb", "a\n\nb"},
        {"\n\r", "\n"},
        {"tab\there, NUL\0here, ESC\x1b, DEL\x7f, \xc3\xa4"s, "tab\there, NUL\0here, ESC\x1b, DEL\x7f, \xc3\xa4"s},
    };
    for (const auto& c : cases) EXPECT_EQ(terminalText(c.in), c.out) << c.in;
}

}  // namespace
}  // namespace talvorin::ui
