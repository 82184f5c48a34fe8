#pragma once

#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>

#include "support/native_path.h"

namespace talvorin::testing {

// A folder of its own for one test below the system's temporary folder (TMPDIR on POSIX,
// TMP on Windows), created under a random name that no other folder has, removed with
// everything in it afterwards.
class TempDir {
public:
    explicit TempDir(std::string_view prefix = "talvorin-")
    {
        namespace fs = std::filesystem;
        const fs::path base = fs::temp_directory_path();
        std::random_device seed;
        std::mt19937_64 random(seed());
        for (int attempt = 0; attempt < 100; ++attempt) {
            const fs::path candidate = base / (std::string(prefix) + hex(random()));
            std::error_code error;
            // Exclusive: false when the name is taken, so a folder is never shared.
            if (!fs::create_directory(candidate, error)) {
                if (error) throw std::runtime_error("cannot create " + candidate.string() + ": " + error.message());
                continue;
            }
            fs::permissions(candidate, fs::perms::owner_all, error);  // as mkdtemp makes it
            path_ = fs::canonical(candidate);
            return;
        }
        throw std::runtime_error("no free name for a temporary folder in " + base.string());
    }
    ~TempDir()
    {
        namespace fs = std::filesystem;
        std::error_code ignored;
        // Give back write permission a test took away, so everything can be removed.
        fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
        for (auto it = fs::recursive_directory_iterator(path_, ignored); it != fs::recursive_directory_iterator();
             it.increment(ignored))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add | fs::perm_options::nofollow,
                            ignored);
        fs::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string str() const { return path_.string(); }
    // A path below the folder as this build forms paths: "/" in `relative` becomes the
    // system's separator.
    std::string operator/(const std::string& relative) const { return nativePath(str() + "/" + relative); }
    // A path below the folder, its parent folders created.
    std::string make(const std::string& relative) const
    {
        const auto p = path_ / relative;
        std::filesystem::create_directories(p.parent_path());
        return p.string();
    }

private:
    static std::string hex(unsigned long long value)
    {
        static constexpr char digits[] = "0123456789abcdef";
        std::string out;
        for (int i = 0; i < 12; ++i, value >>= 4) out += digits[value & 0xF];
        return out;
    }

    std::filesystem::path path_;
};

}  // namespace talvorin::testing
