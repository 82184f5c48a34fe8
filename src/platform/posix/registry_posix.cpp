#include "platform/registry.h"

#include <cstdlib>

#include "formats/reg_file.h"
#include "platform/posix/file_io.h"
#include "platform/reg_file_registry.h"

namespace talvorin::platform {

namespace {

// Stands for the registry with a .reg file. The file is read for every key opened, so a
// change to it shows at the next lookup, as a change to the registry would.
class NamedRegFileRegistry final : public Registry {
public:
    std::unique_ptr<RegistryKey> openKey(const std::string& path) const override
    {
        const char* name = std::getenv("TALVORIN_REGISTRY");
        if (!name || !*name) return nullptr;
        const auto bytes = readWholeFile(name);
        if (!bytes) return nullptr;
        return openRegFileKey(formats::reg::RegFile::parse(*bytes), path);
    }
};

}  // namespace

Registry& systemRegistry()
{
    static NamedRegFileRegistry instance;
    return instance;
}

}  // namespace talvorin::platform
