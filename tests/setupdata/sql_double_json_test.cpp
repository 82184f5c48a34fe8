// The JSON reading of the SQL Server double's journal, which other tests rely on.
#include <gtest/gtest.h>

#include <stdexcept>

#include "support/sql_double.h"

namespace talvorin::testing {
namespace {

TEST(SqlDoubleJournal, ReadsTheShapesTheDoubleWrites)
{
    const JsonValue entry = JsonValue::parse(
        R"({"event": "rpc", "conn": 2, "ok": false, "error": null, "ratio": -1.5e1,)"
        R"( "params": [{"name": "", "null": true}, {"value": "x"}], "empty": [], "none": {}})");
    EXPECT_EQ(entry["event"].string(), "rpc");
    EXPECT_EQ(entry["conn"].number(), 2);
    EXPECT_FALSE(entry["ok"].boolean());
    EXPECT_TRUE(entry["error"].isNull());
    EXPECT_EQ(entry["ratio"].number(), -15);
    EXPECT_TRUE(entry["params"][0]["null"].boolean());
    EXPECT_EQ(entry["params"][1]["value"].string(), "x");
    EXPECT_TRUE(entry["empty"].items().empty());
    EXPECT_FALSE(entry["none"].has("x"));
    EXPECT_TRUE(entry.has("params"));
}

TEST(SqlDoubleJournal, DecodesEscapesToUtf8)
{
    EXPECT_EQ(JsonValue::parse(R"("q\"b\\s\/\n\t\u00e9\u20ac\ud83d\ude00")").string(),
              "q\"b\\s/\n\té€😀");
    EXPECT_EQ(JsonValue::parse("\"raw é\"").string(), "raw é");
}

TEST(SqlDoubleJournal, MalformedTextAndWrongKindsAreErrors)
{
    for (const char* bad : {"", "{", "[1,]", "{\"a\" 1}", "\"open", "nul", "1 2", "\"\\x\""})
        EXPECT_THROW(JsonValue::parse(bad), std::runtime_error) << bad;
    const JsonValue number = JsonValue::parse("3");
    EXPECT_THROW(number.string(), std::runtime_error);
    EXPECT_THROW(JsonValue::parse("{}")["missing"], std::runtime_error);
}

}  // namespace
}  // namespace talvorin::testing
