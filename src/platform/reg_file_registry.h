#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "formats/reg_file.h"
#include "platform/registry.h"

namespace talvorin::platform {

// A key of a .reg file as an open registry key holding a copy of the key's values; null
// when the file has no such key.
std::unique_ptr<RegistryKey> openRegFileKey(const formats::reg::RegFile& file, std::string_view path);

// A .reg file read once and served as the registry.
class RegFileRegistry final : public Registry {
public:
    explicit RegFileRegistry(formats::reg::RegFile file) : file_(std::move(file)) {}
    std::unique_ptr<RegistryKey> openKey(const std::string& path) const override { return openRegFileKey(file_, path); }

private:
    formats::reg::RegFile file_;
};

}  // namespace talvorin::platform
