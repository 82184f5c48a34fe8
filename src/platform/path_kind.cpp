#include "platform/path_kind.h"

#include <filesystem>
#include <fstream>

#include "platform/file_system.h"

namespace talvorin::platform {

PathKind pathKind(const std::string& path)
{
    namespace fs = std::filesystem;
    const auto resolved = resolvePath(path);
    if (!resolved) return PathKind::Missing;
    std::error_code error;
    const fs::file_status link = fs::symlink_status(*resolved, error);
    if (error) return PathKind::Missing;
    const fs::file_status target = fs::status(*resolved, error);
    if (fs::is_symlink(link) && !fs::exists(target)) return PathKind::BrokenLink;
    if (fs::is_directory(target)) return PathKind::Folder;
    if (!fs::is_regular_file(target)) return PathKind::Other;
    // Only a regular file is opened: a FIFO could block the open.
    std::ifstream in(*resolved, std::ios::binary);
    return in ? PathKind::ReadableFile : PathKind::UnreadableFile;
}

std::string describeProblem(PathKind kind)
{
    switch (kind) {
    case PathKind::ReadableFile: return "";
    case PathKind::UnreadableFile: return "cannot be read";
    case PathKind::Missing: return "does not exist";
    case PathKind::Folder: return "is a folder";
    case PathKind::BrokenLink: return "is a symbolic link to nothing";
    case PathKind::Other: return "is not a regular file";
    }
    return "is not usable";
}

}  // namespace talvorin::platform
