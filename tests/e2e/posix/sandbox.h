#pragma once
// A complete kit for one end-to-end run: Windows directory with the kit folder, the
// kit-tool stand-in as osql.exe and bcp.exe, a server folder with scripts, a setup file and
// a registry file, and the environment that points the program at them.

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "e2e/posix/program_run_posix.h"
#include "support/kit_sandbox.h"

namespace talvorin::testing {

struct Sandbox : KitSandbox {
    std::string tmpDir = dir.str() + "/tmp";
    std::map<std::string, std::string> extraEnv;

    Sandbox()
    {
        std::filesystem::create_directories(tmpDir);
        installTools();
        placeScripts({"create_db.sql", "create_tables.sql", "extra.sql"});
        setupFile(kRunSetupText);
        registry();
    }

    std::map<std::string, std::string> env() const
    {
        std::map<std::string, std::string> e = {{"WINDIR", winDir},
                                                {"TALVORIN_REGISTRY", registryFile()},
                                                {"KIT_TOOL_JOURNAL", toolJournal},
                                                {"TALVORIN_ODBC_DRIVER", "FreeTDS"},
                                                {"TMPDIR", tmpDir}};
        for (const auto& [k, v] : extraEnv) e[k] = v;
        return e;
    }

    std::vector<std::string> args(const std::string& installType = "1") const
    {
        return {"301", serverBase, installType, supportDir, "Setup.ini"};
    }

    ProgramResult run(const RunOptions& options = {}) const { return runTalvorin(args(), env(), options); }

    std::vector<std::string> log() const { return unstampedLogLines(readFile(logPath())); }

    // Private ODBC data-source folders in the sandbox's TMPDIR.
    std::size_t dataSourceFolders() const
    {
        std::size_t n = 0;
        for (const auto& entry : std::filesystem::directory_iterator(tmpDir))
            n += entry.path().filename().string().rfind("talvorin-odbc-", 0) == 0;
        return n;
    }
};

}  // namespace talvorin::testing
