#include <gtest/gtest.h>
#include <netdb.h>

#include <utility>
#include <vector>

#include "platform/posix/resolver_errors.h"

namespace talvorin::platform {
namespace {

TEST(WinsockErrorFromHostError, GivesTheCodesWindowsWouldReport)
{
    const std::vector<std::pair<int, int>> cases = {
        {HOST_NOT_FOUND, 11001}, {TRY_AGAIN, 11002},      {NO_RECOVERY, 11003},
        {NO_DATA, 11004},        {NETDB_INTERNAL, 11003}, {12345, 11003},
    };
    for (const auto& [hostError, wsa] : cases) EXPECT_EQ(winsockErrorFromHostError(hostError), wsa) << hostError;
}

}  // namespace
}  // namespace talvorin::platform
