// Stands in for the kit's osql.exe and bcp.exe in tests: install it (or a link to it) under
// the tool's name. It does what the tests need to observe and nothing of the real tools:
//
//   KIT_TOOL_JOURNAL     file that receives one record of this run (kit_tool_journal.h)
//   KIT_TOOL_EXIT_CODES  rules "key=code;key=code;*=code": the first rule whose key occurs
//                        in any argument gives the exit code; "*" gives it when none does;
//                        0 when unset. A malformed rule ends the run with 125.
//   KIT_TOOL_SLEEP_MS    milliseconds to wait before exiting
//
// "-e <file>" (bcp's error file) creates that file, relative to the working directory.

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "kit_tool_journal.h"

namespace {

constexpr int kBadRuleExit = 125;

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
        const ssize_t length =
            ::readlink(("/proc/self/fd/" + name).c_str(), target, sizeof target);
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

void appendToJournal(const char* path, const std::string& record)
{
    const int fd = ::open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0 || !writeAll(fd, record))
        std::fprintf(stderr, "kit_tool_standin: cannot append to %s: %s\n", path, std::strerror(errno));
    if (fd >= 0) ::close(fd);
}

std::optional<int> parseInt(std::string_view text)
{
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

// nullopt when the rules are malformed.
std::optional<int> exitCodeFor(std::string_view rules, const std::vector<std::string>& args)
{
    std::optional<int> fallback;
    while (!rules.empty()) {
        const std::size_t semicolon = rules.find(';');
        const std::string_view rule = rules.substr(0, semicolon);
        rules = semicolon == std::string_view::npos ? std::string_view() : rules.substr(semicolon + 1);
        if (rule.empty()) continue;

        const std::size_t equals = rule.rfind('=');
        if (equals == std::string_view::npos || equals == 0) return std::nullopt;
        const std::string_view key = rule.substr(0, equals);
        const std::optional<int> code = parseInt(rule.substr(equals + 1));
        if (!code) return std::nullopt;

        if (key == "*") {
            if (!fallback) fallback = code;
            continue;
        }
        for (const std::string& arg : args)
            if (arg.find(key) != std::string::npos) return code;
    }
    return fallback.value_or(0);
}

void createErrorFiles(const std::vector<std::string>& args)
{
    for (std::size_t i = 0; i + 1 < args.size(); ++i) {
        if (args[i] != "-e") continue;
        const int fd = ::open(args[i + 1].c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0)
            std::fprintf(stderr, "kit_tool_standin: cannot create %s: %s\n", args[i + 1].c_str(),
                         std::strerror(errno));
        else
            ::close(fd);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    KitToolRun run;
    run.openFiles = openFiles();  // first, before this program opens anything itself
    run.program = baseName(argc > 0 ? argv[0] : "");
    run.args.assign(argv + (argc > 0 ? 1 : 0), argv + argc);
    run.workingDirectory = currentDirectory();
    run.pid = static_cast<long>(::getpid());

    if (const char* journal = std::getenv("KIT_TOOL_JOURNAL"); journal != nullptr && *journal != '\0')
        appendToJournal(journal, formatKitToolRun(run));

    createErrorFiles(run.args);

    int exitCode = 0;
    if (const char* rules = std::getenv("KIT_TOOL_EXIT_CODES")) {
        const std::optional<int> code = exitCodeFor(rules, run.args);
        if (!code) {
            std::fprintf(stderr, "kit_tool_standin: malformed KIT_TOOL_EXIT_CODES: %s\n", rules);
            return kBadRuleExit;
        }
        exitCode = *code;
    }

    if (const char* sleepMs = std::getenv("KIT_TOOL_SLEEP_MS")) {
        const std::optional<int> ms = parseInt(sleepMs);
        if (ms && *ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(*ms));
    }
    return exitCode;
}
