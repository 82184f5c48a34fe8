#include "platform/reg_file_registry.h"

#include "formats/ascii.h"

namespace talvorin::platform {

namespace {

// The values are copied, so the key outlives the file it came from.
class SnapshotKey final : public RegistryKey {
public:
    explicit SnapshotKey(formats::reg::RegFile::Values values) : values_(std::move(values)) {}

    std::optional<std::string> readString(const std::string& valueName) const override
    {
        const auto it = values_.find(formats::upperAsciiText(valueName));
        if (it == values_.end()) return std::nullopt;
        if (it->second.type != formats::reg::kTypeString && it->second.type != formats::reg::kTypeExpandString)
            throw RegistryTypeError("The registry value \"" + valueName + "\" does not hold text");
        return it->second.data;
    }

private:
    formats::reg::RegFile::Values values_;
};

}  // namespace

std::unique_ptr<RegistryKey> openRegFileKey(const formats::reg::RegFile& file, std::string_view path)
{
    const formats::reg::RegFile::Values* values = file.findKey(path);
    if (!values) return nullptr;
    return std::make_unique<SnapshotKey>(*values);
}

}  // namespace talvorin::platform
