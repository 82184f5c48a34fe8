#pragma once
// The folder tree a run of the program needs, in one temporary folder, and the kit data file
// as the kit writes it.

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "setupdata/scramble.h"
#include "support/fakes.h"
#include "support/kit_tool_install.h"
#include "support/native_path.h"

namespace talvorin::testing {

// The kit data file's text: the connection's four values under [DB], each scrambled as the
// kit keeps them.
inline std::string kitDataText(const std::string& user, const std::string& password, const std::string& address,
                               const std::string& port)
{
    using setupdata::ScrambleText;
    return "[DB]\r\nUser=" + ScrambleText(user) + "\r\nPassword=" + ScrambleText(password) +
           "\r\nIP address=" + ScrambleText(address) + "\r\nPort=" + ScrambleText(port) + "\r\n";
}

// That text as the kit data file of `kitDir` (which ends in a separator).
inline void writeKitData(const std::string& kitDir, const std::string& user, const std::string& password,
                         const std::string& address, const std::string& port)
{
    writeFile(kitDir + "Orvo4.DAT", kitDataText(user, password, address, port));
}

// The setup file most runs take: the first installation's scripts, the 2008 addition and
// two code tables.
inline const std::string kRunSetupText =
    "[SCRIPT_2005]\r\n1=create_db.sql\r\n2=create_tables.sql\r\n[SCRIPT_2008_ADDITIONAL]\r\n"
    "1=extra.sql\r\n[CODE_TABLE]\r\n1=VELMORA..COUNTRY in Country.dat\r\n2=VELMORA..PORT in Port.dat\r\n";

// A Windows folder with the kit folder, a server folder with its BIN folder and a support
// folder; the tools, scripts, setup file, registry file and kit data are put in on demand.
struct KitSandbox {
    TempDir dir;
    std::string winDir = dir / "WINDOWS";
    std::string kitDir = dir / "WINDOWS/MigKit4/";
    std::string serverBase = dir / "Srv";
    std::string supportDir = dir / "Support";
    std::string toolJournal = dir / "tools.journal";

    KitSandbox() { makeFolders(); }
    // With the kit folder `kitFolder` (ending in a separator) in place of the sandbox's own,
    // and the server folder called `serverName`.
    KitSandbox(std::string kitFolder, const std::string& serverName)
        : kitDir(std::move(kitFolder)), serverBase(dir / serverName)
    {
        makeFolders();
    }

    // The kit-tool stand-in as the kit's osql.exe and bcp.exe.
    void installTools() const
    {
        for (const char* tool : {"osql.exe", "bcp.exe"}) installKitToolStandin(kitDir + tool);
    }
    // Scripts in the server folder's Scripts folder, each a comment naming itself.
    void placeScripts(const std::vector<std::string>& names) const
    {
        for (const auto& name : names) writeFile(serverBase + nativePath("/Scripts/" + name), "-- " + name + "\n");
    }
    std::string setupFilePath(const std::string& name = "Setup.ini") const
    {
        return supportDir + nativePath("/" + name);
    }
    void setupFile(const std::string& text, const std::string& name = "Setup.ini") const
    {
        writeFile(setupFilePath(name), text);
    }
    // The registry the POSIX build reads in place of the system's.
    std::string registryFile() const { return dir / "machine.reg"; }
    void registry(const std::string& keys = "") const
    {
        writeFile(registryFile(), "Windows Registry Editor Version 5.00\r\n\r\n" + keys);
    }
    void kitData(const std::string& user, const std::string& password, const std::string& address,
                 const std::string& port) const
    {
        writeKitData(kitDir, user, password, address, port);
    }
    std::string logPath() const { return kitDir + "system.log"; }

private:
    void makeFolders() const
    {
        std::filesystem::create_directories(kitDir);
        std::filesystem::create_directories(serverBase + nativePath("/BIN"));
        std::filesystem::create_directories(supportDir);
    }
};

}  // namespace talvorin::testing
