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

}  // namespace talvorin::platform
