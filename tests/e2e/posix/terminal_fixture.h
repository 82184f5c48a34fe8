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
#include "support/kit_sandbox.h"
#include "support/sql_double.h"

namespace talvorin::testing {

class TerminalFixture : public ::testing::Test, protected KitSandbox {
protected:
    void SetUp() override
    {
        installTools();
        placeScripts({"create_db.sql", "create_tables.sql", "extra.sql"});
        setupFile(kRunSetupText);
        registry();
    }

    void kitData(const std::string& password, int port)
    {
        KitSandbox::kitData("sa", password, SqlDouble::address(), std::to_string(port));
    }

    // The program on a terminal of that type and size; the tools take that long.
    std::unique_ptr<TerminalRun> start(const std::string& term, unsigned short columns, unsigned short rows,
                                       const std::string& toolSleepMs, const std::string& setupMode = "301")
    {
        return std::make_unique<TerminalRun>(
            std::vector<std::string>{setupMode, serverBase, "1", supportDir, "Setup.ini"},
            std::map<std::string, std::string>{{"WINDIR", winDir},
                                               {"TALVORIN_REGISTRY", registryFile()},
                                               {"KIT_TOOL_JOURNAL", toolJournal},
                                               {"KIT_TOOL_SLEEP_MS", toolSleepMs},
                                               {"TALVORIN_ODBC_DRIVER", "FreeTDS"},
                                               {"TERM", term}},
            columns, rows);
    }

    std::vector<std::string> runLines() const { return runLinesOf(logPath()); }
};

}  // namespace talvorin::testing
