#include "platform/settings_files.h"

namespace talvorin::platform {

std::vector<std::string> SettingsFiles::readSectionValues(const std::string& file, const std::string& section) const
{
    std::vector<std::string> values;
    for (const std::string& key : readKeyNames(file, section)) values.push_back(readString(file, section, key, ""));
    return values;
}

}  // namespace talvorin::platform
