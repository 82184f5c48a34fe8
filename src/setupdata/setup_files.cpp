#include "setupdata/setup_files.h"

#include "platform/paths.h"
#include "setupdata/scramble.h"

namespace talvorin::setupdata {

std::vector<std::string> readSectionList(const platform::SettingsFiles& settings, const std::string& file,
                                         const std::string& section)
{
    // A key name holds no "=", so the text after the first "=" of "key=value" is the value.
    return settings.readSectionValues(file, section);
}

std::string readScrambled(const platform::SettingsFiles& settings, const std::string& file, const std::string& key)
{
    return ScrambleText(settings.readString(file, kSectionDB, key, ""));
}

void writeScrambled(platform::SettingsFiles& settings, const std::string& file, platform::SettingsValues values)
{
    for (auto& entry : values) entry.second = ScrambleText(entry.second);
    settings.writeStrings(file, kSectionDB, values);
}

std::string kitFolder(const std::string& windowsDir) { return windowsDir + kKitFolder + platform::kDirSeparator; }

}  // namespace talvorin::setupdata
