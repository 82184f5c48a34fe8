#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "formats/command_line.h"

namespace talvorin::formats {
namespace {

using Args = std::vector<std::string>;

struct SplitCase {
    const char* name;
    std::string parameters;
    Args expected;
};

void PrintTo(const SplitCase& c, std::ostream* os) { *os << c.name; }

class SplitCommandLineTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitCommandLineTest, SplitsLikeTheMicrosoftRuntime)
{
    EXPECT_EQ(splitCommandLine(GetParam().parameters), GetParam().expected)
        << "parameters: [" << GetParam().parameters << "]";
}

// The kit's own command lines, as the database steps build them.
INSTANTIATE_TEST_SUITE_P(
    KitToolLines, SplitCommandLineTest,
    ::testing::Values(
        SplitCase{"osql",
                  R"( -S 10.1.2.3,1433 -U sa -P pw -i "/srv/Scripts/a b.sql")",
                  {"-S", "10.1.2.3,1433", "-U", "sa", "-P", "pw", "-i", "/srv/Scripts/a b.sql"}},
        SplitCase{
            "bcp",
            R"( ORVO..TABLE2 in /k/T2.txt -m 0 -t"\@\t" -r"\@\r\n" -q -w -S 10.1.2.3,1433 -U sa -P pw -e bcp.log)",
            {"ORVO..TABLE2", "in", "/k/T2.txt", "-m", "0", R"(-t\@\t)", R"(-r\@\r\n)", "-q", "-w", "-S",
             "10.1.2.3,1433", "-U", "sa", "-P", "pw", "-e", "bcp.log"}},
        SplitCase{"windowsPathInQuotes",
                  R"( -i "C:\Program Files\Srv\Scripts\x.sql")",
                  {"-i", R"(C:\Program Files\Srv\Scripts\x.sql)"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(QuotedArgument, SplitsBackAsTypedAndLeavesEveryOtherValueAlone)
{
    for (const std::string value : {"a b", "a\"b", "\"", "a\\\"b c", "x\\ y\\", "tab\there", "", "\\\\\""})
        EXPECT_EQ(splitCommandLine(" -P " + quotedArgument(value) + " -i x"), (Args{"-P", value, "-i", "x"})) << value;
    for (const std::string value : {"pw", "p\\w\\", "{a};b", "x'y", "a\nb"}) EXPECT_EQ(quotedArgument(value), value);
}

INSTANTIATE_TEST_SUITE_P(Blanks, SplitCommandLineTest,
                         ::testing::Values(SplitCase{"empty", "", {}}, SplitCase{"onlyBlanksAndTabs", " \t  \t", {}},
                                           SplitCase{"tabSeparates", "a\tb", {"a", "b"}},
                                           SplitCase{"runsOfBlanks", "  a   b  ", {"a", "b"}},
                                           SplitCase{"lineBreakIsNoSeparator", "a\nb c\r", {"a\nb", "c\r"}},
                                           SplitCase{"quotedBlanksStay", "\"a  \tb\"", {"a  \tb"}},
                                           SplitCase{"quotedPartInsideArgument", R"(d"e f"g h)", {"de fg", "h"}},
                                           SplitCase{"emptyQuotedArgument", R"(a "" b)", {"a", "", "b"}},
                                           SplitCase{"unclosedQuoteRunsToTheEnd", R"(a "b c  )", {"a", "b c  "}}),
                         [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    BackslashesAndQuotes, SplitCommandLineTest,
    ::testing::Values(SplitCase{"backslashesAloneAreLiteral", R"(a\\\b c\)", {R"(a\\\b)", R"(c\)"}},
                      SplitCase{"oneBackslashEscapesQuote", R"(a\"b c)", {R"(a"b)", "c"}},
                      SplitCase{"evenBackslashesThenDelimiter", R"(a\\"b c" d)", {R"(a\b c)", "d"}},
                      SplitCase{"fourBackslashesThenDelimiter", R"(a\\\\"b c" d e)", {R"(a\\b c)", "d", "e"}},
                      SplitCase{"oddBackslashesThenLiteralQuote", R"(a\\\"b c d)", {R"(a\"b)", "c", "d"}},
                      SplitCase{"escapedQuoteInsideQuotes", R"("ab\"c" "\\" d)", {R"(ab"c)", R"(\)", "d"}},
                      SplitCase{"trailingBackslashEscapesClosingQuote", R"("C:\dir\" x)", {R"(C:\dir" x)"}},
                      SplitCase{"doubledTrailingBackslashClosesQuote", R"("C:\dir\\" x)", {R"(C:\dir\)", "x"}}),
    [](const auto& info) { return std::string(info.param.name); });

// Since 2008 the runtime reads "" inside quotes as one literal quote and stays quoted.
INSTANTIATE_TEST_SUITE_P(DoubledQuotes, SplitCommandLineTest,
                         ::testing::Values(SplitCase{"pairInsideQuotesStaysQuoted", R"(a"b"" c d)", {R"(ab" c d)"}},
                                           SplitCase{"pairThenClosingQuote", R"("a""b" c)", {R"(a"b)", "c"}},
                                           SplitCase{"threeQuotes", R"(""")", {R"(")"}},
                                           SplitCase{"fourQuotes", R"("""" x)", {R"(")", "x"}},
                                           SplitCase{"pairOutsideQuotesIsEmpty", R"(a""b)", {"ab"}},
                                           SplitCase{"escapedPairAfterBackslashes", R"("x\\"" y")", {R"(x\" y)"}}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace talvorin::formats
