// The JSON reading of the SQL Server double's journal, which other tests rely on: the shapes
// and escapes the double writes, and errors rather than guesses for anything else.
#include <gtest/gtest.h>

#include "support/sql_double.h"

namespace talvorin::testing {
namespace {

TEST(SqlDoubleJournal, ReadsTheShapesTheDoubleWrites)
{
    const JsonValue entry = nlohmann::json::parse(
        R"({"event": "rpc", "conn": 2, "ok": false, "error": null, "ratio": -1.5e1,)"
        R"( "params": [{"name": "", "null": true}, {"value": "x"}], "empty": [], "none": {}})");
    EXPECT_EQ(entry.at("event").get<std::string>(), "rpc");
    EXPECT_EQ(entry.at("conn").get<double>(), 2);
    EXPECT_FALSE(entry.at("ok").get<bool>());
    EXPECT_TRUE(entry.at("error").is_null());
    EXPECT_EQ(entry.at("ratio").get<double>(), -15);
    EXPECT_TRUE(entry.at("params").at(0).at("null").get<bool>());
    EXPECT_EQ(entry.at("params").at(1).at("value").get<std::string>(), "x");
    EXPECT_TRUE(entry.at("empty").empty());
    EXPECT_FALSE(entry.at("none").contains("x"));
    EXPECT_TRUE(entry.contains("params"));
}

TEST(SqlDoubleJournal, DecodesEscapesToUtf8)
{
    EXPECT_EQ(nlohmann::json::parse(R"("q\"b\\s\/\n\t\u00e9\u20ac\ud83d\ude00")").get<std::string>(),
              "q\"b\\s/\n\té€😀");
    EXPECT_EQ(nlohmann::json::parse("\"raw é\"").get<std::string>(), "raw é");
}

TEST(SqlDoubleJournal, MalformedTextAndWrongKindsAreErrors)
{
    for (const char* bad : {"", "{", "[1,]", "{\"a\" 1}", "\"open", "nul", "1 2", "\"\\x\""})
        EXPECT_THROW(nlohmann::json::parse(bad), nlohmann::json::exception) << bad;
    const JsonValue number = nlohmann::json::parse("3");
    EXPECT_THROW(number.get<std::string>(), nlohmann::json::exception);
    EXPECT_THROW(nlohmann::json::parse("{}").at("missing"), nlohmann::json::exception);
}

}  // namespace
}  // namespace talvorin::testing
