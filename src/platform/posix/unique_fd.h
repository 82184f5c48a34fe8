#pragma once

#include <unistd.h>

#include <string>

#include "platform/unique_resource.h"

namespace talvorin::platform {

struct FdTraits {
    using Handle = int;
    static Handle invalid() noexcept { return -1; }
    static void close(Handle fd) noexcept { ::close(fd); }
};

// Owns one file descriptor and closes it when it goes.
using UniqueFd = UniqueResource<FdTraits>;

// Closes the descriptor now and says whether the close succeeded: a late write error of
// some file systems shows only here.
inline bool closeChecked(UniqueFd& fd) { return !fd || ::close(fd.release()) == 0; }

// A path that is removed (unlink) when it goes, unless released first: a temporary file
// until it is renamed into place.
struct UnlinkedPathTraits {
    using Handle = std::string;
    static Handle invalid() noexcept { return {}; }
    static void close(const Handle& path) noexcept { ::unlink(path.c_str()); }
};
using RemovedFile = UniqueResource<UnlinkedPathTraits>;

// A folder that is removed (rmdir: it must be empty by then) when it goes.
struct RemovedFolderTraits {
    using Handle = std::string;
    static Handle invalid() noexcept { return {}; }
    static void close(const Handle& path) noexcept { ::rmdir(path.c_str()); }
};
using RemovedFolder = UniqueResource<RemovedFolderTraits>;

}  // namespace talvorin::platform
