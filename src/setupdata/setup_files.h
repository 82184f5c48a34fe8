#pragma once

#include <string>
#include <vector>

#include "platform/settings_files.h"

namespace talvorin::setupdata {

// File names, sections and keys of the three settings files.
inline constexpr const char* kKitDataFile = "Orvo4.DAT";        // as the run spells it
inline constexpr const char* kKitDataFileDialog = "Orvo4.dat";  // as the dialog spells it
inline constexpr const char* kServerSettingsFile = "dbsvr.ini";
inline constexpr const char* kKitFolder = "MigKit4";

inline constexpr const char* kSectionDB = "DB";
inline constexpr const char* kKeyUser = "User";
inline constexpr const char* kKeyPassword = "Password";
inline constexpr const char* kKeyAddress = "IP address";
inline constexpr const char* kKeyPort = "Port";

// The entries of a setup-file section: each key's value in file order, as the line
// "key=value" after its first "=". A key that stands twice yields its first value twice.
std::vector<std::string> readSectionList(const platform::SettingsFiles& settings, const std::string& file,
                                         const std::string& section);

// A scrambled value of section DB, unscrambled; empty when missing.
std::string readScrambled(const platform::SettingsFiles& settings, const std::string& file, const std::string& key);
// Section DB's keys and their clear values, scrambled and written together (all or none).
void writeScrambled(platform::SettingsFiles& settings, const std::string& file, platform::SettingsValues values);

// The kit folder below a Windows directory that already ends in a separator.
std::string kitFolder(const std::string& windowsDir);

}  // namespace talvorin::setupdata
