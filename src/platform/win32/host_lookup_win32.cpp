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
        if (host == nullptr) return {::WSAGetLastError(), {}};
        HostAddress found;
        if (host->h_addrtype != AF_INET || host->h_length < 4 || host->h_addr_list == nullptr) return found;
        for (char** entry = host->h_addr_list; *entry != nullptr; ++entry) {
            IPv4Address bytes{};
            // Stored in network order: the most significant byte first.
            std::memcpy(bytes.data(), *entry, bytes.size());
            found.addresses.push_back(bytes);
        }
        return found;
    }
};

}  // namespace

HostLookup& systemHostLookup()
{
    static Win32HostLookup instance;
    return instance;
}

}  // namespace talvorin::platform
