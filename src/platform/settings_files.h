#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace talvorin::platform {

// A settings-file write that could not be carried out; the text is "Unable to write to <path>".
class SettingsWriteError : public std::runtime_error {
public:
    SettingsWriteError(const std::string& file, std::string reason)
        : std::runtime_error("Unable to write to " + file), file_(file), reason_(std::move(reason))
    {
    }
    const std::string& file() const { return file_; }
    // Why, in the system's words where the system gave the reason.
    const std::string& reason() const { return reason_; }

private:
    std::string file_;
    std::string reason_;
};

// Keys and their values, written together.
using SettingsValues = std::vector<std::pair<std::string, std::string>>;

// The copy a write prepares beside the file and then puts in its place: ".<name>.tmp<pid>-<n>".
std::string settingsCopyName(std::string_view fileName, unsigned long pid, unsigned n);
// The process that made the entry of a folder, when the entry is such a copy of the file
// (names compared without regard to case).
std::optional<unsigned long> settingsCopyOwner(std::string_view entry, std::string_view fileName);

// Windows INI files with the system's own semantics: every call opens the file, does
// its work and closes it; nothing is cached. File names are resolved as Windows would.
class SettingsFiles {
public:
    virtual ~SettingsFiles() = default;

    // A value, at most 2047 characters, blanks and one pair of quotes trimmed;
    // the default when the file, section or key is missing.
    virtual std::string readString(const std::string& file, const std::string& section, const std::string& key,
                                   const std::string& def) const = 0;

    // A value read as a leading decimal integer; the default when missing.
    virtual int readInt(const std::string& file, const std::string& section, const std::string& key, int def) const = 0;

    // The section's key names in file order, every one of them.
    virtual std::vector<std::string> readKeyNames(const std::string& file, const std::string& section) const = 0;

    // The value of each key readKeyNames lists, in that order, as readString with an empty
    // default reads it; the same result, but one read of the file instead of one per key.
    virtual std::vector<std::string> readSectionValues(const std::string& file, const std::string& section) const;

    // Replaces or adds the values of one section, creating section and file as needed, all
    // other content untouched. All or nothing: the file is replaced in one step by a complete
    // copy, so a failure or a kill leaves it as it was. Throws SettingsWriteError.
    virtual void writeStrings(const std::string& file, const std::string& section, const SettingsValues& values) = 0;

    void writeString(const std::string& file, const std::string& section, const std::string& key,
                     const std::string& value)
    {
        writeStrings(file, section, {{key, value}});
    }

    // Removes the copies that writes of processes that have ended (killed before they could
    // put the copy in place) left beside the file; one may hold a password.
    virtual void removeAbandonedCopies(const std::string& file) = 0;
};

// The system's settings-file functions (on POSIX, a reader and writer that behave like them).
SettingsFiles& systemSettingsFiles();

}  // namespace talvorin::platform
