#include "support/kit_tool_install.h"

#include <filesystem>

namespace talvorin::testing {

void installKitToolStandin(const std::string& path)
{
    // The system finds the program by the name it was started under: a copy is the tool.
    std::filesystem::copy_file(KIT_TOOL_STANDIN, path);
}

}  // namespace talvorin::testing
