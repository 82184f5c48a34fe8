#include "platform/posix/spawn.h"

#include <signal.h>
#include <fcntl.h>
#include <spawn.h>
#include <unistd.h>

#include <cerrno>

#include "platform/scope_exit.h"

namespace talvorin::platform {

SpawnResult spawnDetached(const std::string& path, const std::vector<std::string>& argv, const std::string& directory)
{
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);

    // posix_spawn's attribute objects, released on every path.
    posix_spawnattr_t attributeStore;
    if (int error = ::posix_spawnattr_init(&attributeStore); error != 0) return {-1, error};
    const auto destroyAttributes = scopeExit([&] { ::posix_spawnattr_destroy(&attributeStore); });
    posix_spawn_file_actions_t actionStore;
    if (int error = ::posix_spawn_file_actions_init(&actionStore); error != 0) return {-1, error};
    const auto destroyActions = scopeExit([&] { ::posix_spawn_file_actions_destroy(&actionStore); });
    posix_spawnattr_t* const attributes = &attributeStore;
    posix_spawn_file_actions_t* const actions = &actionStore;

    // Every signal back to its default and none blocked, so this program's handlers (the
    // quit handler writes into a pipe of ours) never run in the tool. Its own session:
    // the terminal's Ctrl+C and hang-up are meant for this program, and a tool is never
    // stopped by this program's quitting.
    sigset_t all, none;
    sigfillset(&all);
    sigemptyset(&none);
    int error = ::posix_spawnattr_setsigdefault(attributes, &all);
    if (error == 0) error = ::posix_spawnattr_setsigmask(attributes, &none);
    if (error == 0)
        error = ::posix_spawnattr_setflags(attributes,
                                           POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSID);

    // Standard input, output and error on /dev/null; no other descriptor reaches the tool,
    // also none that a library opened without O_CLOEXEC.
    if (error == 0) error = ::posix_spawn_file_actions_addopen(actions, 0, "/dev/null", O_RDONLY, 0);
    if (error == 0) error = ::posix_spawn_file_actions_addopen(actions, 1, "/dev/null", O_WRONLY, 0);
    if (error == 0) error = ::posix_spawn_file_actions_adddup2(actions, 1, 2);
    if (error == 0) error = ::posix_spawn_file_actions_addclosefrom_np(actions, 3);
    if (error == 0 && !directory.empty()) error = ::posix_spawn_file_actions_addchdir_np(actions, directory.c_str());
    if (error != 0) return {-1, error};

    // glibc's posix_spawn shares the parent's memory until the exec (no copy of a large
    // process per tool) and reports a failed chdir or exec as its result, so a failure
    // never leaves a child behind.
    pid_t pid = -1;
    error = ::posix_spawn(&pid, path.c_str(), actions, attributes, args.data(), environ);
    if (error != 0) return {-1, error};
    return {pid, 0};
}

}  // namespace talvorin::platform
