#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace talvorin::platform {

using IPv4Address = std::array<std::uint8_t, 4>;  // most significant byte first

// What resolving this machine's own host name gave.
struct HostAddress {
    // The Windows Sockets error code of a failed resolution; 0 when the name resolved.
    int error = 0;
    // The name's IPv4 addresses in the order the resolver lists them, as gethostbyname
    // gives them (no re-sorting by preference); empty when the name did not resolve or
    // resolved to no IPv4 address.
    std::vector<IPv4Address> addresses;
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
