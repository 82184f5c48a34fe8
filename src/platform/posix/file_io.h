#pragma once

#include <sys/stat.h>

#include <optional>
#include <string>

// Small file helpers shared by the POSIX settings-file, registry and file-system code.
namespace talvorin::platform {

// The whole content of a regular file; nullopt when it cannot be opened or read, or is
// no regular file (a FIFO or device is never waited for).
std::optional<std::string> readWholeFile(const std::string& path);

// Writes all bytes, resuming after partial writes and interruptions; false on error.
bool writeAll(int fd, const char* data, std::size_t size);

// Windows knows a read-only attribute; here a file without any write permission bit
// stands for it, so that it is refused even to root, who may write anything.
inline bool looksReadOnly(const struct stat& st) { return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0; }

// The text of errno, for messages.
std::string lastErrorText();

}  // namespace talvorin::platform
