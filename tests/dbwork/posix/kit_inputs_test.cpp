// The one line that names a setup file or osql.exe the run cannot use.
#include <functional>

#include "dbwork/step_fixture.h"

namespace talvorin::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class KitInputs : public StepFixture {};

TEST_F(KitInputs, NameWhatMakesTheRunDoNothing)
{
    const std::string gone = dir.str() + "/gone";
    const std::string scripts = "[UPD_2008_ADDITIONAL]\r\n1=a.sql\r\n";
    const auto setupLine = [&](const std::string& problem) {
        return "Setup file " + in.setupFilePath() + " " + problem + ": no script or code table is listed";
    };
    const auto osqlLine = [&](const std::string& problem) {
        return "osql.exe " + kitDir + "osql.exe " + problem + ": no script can be run";
    };
    struct Case {
        const char* what;
        std::function<void()> arrange;
        std::string line;  // empty for none
    };
    const Case cases[] = {
        {"all there",
         [&] {
             setupFile("[SCRIPT_2005]\r\n");
             installTool("osql.exe");
         },
         ""},
        {"setup file missing", [&] { installTool("osql.exe"); }, setupLine("does not exist")},
        {"setup file a folder", [&] { std::filesystem::create_directories(in.setupFilePath()); },
         setupLine("is a folder")},
        {"setup file a broken link",
         [&] {
             std::filesystem::create_directories(in.supportDir);
             std::filesystem::create_symlink(gone, in.setupFilePath());
         },
         setupLine("is a symbolic link to nothing")},
        {"osql.exe missing", [&] { setupFile(scripts); }, osqlLine("does not exist")},
        {"osql.exe missing, no script listed", [&] { setupFile("[SCRIPT_2005]\r\n[CODE_TABLE]\r\n1=t\r\n"); }, ""},
        {"osql.exe a folder",
         [&] {
             setupFile(scripts);
             std::filesystem::create_directory(kitDir + "osql.exe");
         },
         osqlLine("is a folder")},
        {"osql.exe a broken link",
         [&] {
             setupFile(scripts);
             std::filesystem::create_symlink(gone, kitDir + "osql.exe");
         },
         osqlLine("is a symbolic link to nothing")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(in.supportDir);
        std::filesystem::remove_all(kitDir + "osql.exe");
        log.lines.clear();
        c.arrange();
        auto ctx = context();
        dbwork::LogUnusableKitInputs(ctx, in);
        if (c.line.empty())
            EXPECT_THAT(log.lines, IsEmpty());
        else
            EXPECT_THAT(log.lines, ElementsAre(c.line));
    }
}

}  // namespace
}  // namespace talvorin::testing
