#pragma once
// The kit for runs of the built program against the SQL Server double: a kit sandbox with the
// kit-tool stand-ins, first-installation, 2008 and update scripts, and the registry file that
// records the release.

#include <map>
#include <string>
#include <vector>

#include "e2e/program_run.h"
#include "support/kit_sandbox.h"

namespace talvorin::testing {

class ServerRunKit : public KitSandbox, public KitRuns<ServerRunKit> {
public:
    // What a first installation runs and loads, and what a repair runs, in the setup file's order.
    const std::vector<std::string> installScripts = {"create_db.sql", "create_tables.sql", "extra.sql"};
    const std::vector<std::string> codeTables = {"VELMORA..COUNTRY in Country.dat", "VELMORA..PORT in Port.dat"};
    const std::vector<std::string> updateScripts = {"upd_1.sql", "upd_2.sql"};
    static constexpr bool kWine = false;

    ServerRunKit()
    {
        installTools();
        placeScripts({"create_db.sql", "create_tables.sql", "extra.sql", "upd_1.sql", "upd_2.sql"});
        setupFile("[SCRIPT_2005]\r\n1=create_db.sql\r\n2=create_tables.sql\r\n[SCRIPT_2008_ADDITIONAL]\r\n"
                  "1=extra.sql\r\n[UPD_2005]\r\n1=upd_1.sql\r\n[UPD_2008_ADDITIONAL]\r\n1=upd_2.sql\r\n"
                  "[CODE_TABLE]\r\n1=VELMORA..COUNTRY in Country.dat\r\n2=VELMORA..PORT in Port.dat\r\n"
                  "[CODE_TABLE_UPGRADE_REPAIR]\r\n1=VELMORA..PORT in Port.dat\r\n");
        registry();
    }

    void installedRelease(const std::string& version) const
    {
        registry("[HKEY_LOCAL_MACHINE\\SOFTWARE\\QUORVANTA\\ORVO3]\r\n\"Version\"=\"" + version + "\"\r\n");
    }

    // What the program is told besides its arguments.
    std::map<std::string, std::string> env() const
    {
        return {{"WINDIR", winDir},
                {"TALVORIN_REGISTRY", registryFile()},
                {"KIT_TOOL_JOURNAL", toolJournal},
                {"TALVORIN_ODBC_DRIVER", "FreeTDS"}};
    }
};

}  // namespace talvorin::testing
