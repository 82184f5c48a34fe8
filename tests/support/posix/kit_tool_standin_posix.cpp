#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "support/kit_tool_standin.h"

namespace {

std::string baseName(std::string_view path)
{
    const std::size_t slash = path.find_last_of("/\\");
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string currentDirectory()
{
    std::vector<char> buffer(4096);
    while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE) return "";
        buffer.resize(buffer.size() * 2);
    }
    return buffer.data();
}

// What each inherited descriptor refers to, so tests can see what the launcher passed on.
std::vector<std::string> openFiles()
{
    std::vector<std::string> files;
    DIR* dir = ::opendir("/proc/self/fd");
    if (dir == nullptr) return files;
    const int own = ::dirfd(dir);
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == ".." || name == std::to_string(own)) continue;
        char target[4096];
        const ssize_t length = ::readlink(("/proc/self/fd/" + name).c_str(), target, sizeof target);
        files.push_back(name + "=" + (length < 0 ? std::string("?") : std::string(target, length)));
    }
    ::closedir(dir);
    return files;
}

bool writeAll(int fd, const std::string& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

KitToolRun observeThisRun(int argc, char** argv)
{
    KitToolRun run;
    run.openFiles = openFiles();  // first, before this program opens anything itself
    run.program = baseName(argc > 0 ? argv[0] : "");
    run.args.assign(argv + (argc > 0 ? 1 : 0), argv + argc);
    run.workingDirectory = currentDirectory();
    run.pid = static_cast<long>(::getpid());
    return run;
}

std::string appendInOneWrite(const std::string& path, const std::string& bytes)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) return std::strerror(errno);
    const bool written = writeAll(fd, bytes);
    const int error = errno;
    ::close(fd);
    return written ? "" : std::strerror(error);
}

std::string createEmptyFile(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return std::strerror(errno);
    ::close(fd);
    return "";
}
