#include "platform/posix/host_entry.h"

#include <gtest/gtest.h>
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

#include <vector>

#include "platform/host_lookup.h"

namespace talvorin::platform {
namespace {

TEST(HostEntry, KeepsTheOrderTheResolverListsTheAddressesIn)
{
    char publicAddress[] = {char(203), 0, char(113), 9};
    char loopback[] = {127, 0, 0, 2};
    char* list[] = {publicAddress, loopback, nullptr};
    hostent entry{};
    entry.h_addrtype = AF_INET;
    entry.h_length = 4;
    entry.h_addr_list = list;
    EXPECT_EQ(ipv4AddressesOf(entry), (std::vector<IPv4Address>{{203, 0, 113, 9}, {127, 0, 0, 2}}));

    char* none[] = {nullptr};
    entry.h_addr_list = none;
    EXPECT_TRUE(ipv4AddressesOf(entry).empty());
    entry.h_addr_list = nullptr;
    EXPECT_TRUE(ipv4AddressesOf(entry).empty());
    entry.h_addr_list = list;
    entry.h_addrtype = AF_INET6;
    EXPECT_TRUE(ipv4AddressesOf(entry).empty());
}

TEST(SystemHostLookup, GivesTheAddressesInGethostbynamesOrder)
{
    const HostAddress found = systemHostLookup().localIPv4Address();
    if (found.error != 0) return;
    // The resolver's own list, not one sorted by preference as getaddrinfo sorts it.
    char name[256] = {};
    ASSERT_EQ(::gethostname(name, sizeof name - 1), 0);
    const hostent* entry = ::gethostbyname(name);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(found.addresses, ipv4AddressesOf(*entry));
}

}  // namespace
}  // namespace talvorin::platform
