#pragma once

#include <array>
#include <cstdint>
#include <optional>

namespace talvorin::platform {

// What resolving this machine's own host name gave.
struct HostAddress {
    // The Windows Sockets error code of a failed resolution; 0 when the name resolved.
    int error = 0;
    // The first IPv4 address in the resolver's order, most significant byte first;
    // nullopt when the name did not resolve or resolved to no IPv4 address.
    std::optional<std::array<std::uint8_t, 4>> address;
};

// Looks up this machine's IPv4 address through the system's resolver.
class HostLookup {
public:
    virtual ~HostLookup() = default;
    virtual HostAddress localIPv4Address() const = 0;
};

// The resolver of the machine this program runs on.
HostLookup& systemHostLookup();

// The Windows Sockets code for a getaddrinfo failure (an EAI_* value), so that a POSIX
// build reports the number a Windows user would see. Windows itself defines the EAI_*
// codes as these WSA codes:
//   EAI_NONAME, EAI_NODATA -> 11001 WSAHOST_NOT_FOUND
//   EAI_AGAIN              -> 11002 WSATRY_AGAIN
//   EAI_FAIL, EAI_SYSTEM   -> 11003 WSANO_RECOVERY
//   EAI_ADDRFAMILY         -> 11004 WSANO_DATA (the host has no IPv4 address)
//   EAI_MEMORY             ->     8 WSA_NOT_ENOUGH_MEMORY
//   EAI_BADFLAGS           -> 10022 WSAEINVAL
//   EAI_SOCKTYPE           -> 10044 WSAESOCKTNOSUPPORT
//   EAI_FAMILY             -> 10047 WSAEAFNOSUPPORT
//   EAI_SERVICE            -> 10109 WSATYPE_NOT_FOUND
//   anything else          -> 11003 WSANO_RECOVERY
// Only the POSIX build has this function.
int winsockErrorFromResolver(int eaiError);

}  // namespace talvorin::platform
