#include "ui/program_title.h"

#include <filesystem>

#include "formats/ascii.h"
#include "platform/program_path.h"
#include "ui/types.h"

namespace talvorin::ui {

std::string titleOfProgramFile(const std::string& path)
{
    std::string name = std::filesystem::path(path).filename().string();
    name = name.substr(0, name.find('.'));
    for (std::size_t i = 1; i < name.size(); ++i) name[i] = formats::lowerAscii(name[i]);
    return name;
}

const std::string& programTitle()
{
    // The file keeps its name while the program runs.
    static const std::string title = [] {
        std::string t = titleOfProgramFile(platform::programFilePath(nullptr));
        return t.empty() ? std::string("Talvorin") : t;
    }();
    return title;
}

}  // namespace talvorin::ui
