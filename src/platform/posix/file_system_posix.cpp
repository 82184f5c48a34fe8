#include "platform/file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "platform/paths.h"
#include "formats/ascii.h"
#include "platform/posix/file_io.h"
#include "platform/posix/unique_fd.h"

namespace talvorin::platform {

namespace {

std::vector<std::string_view> splitComponents(std::string_view path)
{
    std::vector<std::string_view> parts;
    std::size_t pos = 0;
    while (pos <= path.size()) {
        std::size_t end = pos;
        while (end < path.size() && !isDirSeparator(path[end])) ++end;
        if (end > pos) parts.push_back(path.substr(pos, end - pos));
        pos = end + 1;
    }
    return parts;
}

std::string joined(const std::string& folder, std::string_view name)
{
    if (folder.empty()) return std::string(name);
    std::string out = folder;
    if (out.back() != '/') out += '/';
    out.append(name);
    return out;
}

struct DirCloser {
    void operator()(DIR* d) const { ::closedir(d); }
};

// The entry of the folder whose name equals the wanted one without regard to case; when
// several do (possible here, not on Windows), the first in byte order, so the choice is
// stable.
std::optional<std::string> findNoCase(const std::string& folder, std::string_view wanted)
{
    std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.empty() ? "." : folder.c_str()));
    if (!dir) return std::nullopt;
    std::optional<std::string> best;
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..") continue;
        if (formats::equalsNoCase(name, wanted) && (!best || name < *best)) best = std::string(name);
    }
    return best;
}

// The name Windows means by a name: it drops the dots and blanks that end it ("one.sql. "
// is "one.sql"). "." and ".." stay as they are.
std::string_view windowsName(std::string_view name)
{
    if (name == "." || name == "..") return name;
    std::size_t end = name.size();
    while (end > 0 && (name[end - 1] == '.' || name[end - 1] == ' ')) --end;
    return name.substr(0, end);
}

std::string withSlashes(std::string path)
{
    for (char& c : path)
        if (isDirSeparator(c)) c = '/';
    return path;
}

[[noreturn]] void failAppend(const std::string& path, const std::string& reason)
{
    throw std::runtime_error("Cannot append to " + path + ": " + reason);
}

}  // namespace

std::optional<std::string> resolvePath(const std::string& path)
{
    if (path.empty()) return std::nullopt;
    // Most names are exact: one look instead of one per component.
    if (struct stat st{}; path.find('\\') == std::string::npos && ::lstat(path.c_str(), &st) == 0) return path;
    std::string current = isDirSeparator(path.front()) ? "/" : "";
    const auto parts = splitComponents(path);
    if (parts.empty()) return current.empty() ? std::nullopt : std::optional<std::string>(current);
    for (const std::string_view part : parts) {
        const std::string exact = joined(current, part);
        struct stat st {};
        if (::lstat(exact.c_str(), &st) == 0) {
            current = exact;
            continue;
        }
        if (part == "." || part == "..") return std::nullopt;
        const std::string_view name = windowsName(part);
        if (name.empty()) return std::nullopt;
        if (name.size() != part.size()) {
            if (const std::string trimmed = joined(current, name); ::lstat(trimmed.c_str(), &st) == 0) {
                current = trimmed;
                continue;
            }
        }
        // The root holds the system's own folders, which no Windows name can mean: "\BIN"
        // must not become /bin, where a setup run would then create its files.
        if (current == "/") return std::nullopt;
        const auto match = findNoCase(current, name);
        if (!match) return std::nullopt;
        current = joined(current, *match);
    }
    return current;
}

bool pathExists(const std::string& path)
{
    const auto resolved = resolvePath(path);
    struct stat st {};
    return resolved && ::stat(resolved->c_str(), &st) == 0;
}

bool fileExists(const std::string& path)
{
    const auto resolved = resolvePath(path);
    struct stat st {};
    return resolved && ::stat(resolved->c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string resolveForWriting(const std::string& path)
{
    if (auto resolved = resolvePath(path)) return *resolved;
    std::string plain = withSlashes(path);
    const std::size_t slash = plain.rfind('/');
    if (slash + 1 == plain.size()) return plain;
    // A file created as "setup.ini." is "setup.ini" on Windows.
    const std::size_t nameBegin = slash == std::string::npos ? 0 : slash + 1;
    const std::string_view name = windowsName(std::string_view(plain).substr(nameBegin));
    if (!name.empty()) plain.resize(nameBegin + name.size());
    if (slash == std::string::npos) return plain;
    const std::string folder = slash == 0 ? "/" : plain.substr(0, slash);
    if (auto resolvedFolder = resolvePath(folder)) return joined(*resolvedFolder, plain.substr(slash + 1));
    return plain;
}

void appendLines(const std::string& path, const std::string& bytes)
{
    const std::string target = resolveForWriting(path);
    struct stat before {};
    if (::lstat(target.c_str(), &before) == 0) {
        // Where others may write the kit folder, a link would let them have the setup
        // append to any file the administrator can write, or create one.
        if (S_ISLNK(before.st_mode)) failAppend(path, "it is a symbolic link, which is not followed");
        if (!S_ISREG(before.st_mode)) failAppend(path, "not a regular file");
        if (looksReadOnly(before)) failAppend(path, "the file is read-only");
    }
    // O_NOFOLLOW and O_NONBLOCK close the gap between the look above and the open: a link
    // or a FIFO put there meanwhile fails the open or the fstat below, and never blocks.
    UniqueFd fd(
        ::open(target.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY, 0666));
    if (!fd) failAppend(path, errno == ELOOP ? "it is a symbolic link, which is not followed" : lastErrorText());

    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) failAppend(path, lastErrorText());
    if (!S_ISREG(st.st_mode)) failAppend(path, "not a regular file");
    if (bytes.empty()) return;
    std::string text;
    if (st.st_size > 0) {
        char last = 0;
        if (::pread(fd.get(), &last, 1, st.st_size - 1) != 1) failAppend(path, lastErrorText());
        // A file left without a final line break must not have its last line joined.
        if (last != '\n' && last != '\r') text = "\r\n";
    }
    text += bytes;
    if (!writeAll(fd.get(), text.data(), text.size())) {
        const std::string reason = lastErrorText();
        // A short write (a full disk) leaves part of a line: cut the file back to where it
        // was, so the log holds whole lines only.
        [[maybe_unused]] const int ignored = ::ftruncate(fd.get(), st.st_size);
        failAppend(path, reason);
    }
    if (!closeChecked(fd)) failAppend(path, lastErrorText());
}

}  // namespace talvorin::platform
