#include "platform/host_lookup.h"
#include "platform/posix/resolver_errors.h"

#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <memory>

namespace talvorin::platform {

namespace {

constexpr int kWsaNotEnoughMemory = 8;
constexpr int kWsaEInval = 10022;
constexpr int kWsaESockTNoSupport = 10044;
constexpr int kWsaEAfNoSupport = 10047;
constexpr int kWsaTypeNotFound = 10109;
constexpr int kWsaHostNotFound = 11001;
constexpr int kWsaTryAgain = 11002;
constexpr int kWsaNoRecovery = 11003;
constexpr int kWsaNoData = 11004;

struct AddrInfoFree {
    void operator()(addrinfo* list) const { ::freeaddrinfo(list); }
};

class PosixHostLookup final : public HostLookup {
public:
    HostAddress localIPv4Address() const override
    {
        // A failure leaves the name empty, and the empty name then fails to resolve.
        char name[256] = {};
        if (::gethostname(name, sizeof name - 1) != 0) name[0] = '\0';

        addrinfo hints{};
        hints.ai_family = AF_INET;
        // One entry per address, not one per socket type.
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* raw = nullptr;
        const int rc = ::getaddrinfo(name, nullptr, &hints, &raw);
        std::unique_ptr<addrinfo, AddrInfoFree> list(raw);
        if (rc != 0) return {winsockErrorFromResolver(rc), std::nullopt};

        for (const addrinfo* ai = list.get(); ai != nullptr; ai = ai->ai_next) {
            if (ai->ai_family != AF_INET || ai->ai_addr == nullptr) continue;
            sockaddr_in sin{};
            std::memcpy(&sin, ai->ai_addr, sizeof sin);
            std::array<std::uint8_t, 4> bytes{};
            // s_addr is in network order: its bytes stand most significant first.
            std::memcpy(bytes.data(), &sin.sin_addr.s_addr, bytes.size());
            return {0, bytes};
        }
        return {0, std::nullopt};
    }
};

}  // namespace

int winsockErrorFromResolver(int eaiError)
{
    switch (eaiError) {
    case EAI_NONAME:
#if defined(EAI_NODATA) && EAI_NODATA != EAI_NONAME
    case EAI_NODATA:
#endif
        return kWsaHostNotFound;
    case EAI_AGAIN: return kWsaTryAgain;
    case EAI_FAIL: return kWsaNoRecovery;
#ifdef EAI_ADDRFAMILY
    case EAI_ADDRFAMILY: return kWsaNoData;
#endif
    case EAI_MEMORY: return kWsaNotEnoughMemory;
    case EAI_BADFLAGS: return kWsaEInval;
    case EAI_SOCKTYPE: return kWsaESockTNoSupport;
    case EAI_FAMILY: return kWsaEAfNoSupport;
    case EAI_SERVICE: return kWsaTypeNotFound;
    default: return kWsaNoRecovery;
    }
}

HostLookup& systemHostLookup()
{
    static PosixHostLookup instance;
    return instance;
}

}  // namespace talvorin::platform
