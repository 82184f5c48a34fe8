#include "platform/settings_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>
#include <optional>
#include <utility>

#include "platform/file_system.h"
#include "formats/ini_text.h"
#include "platform/paths.h"
#include "platform/posix/file_io.h"
#include "platform/posix/unique_fd.h"
#include "platform/system_info.h"

namespace talvorin::platform {

namespace {

// Windows looks for a bare file name, one without any folder, in the Windows directory.
std::string locate(const std::string& file)
{
    if (file.find_first_of("\\/") == std::string::npos) {
        const std::string windowsDir = systemInfo().windowsDirectory();
        if (!windowsDir.empty()) return withTrailingSeparator(windowsDir) + file;
    }
    return file;
}

std::optional<ini::FileText> readText(const std::string& file)
{
    const auto resolved = resolvePath(locate(file));
    if (!resolved) return std::nullopt;
    auto bytes = posix_io::readWholeFile(*resolved);
    if (!bytes) return std::nullopt;
    return ini::decodeFile(std::move(*bytes));
}

// Creates a new file in the same folder, so the final rename cannot cross file systems.
// The temporary file is removed unless it was renamed into place.
std::optional<std::pair<posix::RemovedFile, posix::UniqueFd>> createTempBeside(
    const std::string& target)
{
    const std::size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : target.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    static unsigned counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = folder + "." + base + ".tmp" + std::to_string(::getpid()) + "-" +
                                 std::to_string(counter++);
        // Owner only: a new file is the kit data file, which holds the administrator's
        // password; a file that existed gets its own mode back before the rename.
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0) return std::make_pair(posix::RemovedFile(name), posix::UniqueFd(fd));
        if (errno != EEXIST) return std::nullopt;
    }
    return std::nullopt;
}

// Puts the content in place of the target in one step: the target is either the old file
// or the complete new one, never something in between.
bool replaceFile(const std::string& target, const std::string& content, const struct stat* original)
{
    auto temp = createTempBeside(target);
    if (!temp) return false;
    auto& [file, fd] = *temp;
    if (!posix_io::writeAll(fd.get(), content.data(), content.size())) return false;
    if (original) {
        if (::fchmod(fd.get(), original->st_mode & 07777) != 0) return false;
        if (::geteuid() == 0) {
            // Keep the owner when writing as root; failing that is no reason to stop.
            [[maybe_unused]] const int ignored = ::fchown(fd.get(), original->st_uid, original->st_gid);
        }
    }
    if (::fsync(fd.get()) != 0 || !posix::closeChecked(fd)) return false;
    if (::rename(file.get().c_str(), target.c_str()) != 0) return false;
    file.release();
    return true;
}

class PosixSettingsFiles final : public SettingsFiles {
public:
    std::string readString(const std::string& file, const std::string& section,
                           const std::string& key, const std::string& def) const override
    {
        const auto text = readText(file);
        if (!text) return ini::defaultValue(def);
        return ini::readValue(text->text, section, key, def);
    }

    int readInt(const std::string& file, const std::string& section, const std::string& key,
                int def) const override
    {
        const auto text = readText(file);
        if (!text) return def;
        return ini::readInt(text->text, section, key, def);
    }

    std::vector<std::string> readKeyNames(const std::string& file,
                                          const std::string& section) const override
    {
        const auto text = readText(file);
        if (!text) return {};
        return ini::readKeyNames(text->text, section);
    }

    std::vector<std::string> readSectionValues(const std::string& file,
                                               const std::string& section) const override
    {
        const auto text = readText(file);
        if (!text) return {};
        return ini::readSectionValues(text->text, section);
    }

    void writeString(const std::string& file, const std::string& section, const std::string& key,
                     const std::string& value) override
    {
        const auto fail = [&file]() { throw SettingsWriteError("Unable to write to " + file); };
        if (!ini::canWrite(section, key, value)) fail();
        std::string target = resolveForWriting(locate(file));

        struct stat st {};
        const bool exists = ::stat(target.c_str(), &st) == 0;
        // A file that may be there but cannot be looked at must not be replaced by one
        // holding only the new key.
        if (!exists && errno != ENOENT) fail();
        ini::FileText old;
        if (exists) {
            if (!S_ISREG(st.st_mode) || posix_io::looksReadOnly(st)) fail();
            // Write through a symbolic link rather than replace the link itself.
            char real[PATH_MAX];
            if (!::realpath(target.c_str(), real)) fail();
            target = real;
            auto content = posix_io::readWholeFile(target);
            if (!content) fail();
            old = ini::decodeFile(std::move(*content));
        }
        const std::string updated = ini::writeValue(old.text, section, key, value);
        if (exists && updated == old.text) return;
        // Writing such a file back would lose its odd byte or shift every character after it.
        if (old.strayByte) fail();
        // A UTF-16 file gets the new line in UTF-16 too, never a mix of encodings.
        const auto bytes = ini::encodeFile(old.encoding, updated);
        if (!bytes || !replaceFile(target, *bytes, exists ? &st : nullptr)) fail();
    }
};

}  // namespace

SettingsFiles& systemSettingsFiles()
{
    static PosixSettingsFiles instance;
    return instance;
}

}  // namespace talvorin::platform
