#include "platform/settings_files.h"

#include <charconv>

#include "formats/ascii.h"

namespace talvorin::platform {

std::string settingsCopyName(std::string_view fileName, unsigned long pid, unsigned n)
{
    return "." + std::string(fileName) + ".tmp" + std::to_string(pid) + "-" + std::to_string(n);
}

std::optional<unsigned long> settingsCopyOwner(std::string_view entry, std::string_view fileName)
{
    const std::string prefix = "." + std::string(fileName) + ".tmp";
    if (entry.size() <= prefix.size() || !formats::equalsNoCase(entry.substr(0, prefix.size()), prefix))
        return std::nullopt;
    const auto number = [](std::string_view s) -> std::optional<unsigned long> {
        unsigned long value = 0;
        const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), value);
        if (s.empty() || error != std::errc() || end != s.data() + s.size()) return std::nullopt;
        return value;
    };
    const std::string_view rest = entry.substr(prefix.size());
    const std::size_t dash = rest.find('-');
    if (dash == std::string_view::npos || !number(rest.substr(dash + 1))) return std::nullopt;
    return number(rest.substr(0, dash));
}

std::vector<std::string> SettingsFiles::readSectionValues(const std::string& file, const std::string& section) const
{
    std::vector<std::string> values;
    for (const std::string& key : readKeyNames(file, section)) values.push_back(readString(file, section, key, ""));
    return values;
}

}  // namespace talvorin::platform
