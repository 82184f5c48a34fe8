#include "odbc/odbc_diagnostics.h"

#include <gtest/gtest.h>

namespace talvorin::odbc {
namespace {

TEST(OdbcFailureText, JoinsTheRecordsAsSentencesInTheDriversOrder)
{
    const std::vector<OdbcDiagnostic> loginFailed = {
        {"42000", 18456, "[FreeTDS][SQL Server]Login failed for user 'sa'."},
        {"08001", 0, "[FreeTDS][SQL Server]Unable to connect to data source"}};
    EXPECT_EQ(odbcFailureText(loginFailed, "fallback"), "[FreeTDS][SQL Server]Login failed for user 'sa'. "
                                                        "[FreeTDS][SQL Server]Unable to connect to data source");

    const std::vector<OdbcDiagnostic> refused = {
        {"08S01", 20009, "[FreeTDS][SQL Server]Unable to connect: Adaptive Server is unavailable or does not exist"},
        {"08001", 0, "[FreeTDS][SQL Server]Unable to connect to data source"}};
    EXPECT_EQ(odbcFailureText(refused, "fallback"),
              "[FreeTDS][SQL Server]Unable to connect: Adaptive Server is unavailable or does not "
              "exist. [FreeTDS][SQL Server]Unable to connect to data source");
}

TEST(OdbcFailureText, ErrorsComeBeforeWarningsWhichAreKept)
{
    // FreeTDS reports why a connection dropped as warnings after the error.
    const std::vector<OdbcDiagnostic> records = {
        {"01000", 20017, "[FreeTDS][SQL Server]Unexpected EOF from the server"},
        {"08001", 0, "[FreeTDS][SQL Server]Unable to connect to data source"},
        {"01000", 20002, "[FreeTDS][SQL Server]Adaptive Server connection failed"}};
    EXPECT_EQ(odbcFailureText(records, "fallback"), "[FreeTDS][SQL Server]Unable to connect to data source. "
                                                    "[FreeTDS][SQL Server]Unexpected EOF from the server. "
                                                    "[FreeTDS][SQL Server]Adaptive Server connection failed");
}

TEST(OdbcFailureText, RepeatsEmptyTextsAndExcessAreLeftOut)
{
    std::vector<OdbcDiagnostic> records = {{"42000", 1, "Same."}, {"42000", 2, ""}, {"42000", 3, "Same."}};
    EXPECT_EQ(odbcFailureText(records, "fallback"), "Same.");

    records.clear();
    for (int i = 0; i < 10; ++i) records.push_back({"HY000", i, "m" + std::to_string(i)});
    EXPECT_EQ(odbcFailureText(records, "fallback"), "m0. m1. m2. m3. m4. m5");
}

TEST(OdbcFailureText, NoRecordsGiveTheFallback)
{
    EXPECT_EQ(odbcFailureText(std::vector<OdbcDiagnostic>{}, "The call failed."), "The call failed.");
    EXPECT_EQ(odbcFailureText(SQL_HANDLE_STMT, SQL_NULL_HANDLE, "No handle."), "No handle.");
}

}  // namespace
}  // namespace talvorin::odbc
