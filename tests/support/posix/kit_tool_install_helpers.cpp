#include "support/kit_tool_install.h"

#include <filesystem>

namespace talvorin::testing {

void installKitToolStandin(const std::string& path) { std::filesystem::create_symlink(KIT_TOOL_STANDIN, path); }

}  // namespace talvorin::testing
