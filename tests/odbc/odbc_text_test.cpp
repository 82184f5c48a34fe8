#include "odbc/odbc_text.h"

#include <gtest/gtest.h>

namespace talvorin::odbc {
namespace {

TEST(OdbcText, TerminatedFormEndsWithZero) { EXPECT_EQ(toOdbcTextZ("ab"), (OdbcText{'a', 'b', 0})); }

}  // namespace
}  // namespace talvorin::odbc
