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
