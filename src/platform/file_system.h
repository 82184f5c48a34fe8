#pragma once

#include <optional>
#include <string>

namespace talvorin::platform {

// Finds the file a Windows-style name means: either separator, and each name matched
// without regard to case when the exact one does not exist, except the names directly
// below the root of the file system, which must match exactly. nullopt when nothing
// matches.
std::optional<std::string> resolvePath(const std::string& path);

// Whether the name, resolved as above, is an existing file or folder.
bool pathExists(const std::string& path);

// Whether the name, resolved as above, is an existing regular file.
bool fileExists(const std::string& path);

// The name an existing file resolves to, or the name with its folder resolved for a file
// still to be created. The name itself (with this system's separator) when its folder
// does not exist either.
std::string resolveForWriting(const std::string& path);

// Appends the bytes to the file, creating it, in one write; a file whose last byte is not
// a line feed or carriage return first gets CR LF so no line is joined. Throws
// std::runtime_error naming the file when it cannot be done.
void appendLines(const std::string& path, const std::string& bytes);

}  // namespace talvorin::platform
