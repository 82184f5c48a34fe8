#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "platform/settings_files.h"
#include "setupdata/scramble.h"
#include "setupdata/setup_files.h"
#include "sqlinfo/local_lookups.h"
#include "sqlinfo/sql_info.h"
#include "sqlinfo_fakes.h"
#include "ui/memory_backend.h"

namespace talvorin::sqlinfo::testing {

// One dialog with a Windows directory in a temporary folder, fake registry, resolver and
// server, and the real settings files; on the memory backend, or on a system's real one.
template <typename Backend>
class DialogFixture : public ::testing::Test {
protected:
    DialogFixture()
    {
        system.windowsDir = tmp / "win";
        std::filesystem::create_directories(kitDir());
    }

    std::string kitDir() const { return tmp / "win/MigKit4"; }
    std::string kitFile() const { return tmp / "win/MigKit4/Orvo4.dat"; }

    TfrmSQLInfo& dialog()
    {
        if (!dlg) dlg = std::make_unique<TfrmSQLInfo>(backend, SQLInfoServices{system, settings, registry, host, sql});
        return *dlg;
    }

    // Shows the dialog (its show handler runs) and forgets what was recorded so far.
    TfrmSQLInfo& shown()
    {
        dialog().show();
        return *dlg;
    }
    void forgetRecords()
    {
        backend.boxes.clear();
        backend.labelTexts.clear();
        backend.progress.clear();
        backend.focusMoves.clear();
        backend.cursors.clear();
    }

    void writeKit(const std::string& section, const std::string& key, const std::string& value)
    {
        settings.writeString(kitFile(), section, key, value);
    }
    void writeKitScrambled(const std::string& key, const std::string& clear)
    {
        writeKit(setupdata::kSectionDB, key, setupdata::ScrambleText(clear));
    }
    // A dbsvr.ini in the folder with the address and port scrambled (each only when given).
    void writeServerFile(const std::string& folder, const std::string& address, const std::string& port)
    {
        std::filesystem::create_directories(folder);
        const std::string file = folder + nativePath("/dbsvr.ini");
        settings.writeString(file, "DataMigration", "Mig_Done", "NotDone");
        if (!address.empty()) settings.writeString(file, "DB", "IP address", setupdata::ScrambleText(address));
        if (!port.empty()) settings.writeString(file, "DB", "Port", setupdata::ScrambleText(port));
    }
    void setInstalledServer(const std::string& path) { registry.set(setupdata::kReleaseKey, kServerPathValue, path); }
    void setLocalSqlPort(const std::string& port) { registry.set(kSqlTcpKey, kSqlTcpPortValue, port); }

    // Types the text as a person would: each character into the field that has the focus
    // at that moment.
    void typeHere(const std::string& text)
    {
        for (char c : text) {
            auto* edit = dynamic_cast<ui::Edit*>(dialog().activeControl());
            ASSERT_NE(edit, nullptr) << "no edit field has the focus";
            edit->type(std::string(1, c));
        }
    }

    std::string focusedName() const
    {
        return dlg && dlg->activeControl() ? dlg->activeControl()->name() : std::string("(none)");
    }

    TempDir tmp;
    FakeSystemInfo system;
    FakeRegistry registry;
    FakeHostLookup host;
    FakeSqlServer sql;
    Backend backend;
    platform::SettingsFiles& settings = platform::systemSettingsFiles();
    std::unique_ptr<TfrmSQLInfo> dlg;
};

using DialogTest = DialogFixture<ui::MemoryBackend>;

}  // namespace talvorin::sqlinfo::testing
