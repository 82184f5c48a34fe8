#include "sqlinfo/stored_text.h"

#include "platform/ini_text.h"
#include "setupdata/scramble.h"
#include "setupdata/setup_files.h"

namespace talvorin::sqlinfo {

bool storedUnchanged(const std::string& key, const std::string& value)
{
    const std::string stored = setupdata::ScrambleText(value);
    if (!platform::ini::canWrite(setupdata::kSectionDB, key, stored)) return false;
    const std::string file = platform::ini::writeValue("", setupdata::kSectionDB, key, stored);
    return platform::ini::readValue(file, setupdata::kSectionDB, key, "") == stored;
}

}  // namespace talvorin::sqlinfo
