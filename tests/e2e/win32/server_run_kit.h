#pragma once
// The kit for runs of Talvorin.exe against the SQL Server double under Windows (Wine): the kit
// folder below the real Windows folder, shared by every program of the prefix (the runs take
// turns: ctest lock), the Windows kit-tool stand-in as osql.exe and bcp.exe, and the release
// in the real registry.

#include <filesystem>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "e2e/program_run.h"
#include "platform/win32/windows_api.h"
#include "support/fakes.h"
#include "support/kit_sandbox.h"
#include "support/kit_tool_journal.h"

namespace talvorin::testing {

inline constexpr const char* kReleaseKey = "SOFTWARE\\QUORVANTA\\ORVO3";

inline std::string windowsDirectory()
{
    char buffer[MAX_PATH] = {};
    const UINT n = ::GetWindowsDirectoryA(buffer, sizeof buffer);
    return std::string(buffer, n);
}

// A kit sandbox whose kit folder is the one below the real Windows folder, which every
// program of the prefix shares (the runs take turns: ctest lock): emptied before and after.
struct SharedKitSandbox : KitSandbox {
    explicit SharedKitSandbox(const std::string& serverName = "Srv") : KitSandbox(clearedKitFolder(), serverName) {}
    ~SharedKitSandbox()
    {
        std::error_code ignored;
        std::filesystem::remove_all(kitDir, ignored);
    }
    SharedKitSandbox(const SharedKitSandbox&) = delete;
    SharedKitSandbox& operator=(const SharedKitSandbox&) = delete;

    static std::string clearedKitFolder()
    {
        const std::string folder = windowsDirectory() + "\\MigKit4\\";
        removeSharedKitFolder(folder);
        return folder;
    }
};

class ServerRunKit : public SharedKitSandbox, public KitRuns<ServerRunKit> {
public:
    // What a first installation runs and loads, and what a repair runs, in the setup file's order.
    const std::vector<std::string> installScripts = {"create_db.sql", "create_tables.sql"};
    const std::vector<std::string> codeTables = {"VELMORA..COUNTRY in Country.dat"};
    const std::vector<std::string> updateScripts = {"upd_1.sql"};
    // Under Wine the driver stack is the host's unixODBC and FreeTDS: the faults it meets
    // there are a few of those the Linux build meets, and a run's time is not bounded.
    static constexpr bool kWine = true;

    // The server folder's name has a blank, which the tools' command lines must quote.
    ServerRunKit() : SharedKitSandbox("Velmora Server")
    {
        installTools();
        placeScripts({"create_db.sql", "create_tables.sql", "upd_1.sql"});
        setupFile("[SCRIPT_2005]\r\n1=create_db.sql\r\n2=create_tables.sql\r\n[UPD_2005]\r\n1=upd_1.sql\r\n"
                  "[CODE_TABLE]\r\n1=VELMORA..COUNTRY in Country.dat\r\n"
                  "[CODE_TABLE_UPGRADE_REPAIR]\r\n1=VELMORA..PORT in Port.dat\r\n");
        forgetRelease();
    }
    ~ServerRunKit() { forgetRelease(); }

    static void forgetRelease()
    {
        for (const REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY})
            ::RegDeleteKeyExA(HKEY_LOCAL_MACHINE, kReleaseKey, view, 0);
    }

    // The application's 32-bit installer writes the 32-bit view (Wow6432Node on 64-bit Windows).
    static void installedRelease(const std::string& version, REGSAM view = KEY_WOW64_32KEY)
    {
        HKEY key = nullptr;
        if (::RegCreateKeyExA(HKEY_LOCAL_MACHINE, kReleaseKey, 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, &key,
                              nullptr) != ERROR_SUCCESS)
            throw std::runtime_error("cannot create the release's registry key");
        ::RegSetValueExA(key, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version.c_str()),
                         static_cast<DWORD>(version.size() + 1));
        ::RegCloseKey(key);
    }

    // What the program is told besides its arguments.
    std::map<std::string, std::string> env() const
    {
        return {{"KIT_TOOL_JOURNAL", toolJournal}, {"TALVORIN_ODBC_DRIVER", "FreeTDS"}};
    }
};

}  // namespace talvorin::testing
