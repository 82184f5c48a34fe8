#pragma once

#include <string>

namespace talvorin::platform {

// What stands at a name (resolved as resolvePath does), for a log line that must say why a
// file the run needs is not used.
enum class PathKind { ReadableFile, UnreadableFile, Missing, Folder, BrokenLink, Other };

PathKind pathKind(const std::string& path);

// "missing", "a folder", "a broken symbolic link", ... for a log line; empty for a
// readable file.
std::string describeProblem(PathKind kind);

}  // namespace talvorin::platform
