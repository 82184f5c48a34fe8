#include <gtest/gtest.h>
#include <netdb.h>

#include <utility>
#include <vector>

#include "platform/posix/resolver_errors.h"

namespace talvorin::platform {
namespace {

TEST(WinsockErrorFromResolver, GivesTheCodesWindowsWouldReport)
{
    const std::vector<std::pair<int, int>> cases = {
        {EAI_NONAME, 11001},
#ifdef EAI_NODATA
        {EAI_NODATA, 11001},
#endif
        {EAI_AGAIN, 11002},
        {EAI_FAIL, 11003},
#ifdef EAI_ADDRFAMILY
        {EAI_ADDRFAMILY, 11004},
#endif
        {EAI_MEMORY, 8},
        {EAI_BADFLAGS, 10022},
        {EAI_SOCKTYPE, 10044},
        {EAI_FAMILY, 10047},
        {EAI_SERVICE, 10109},
        {EAI_SYSTEM, 11003},
        {12345, 11003},
    };
    for (const auto& [eai, wsa] : cases) EXPECT_EQ(winsockErrorFromResolver(eai), wsa) << eai;
}

}  // namespace
}  // namespace talvorin::platform
