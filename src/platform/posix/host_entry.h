#pragma once

#include <netdb.h>

#include <vector>

#include "platform/host_lookup.h"

namespace talvorin::platform {

// The IPv4 addresses of a host entry in the order it lists them; none when the entry is
// of another family or has no address list.
std::vector<IPv4Address> ipv4AddressesOf(const hostent& entry);

}  // namespace talvorin::platform
