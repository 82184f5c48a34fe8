#pragma once

#include <string>

// Symbolic links for the Windows tests, also under Wine.
namespace talvorin::testing {

// True when the tests run under Wine.
bool underWine();

// Makes `folder`\`name` a symbolic link to `target`, a name in the same folder (which need not
// exist), and removes the link again, before the folder goes: std::filesystem would follow
// it. Wine's CreateSymbolicLink creates nothing, so there the link is made on the Unix side,
// where Wine shows it as the file it points to (a link to a file), a folder that is a reparse
// point (a link to a folder) or as missing (a link that points nowhere).
class ScopedSymbolicLink {
public:
    ScopedSymbolicLink(const std::string& folder, const std::string& name, const std::string& target, bool toFolder);
    ~ScopedSymbolicLink();
    ScopedSymbolicLink(const ScopedSymbolicLink&) = delete;
    ScopedSymbolicLink& operator=(const ScopedSymbolicLink&) = delete;

private:
    std::string folder_, name_;
    bool toFolder_;
};

}  // namespace talvorin::testing
