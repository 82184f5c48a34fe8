#include "platform/host_lookup.h"
#include "platform/posix/resolver_errors.h"

#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/posix/host_entry.h"

namespace talvorin::platform {

namespace {

constexpr int kWsaNotEnoughMemory = 8;
constexpr int kWsaHostNotFound = 11001;
constexpr int kWsaTryAgain = 11002;
constexpr int kWsaNoRecovery = 11003;
constexpr int kWsaNoData = 11004;

// Large enough for a host with hundreds of addresses and aliases.
constexpr std::size_t kMaxEntryBuffer = 1 << 20;

class PosixHostLookup final : public HostLookup {
public:
    HostAddress localIPv4Address() const override
    {
        // A failure leaves the name empty, and the empty name then fails to resolve.
        char name[256] = {};
        if (::gethostname(name, sizeof name - 1) != 0) name[0] = '\0';

        // gethostbyname's own order, as the Windows function gives it: getaddrinfo would
        // sort the addresses by preference (RFC 6724) and put another one first.
        std::vector<char> buffer(8192);
        for (;;) {
            hostent entry{};
            hostent* result = nullptr;
            int hostError = 0;
            const int rc = ::gethostbyname_r(name, &entry, buffer.data(), buffer.size(), &result, &hostError);
            if (rc == ERANGE && buffer.size() < kMaxEntryBuffer) {
                buffer.resize(buffer.size() * 2);
                continue;
            }
            if (rc == ERANGE) return {kWsaNotEnoughMemory, {}};
            if (!result) return {winsockErrorFromHostError(hostError), {}};
            return {0, ipv4AddressesOf(*result)};
        }
    }
};

}  // namespace

std::vector<IPv4Address> ipv4AddressesOf(const hostent& entry)
{
    std::vector<IPv4Address> addresses;
    if (entry.h_addrtype != AF_INET || entry.h_length != 4 || !entry.h_addr_list) return addresses;
    for (char* const* item = entry.h_addr_list; *item; ++item) {
        IPv4Address bytes{};
        // The address is in network order: its bytes stand most significant first.
        std::memcpy(bytes.data(), *item, bytes.size());
        addresses.push_back(bytes);
    }
    return addresses;
}

int winsockErrorFromHostError(int hostError)
{
    switch (hostError) {
    case HOST_NOT_FOUND: return kWsaHostNotFound;
    case TRY_AGAIN: return kWsaTryAgain;
    case NO_DATA: return kWsaNoData;
    default: return kWsaNoRecovery;
    }
}

HostLookup& systemHostLookup()
{
    static PosixHostLookup instance;
    return instance;
}

}  // namespace talvorin::platform
