#include <gtest/gtest.h>

#include "platform/host_lookup.h"
#include "sqlinfo/local_lookups.h"
#include "sqlinfo_fakes.h"
#include "ui/memory_backend.h"

namespace talvorin::sqlinfo {
namespace {

using testing::FakeHostLookup;
using testing::FakeRegistry;
using testing::FakeSystemInfo;

constexpr const char* kRelease = "\\SOFTWARE\\QUORVANTA\\ORVO3";

TEST(GetServerPath, EndsInABackslashAndIsEmptyWhenNothingIsStored)
{
    FakeRegistry registry;
    EXPECT_EQ(GetServerPath(registry), "") << "missing key";

    registry.addKey(kRelease);
    EXPECT_EQ(GetServerPath(registry), "") << "missing value";

    registry.set(kRelease, "SERVERPATH", "");
    EXPECT_EQ(GetServerPath(registry), "") << "empty value";

    registry.set(kRelease, "ServerPath", "C:\\App");
    EXPECT_EQ(GetServerPath(registry), "C:\\App\\");

    registry.set(kRelease, "SERVERPATH", "C:\\App\\");
    EXPECT_EQ(GetServerPath(registry), "C:\\App\\");
}

TEST(GetServerPath, ReadsTheReleaseThreeKeyOnly)
{
    FakeRegistry registry;
    registry.set("\\SOFTWARE\\QUORVANTA\\ORVO", "SERVERPATH", "C:\\Old");
    EXPECT_EQ(GetServerPath(registry), "");
}

TEST(GetLocalSQLPort, GivesTheStoredTextOrNothing)
{
    FakeRegistry registry;
    EXPECT_EQ(GetLocalSQLPort(registry), "");

    const char* tcp = "\\SOFTWARE\\Microsoft\\MSSQLServer\\MSSQLServer\\SuperSocketNetLib\\Tcp";
    registry.addKey(tcp);
    EXPECT_EQ(GetLocalSQLPort(registry), "") << "key without TcpPort";

    registry.set(tcp, "TcpPort", "1433");
    EXPECT_EQ(GetLocalSQLPort(registry), "1433");
    registry.set(tcp, "TcpPort", " 01433x");
    EXPECT_EQ(GetLocalSQLPort(registry), " 01433x") << "no conversion, no range test";
}

TEST(GetLocalIPAddress, FormatsTheBytesInStoredOrderWithoutLeadingZeros)
{
    FakeHostLookup host;
    ui::MemoryBackend backend;
    host.result = {0, {{192, 168, 0, 5}}};
    EXPECT_EQ(GetLocalIPAddress(host, backend), "192.168.0.5");
    host.result = {0, {{255, 0, 10, 200}}};
    EXPECT_EQ(GetLocalIPAddress(host, backend), "255.0.10.200");
    EXPECT_TRUE(backend.boxes.empty());
}

TEST(GetLocalIPAddress, GivesTheFirstAddressTheResolverLists)
{
    FakeHostLookup host;
    ui::MemoryBackend backend;
    // A loopback address after a public one is still not the one offered.
    host.result = {0, {{203, 0, 113, 9}, {127, 0, 0, 2}, {10, 0, 0, 1}}};
    EXPECT_EQ(GetLocalIPAddress(host, backend), "203.0.113.9");
    host.result = {0, {{127, 0, 0, 2}, {203, 0, 113, 9}}};
    EXPECT_EQ(GetLocalIPAddress(host, backend), "127.0.0.2");
}

TEST(GetLocalIPAddress, NoAddressGivesEmptyTextWithoutAMessage)
{
    FakeHostLookup host;
    ui::MemoryBackend backend;
    host.result = {0, {}};
    EXPECT_EQ(GetLocalIPAddress(host, backend), "");
    EXPECT_TRUE(backend.boxes.empty());
}

TEST(GetLocalIPAddress, AFailedResolutionShowsTheWinsockErrorAndGivesEmptyText)
{
    FakeHostLookup host;
    ui::MemoryBackend backend;
    host.result = {11001, {}};
    EXPECT_EQ(GetLocalIPAddress(host, backend), "");
    ASSERT_EQ(backend.boxes.size(), 1u);
    EXPECT_EQ(backend.boxes[0].box.text, "Winsock error 11001");
    EXPECT_EQ(backend.boxes[0].box.caption, "Error");
    EXPECT_EQ(backend.boxes[0].box.icon, ui::Icon::Error);
    EXPECT_EQ(backend.boxes[0].box.buttons, ui::Buttons::Ok);
}

TEST(GetWindowsDir, AppendsTheSeparatorUnlessEmpty)
{
    FakeSystemInfo system;
    system.windowsDir = "/srv/windows";
    EXPECT_EQ(GetWindowsDir(system), "/srv/windows/");
    system.windowsDir = "/srv/windows/";
    EXPECT_EQ(GetWindowsDir(system), "/srv/windows/");
    system.windowsDir = "";
    EXPECT_EQ(GetWindowsDir(system), "");
}

TEST(SystemHostLookup, GivesAnAddressOrAnError)
{
    const platform::HostAddress found = platform::systemHostLookup().localIPv4Address();
    if (found.error != 0) {
        EXPECT_TRUE(found.addresses.empty());
        EXPECT_GE(found.error, 8);
    }
}

}  // namespace
}  // namespace talvorin::sqlinfo
