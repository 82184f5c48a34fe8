#include "platform/registry.h"

#include <cstdlib>

#include "platform/posix/file_io.h"
#include "formats/reg_file.h"

namespace talvorin::platform {

namespace {

// Stands for the registry with a .reg file. The file is read for every key opened, so a
// change to it shows at the next lookup, as a change to the registry would.
class RegFileRegistry final : public Registry {
public:
    std::unique_ptr<RegistryKey> openKey(const std::string& path) const override
    {
        const char* name = std::getenv("TALVORIN_REGISTRY");
        if (!name || !*name) return nullptr;
        const auto bytes = readWholeFile(name);
        if (!bytes) return nullptr;
        return formats::reg::RegFile::parse(*bytes).openKey(path);
    }
};

}  // namespace

Registry& systemRegistry()
{
    static RegFileRegistry instance;
    return instance;
}

}  // namespace talvorin::platform
