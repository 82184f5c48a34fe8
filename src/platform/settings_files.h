#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace talvorin::platform {

// A settings-file write that could not be carried out; the text is "Unable to write to <path>".
class SettingsWriteError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Windows INI files with the system's own semantics: every call opens the file, does
// its work and closes it; nothing is cached. File names are resolved as Windows would.
class SettingsFiles {
public:
    virtual ~SettingsFiles() = default;

    // A value, at most 2047 characters, blanks and one pair of quotes trimmed;
    // the default when the file, section or key is missing.
    virtual std::string readString(const std::string& file, const std::string& section,
                                   const std::string& key, const std::string& def) const = 0;

    // A value read as a leading decimal integer; the default when missing.
    virtual int readInt(const std::string& file, const std::string& section,
                        const std::string& key, int def) const = 0;

    // The section's key names in file order, as far as they fit a 16384-byte buffer.
    virtual std::vector<std::string> readKeyNames(const std::string& file,
                                                  const std::string& section) const = 0;

    // The value of each key readKeyNames lists, in that order, as readString with an empty
    // default reads it; the same result, but one read of the file instead of one per key.
    virtual std::vector<std::string> readSectionValues(const std::string& file, const std::string& section) const;

    // Replaces or adds one value, creating section and file as needed, all other
    // content untouched. Throws SettingsWriteError.
    virtual void writeString(const std::string& file, const std::string& section,
                             const std::string& key, const std::string& value) = 0;
};

// The system's settings-file functions (on POSIX, a reader and writer that behave like them).
SettingsFiles& systemSettingsFiles();

}  // namespace talvorin::platform
