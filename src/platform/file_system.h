#pragma once

#include <optional>
#include <string>

namespace talvorin::platform {

// Finds the file a Windows-style name means: either separator, and each name that does not
// exist exactly taken without the dots and blanks that end it, as Windows takes it, and then
// matched without regard to case, except the names directly below the root of the file
// system, which must match exactly. nullopt when nothing matches.
std::optional<std::string> resolvePath(const std::string& path);

// Whether the name, resolved as above, is an existing file or folder.
bool pathExists(const std::string& path);

// Whether the name, resolved as above, is an existing regular file.
bool fileExists(const std::string& path);

// The name an existing file resolves to, or the name with its folder resolved for a file
// still to be created (its own name without ending dots and blanks). The name itself (with
// this system's separator) when its folder does not exist either.
std::string resolveForWriting(const std::string& path);

// Appends the bytes to the file, creating it, in one write; a file whose last byte is not
// a line feed or carriage return first gets CR LF so no line is joined. A write cut short
// (a full disk) is taken back whole. Throws std::runtime_error naming the file when it
// cannot be done, also when the name is a symbolic link (never followed) or no regular file.
void appendLines(const std::string& path, const std::string& bytes);

}  // namespace talvorin::platform
