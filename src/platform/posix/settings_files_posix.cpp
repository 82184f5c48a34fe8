#include "platform/settings_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
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

std::optional<formats::ini::FileText> readText(const std::string& file)
{
    const auto resolved = resolvePath(locate(file));
    if (!resolved) return std::nullopt;
    auto bytes = readWholeFile(*resolved);
    if (!bytes) return std::nullopt;
    return formats::ini::decodeFile(std::move(*bytes));
}

// Where a name lies: its folder ("" or ending in '/') and its own name.
std::pair<std::string, std::string> splitName(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return {"", path};
    return {path.substr(0, slash + 1), path.substr(slash + 1)};
}

// Creates a new file in the same folder, so the final rename cannot cross file systems.
// The temporary file is removed unless it was renamed into place.
std::optional<std::pair<RemovedFile, UniqueFd>> createTempBeside(const std::string& target)
{
    const auto [folder, base] = splitName(target);
    static unsigned counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = folder + settingsCopyName(base, static_cast<unsigned long>(::getpid()), counter++);
        // Owner only: a new file is the kit data file, which holds the administrator's
        // password; a file that existed gets its own mode back before the rename.
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0) return std::make_pair(RemovedFile(name), UniqueFd(fd));
        if (errno != EEXIST) return std::nullopt;
    }
    return std::nullopt;
}

// Puts the content in place of the target in one step: the target is either the old file
// or the complete new one, never something in between. "" or the system's reason.
std::string replaceFile(const std::string& target, const std::string& content, const struct stat* original)
{
    auto temp = createTempBeside(target);
    if (!temp) return lastErrorText();
    auto& [file, fd] = *temp;
    if (!writeAll(fd.get(), content.data(), content.size())) return lastErrorText();
    if (original) {
        if (::fchmod(fd.get(), original->st_mode & 07777) != 0) return lastErrorText();
        if (::geteuid() == 0) {
            // Keep the owner when writing as root; failing that is no reason to stop.
            [[maybe_unused]] const int ignored = ::fchown(fd.get(), original->st_uid, original->st_gid);
        }
    }
    if (::fsync(fd.get()) != 0 || !closeChecked(fd)) return lastErrorText();
    if (::rename(file.get().c_str(), target.c_str()) != 0) return lastErrorText();
    file.release();
    return "";
}

struct DirCloser {
    void operator()(DIR* d) const { ::closedir(d); }
};

class PosixSettingsFiles final : public SettingsFiles {
public:
    std::string readString(const std::string& file, const std::string& section, const std::string& key,
                           const std::string& def) const override
    {
        const auto text = readText(file);
        if (!text) return formats::ini::defaultValue(def);
        return formats::ini::readValue(text->text, section, key, def);
    }

    int readInt(const std::string& file, const std::string& section, const std::string& key, int def) const override
    {
        const auto text = readText(file);
        if (!text) return def;
        return formats::ini::readInt(text->text, section, key, def);
    }

    std::vector<std::string> readKeyNames(const std::string& file, const std::string& section) const override
    {
        const auto text = readText(file);
        if (!text) return {};
        return formats::ini::readKeyNames(text->text, section);
    }

    std::vector<std::string> readSectionValues(const std::string& file, const std::string& section) const override
    {
        const auto text = readText(file);
        if (!text) return {};
        return formats::ini::readSectionValues(text->text, section);
    }

    void writeStrings(const std::string& file, const std::string& section, const SettingsValues& values) override
    {
        const auto fail = [&file](const std::string& reason) { throw SettingsWriteError(file, reason); };
        for (const auto& [key, value] : values)
            if (!formats::ini::canWrite(section, key, value)) fail(formats::ini::kCannotStore);
        std::string target = resolveForWriting(locate(file));

        struct stat st {};
        const bool exists = ::stat(target.c_str(), &st) == 0;
        // A file that may be there but cannot be looked at must not be replaced by one
        // holding only the new keys.
        if (!exists && errno != ENOENT) fail(lastErrorText());
        formats::ini::FileText old;
        if (exists) {
            if (!S_ISREG(st.st_mode)) fail("not a regular file");
            if (looksReadOnly(st)) fail("the file is read-only");
            // Write through a symbolic link rather than replace the link itself.
            char real[PATH_MAX];
            if (!::realpath(target.c_str(), real)) fail(lastErrorText());
            target = real;
            auto content = readWholeFile(target);
            if (!content) fail(lastErrorText());
            old = formats::ini::decodeFile(std::move(*content));
        }
        std::string updated = old.text;
        for (const auto& [key, value] : values) updated = formats::ini::writeValue(updated, section, key, value);
        if (exists && updated == old.text) return;
        // Writing such a file back would lose its odd byte or shift every character after it.
        if (old.strayByte) fail("a UTF-16 file of an odd length cannot be written back whole");
        // A UTF-16 file gets the new lines in UTF-16 too, never a mix of encodings.
        const auto bytes = formats::ini::encodeFile(old.encoding, updated);
        if (!bytes) fail("a UTF-16 file cannot hold a value that is no UTF-8 text");
        if (const std::string reason = replaceFile(target, *bytes, exists ? &st : nullptr); !reason.empty())
            fail(reason);
    }

    void removeAbandonedCopies(const std::string& file) override
    {
        const auto [folder, base] = splitName(resolveForWriting(locate(file)));
        std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.empty() ? "." : folder.c_str()));
        if (!dir) return;
        while (const dirent* entry = ::readdir(dir.get())) {
            const auto owner = settingsCopyOwner(entry->d_name, base);
            if (!owner || *owner == 0 || *owner > static_cast<unsigned long>(INT_MAX)) continue;
            // This process has no write under way while it looks; another one may.
            if ((*owner != static_cast<unsigned long>(::getpid()) &&
                 (::kill(static_cast<pid_t>(*owner), 0) == 0 || errno != ESRCH)))
                continue;
            ::unlink((folder + entry->d_name).c_str());
        }
    }
};

}  // namespace

SettingsFiles& systemSettingsFiles()
{
    static PosixSettingsFiles instance;
    return instance;
}

}  // namespace talvorin::platform
