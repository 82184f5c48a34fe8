#pragma once
// A complete kit for one end-to-end run: Windows directory with the kit folder, the
// kit-tool stand-in as osql.exe and bcp.exe, a server folder with scripts, a setup file and
// a registry file, and the environment that points the program at them.

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "e2e/posix/program_run_posix.h"
#include "setupdata/scramble.h"
#include "support/fakes.h"

namespace talvorin::testing {

struct Sandbox {
    TempDir dir;
    std::string winDir = dir.str() + "/WINDOWS";
    std::string kitDir = winDir + "/MigKit4/";
    std::string serverBase = dir.str() + "/Srv";
    std::string supportDir = dir.str() + "/Support";
    std::string tmpDir = dir.str() + "/tmp";
    std::string toolJournal = dir.str() + "/tools.journal";
    std::map<std::string, std::string> extraEnv;

    Sandbox()
    {
        std::filesystem::create_directories(kitDir);
        std::filesystem::create_directories(serverBase + "/BIN");
        std::filesystem::create_directories(tmpDir);
        std::filesystem::create_symlink(KIT_TOOL_STANDIN, kitDir + "osql.exe");
        std::filesystem::create_symlink(KIT_TOOL_STANDIN, kitDir + "bcp.exe");
        for (const char* s : {"create_db.sql", "create_tables.sql", "extra.sql"})
            writeFile(serverBase + "/Scripts/" + s, "-- " + std::string(s) + "\n");
        setupFile("[SCRIPT_2005]\r\n1=create_db.sql\r\n2=create_tables.sql\r\n[SCRIPT_2008_ADDITIONAL]\r\n"
                  "1=extra.sql\r\n[CODE_TABLE]\r\n1=VELMORA..COUNTRY in Country.dat\r\n"
                  "2=VELMORA..PORT in Port.dat\r\n");
        writeFile(registryFile(), "Windows Registry Editor Version 5.00\r\n\r\n");
    }

    std::string setupFilePath() const { return supportDir + "/Setup.ini"; }
    std::string registryFile() const { return dir.str() + "/machine.reg"; }
    std::string logPath() const { return kitDir + "system.log"; }
    void setupFile(const std::string& text) const { writeFile(setupFilePath(), text); }

    void kitData(const std::string& user, const std::string& password, const std::string& address,
                 const std::string& port) const
    {
        using setupdata::ScrambleText;
        writeFile(kitDir + "Orvo4.DAT", "[DB]\r\nUser=" + ScrambleText(user) + "\r\nPassword=" +
                                            ScrambleText(password) + "\r\nIP address=" + ScrambleText(address) +
                                            "\r\nPort=" + ScrambleText(port) + "\r\n");
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
