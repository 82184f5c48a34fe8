#include "platform/system_info.h"

#include "formats/ascii.h"

namespace talvorin::platform {

namespace {

// Windows keeps NetBIOS names to 15 characters.
constexpr std::size_t kMaxComputerName = 15;

}  // namespace

std::string computerNameFromHostName(std::string_view hostName)
{
    std::string name(hostName.substr(0, hostName.find('.')));
    if (name.size() > kMaxComputerName) name.resize(kMaxComputerName);
    return formats::upperAsciiText(name);
}

}  // namespace talvorin::platform
