#pragma once

#include <string>
#include <string_view>

namespace talvorin::platform {

// The two facts about the machine the setup log and the kit folder need.
class SystemInfo {
public:
    virtual ~SystemInfo() = default;
    // The Windows directory as the system reports it (no separator added); empty when none.
    virtual std::string windowsDirectory() const = 0;
    // The NetBIOS-style computer name, at most 15 characters.
    virtual std::string computerName() const = 0;
};

// The machine this program runs on.
SystemInfo& systemInfo();

// A host name made into a computer name: up to its first '.', upper case (ASCII), at most
// 15 characters.
std::string computerNameFromHostName(std::string_view hostName);

}  // namespace talvorin::platform
