#pragma once

#include <string>

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

}  // namespace talvorin::platform
