#include "platform/host_lookup.h"

#include <winsock2.h>

#include <cstring>

#include "platform/win32/windows_api.h"

namespace talvorin::platform {

namespace {

// Windows Sockets 1.1 for the life of one lookup; shut down on every path, whether or not
// the start succeeded, as the lookup always has.
class WinsockSession {
public:
    WinsockSession()
    {
        WSADATA data{};
        ::WSAStartup(MAKEWORD(1, 1), &data);
    }
    ~WinsockSession() { ::WSACleanup(); }
    WinsockSession(const WinsockSession&) = delete;
    WinsockSession& operator=(const WinsockSession&) = delete;
};

class Win32HostLookup final : public HostLookup {
public:
    HostAddress localIPv4Address() const override
    {
        const WinsockSession session;
        char name[256] = {};
        ::gethostname(name, sizeof name);
        name[sizeof name - 1] = '\0';
        const hostent* host = ::gethostbyname(name);
        if (host == nullptr) return {::WSAGetLastError(), std::nullopt};
        if (host->h_addrtype != AF_INET || host->h_length < 4 || host->h_addr_list == nullptr ||
            host->h_addr_list[0] == nullptr)
            return {0, std::nullopt};
        std::array<std::uint8_t, 4> bytes{};
        // Stored in network order: the most significant byte first.
        std::memcpy(bytes.data(), host->h_addr_list[0], bytes.size());
        return {0, bytes};
    }
};

}  // namespace

HostLookup& systemHostLookup()
{
    static Win32HostLookup instance;
    return instance;
}

}  // namespace talvorin::platform
