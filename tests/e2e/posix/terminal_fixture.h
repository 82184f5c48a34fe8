#pragma once

// A sandbox for runs of the built program on a pseudo-terminal: a kit folder with the
// kit-tool stand-ins, a server folder with scripts, a setup file, an empty registry.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "e2e/posix/terminal_run.h"
#include "e2e/program_run.h"
#include "setupdata/scramble.h"
#include "support/fakes.h"
#include "support/sql_double.h"

namespace talvorin::testing {

class TerminalFixture : public ::testing::Test {
protected:
    TempDir dir;
    std::string winDir, kitDir, serverBase, supportDir, toolJournal;

    void SetUp() override
    {
        winDir = dir.str() + "/WINDOWS";
        kitDir = winDir + "/MigKit4/";
        serverBase = dir.str() + "/Srv";
        supportDir = dir.str() + "/Support";
        toolJournal = dir.str() + "/tools.journal";
        std::filesystem::create_directories(kitDir);
        std::filesystem::create_directories(serverBase + "/BIN");
        std::filesystem::create_symlink(KIT_TOOL_STANDIN, kitDir + "osql.exe");
        std::filesystem::create_symlink(KIT_TOOL_STANDIN, kitDir + "bcp.exe");
        for (const char* s : {"create_db.sql", "create_tables.sql", "extra.sql"})
            writeFile(serverBase + "/Scripts/" + s, "-- script\n");
        writeFile(supportDir + "/Setup.ini",
                  "[SCRIPT_2005]\r\n1=create_db.sql\r\n2=create_tables.sql\r\n[SCRIPT_2008_ADDITIONAL]\r\n"
                  "1=extra.sql\r\n[CODE_TABLE]\r\n1=VELMORA..COUNTRY in Country.dat\r\n"
                  "2=VELMORA..PORT in Port.dat\r\n");
        writeFile(dir.str() + "/machine.reg", "Windows Registry Editor Version 5.00\r\n\r\n");
    }

    void kitData(const std::string& password, int port)
    {
        using setupdata::ScrambleText;
        writeFile(kitDir + "Orvo4.DAT", "[DB]\r\nUser=" + ScrambleText("sa") + "\r\nPassword=" +
                                            ScrambleText(password) + "\r\nIP address=" +
                                            ScrambleText(SqlDouble::address()) + "\r\nPort=" +
                                            ScrambleText(std::to_string(port)) + "\r\n");
    }

    // The program on a terminal of that type and size; the tools take that long.
    std::unique_ptr<TerminalRun> start(const std::string& term, unsigned short columns, unsigned short rows,
                                       const std::string& toolSleepMs, const std::string& setupMode = "301")
    {
        return std::make_unique<TerminalRun>(
            std::vector<std::string>{setupMode, serverBase, "1", supportDir, "Setup.ini"},
            std::map<std::string, std::string>{{"WINDIR", winDir},
                                               {"TALVORIN_REGISTRY", dir.str() + "/machine.reg"},
                                               {"KIT_TOOL_JOURNAL", toolJournal},
                                               {"KIT_TOOL_SLEEP_MS", toolSleepMs},
                                               {"TALVORIN_ODBC_DRIVER", "FreeTDS"},
                                               {"TERM", term}},
            columns, rows);
    }

    std::vector<std::string> runLines() const
    {
        const auto all = unstampedLogLines(readFile(kitDir + "system.log"));
        return all.size() < 12 ? all : std::vector<std::string>(all.begin() + 9, all.end() - 3);
    }
};

}  // namespace talvorin::testing
