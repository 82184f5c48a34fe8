#include "setupdata/setup_files.h"

#include "platform/paths.h"
#include "setupdata/scramble.h"

namespace talvorin::setupdata {

std::vector<std::string> readSectionList(const platform::SettingsFiles& settings, const std::string& file,
                                         const std::string& section)
{
    std::vector<std::string> entries;
    for (const std::string& key : settings.readKeyNames(file, section)) {
        const std::string line = key + "=" + settings.readString(file, section, key, "");
        entries.push_back(line.substr(line.find('=') + 1));
    }
    return entries;
}

std::string readScrambled(const platform::SettingsFiles& settings, const std::string& file,
                          const std::string& key)
{
    return ScrambleText(settings.readString(file, kSectionDB, key, ""));
}

void writeScrambled(platform::SettingsFiles& settings, const std::string& file, const std::string& key,
                    const std::string& value)
{
    settings.writeString(file, kSectionDB, key, ScrambleText(value));
}

std::string kitFolder(const std::string& windowsDir)
{
    return windowsDir + kKitFolder + platform::kDirSeparator;
}

}  // namespace talvorin::setupdata
