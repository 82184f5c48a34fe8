#include "platform/posix/spawn.h"

#include <signal.h>
#include <fcntl.h>
#include <spawn.h>
#include <unistd.h>

#include <cerrno>

namespace talvorin::platform::posix {
namespace {

// posix_spawn's attribute objects, released on every path.
class SpawnAttributes {
public:
    SpawnAttributes() { ok_ = ::posix_spawnattr_init(&attr_) == 0; }
    ~SpawnAttributes()
    {
        if (ok_) ::posix_spawnattr_destroy(&attr_);
    }
    SpawnAttributes(const SpawnAttributes&) = delete;
    SpawnAttributes& operator=(const SpawnAttributes&) = delete;
    bool ok() const { return ok_; }
    posix_spawnattr_t* get() { return &attr_; }

private:
    posix_spawnattr_t attr_{};
    bool ok_ = false;
};

class FileActions {
public:
    FileActions() { ok_ = ::posix_spawn_file_actions_init(&actions_) == 0; }
    ~FileActions()
    {
        if (ok_) ::posix_spawn_file_actions_destroy(&actions_);
    }
    FileActions(const FileActions&) = delete;
    FileActions& operator=(const FileActions&) = delete;
    bool ok() const { return ok_; }
    posix_spawn_file_actions_t* get() { return &actions_; }

private:
    posix_spawn_file_actions_t actions_{};
    bool ok_ = false;
};

}  // namespace

SpawnResult spawnDetached(const std::string& path, const std::vector<std::string>& argv,
                          const std::string& directory)
{
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);

    SpawnAttributes attributes;
    FileActions actions;
    if (!attributes.ok() || !actions.ok()) return {-1, ENOMEM};

    // Every signal back to its default and none blocked, so this program's handlers (the
    // quit handler writes into a pipe of ours) never run in the tool. Its own session:
    // the terminal's Ctrl+C and hang-up are meant for this program, and a tool is never
    // stopped by this program's quitting.
    sigset_t all, none;
    sigfillset(&all);
    sigemptyset(&none);
    int error = ::posix_spawnattr_setsigdefault(attributes.get(), &all);
    if (error == 0) error = ::posix_spawnattr_setsigmask(attributes.get(), &none);
    if (error == 0)
        error = ::posix_spawnattr_setflags(attributes.get(),
                                           POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSID);

    // Standard input, output and error on /dev/null; no other descriptor reaches the tool,
    // also none that a library opened without O_CLOEXEC.
    if (error == 0) error = ::posix_spawn_file_actions_addopen(actions.get(), 0, "/dev/null", O_RDONLY, 0);
    if (error == 0) error = ::posix_spawn_file_actions_addopen(actions.get(), 1, "/dev/null", O_WRONLY, 0);
    if (error == 0) error = ::posix_spawn_file_actions_adddup2(actions.get(), 1, 2);
    if (error == 0) error = ::posix_spawn_file_actions_addclosefrom_np(actions.get(), 3);
    if (error == 0 && !directory.empty())
        error = ::posix_spawn_file_actions_addchdir_np(actions.get(), directory.c_str());
    if (error != 0) return {-1, error};

    // glibc's posix_spawn shares the parent's memory until the exec (no copy of a large
    // process per tool) and reports a failed chdir or exec as its result, so a failure
    // never leaves a child behind.
    pid_t pid = -1;
    error = ::posix_spawn(&pid, path.c_str(), actions.get(), attributes.get(), args.data(), environ);
    if (error != 0) return {-1, error};
    return {pid, 0};
}

}  // namespace talvorin::platform::posix
