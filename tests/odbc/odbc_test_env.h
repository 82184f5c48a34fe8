#pragma once
// Environment for the ODBC client's tests: variables set for one test, and a watch on the
// folder where private data sources are made.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace talvorin::odbc::testing {

using talvorin::testing::environmentVariable;
using talvorin::testing::ScopedEnv;

// TMPDIR pointed at a folder of the test's own, so that what is made there can be seen,
// and ODBCINI set to a marker that must be back after every connect.
class PrivateDataSourceWatch {
public:
    static constexpr const char* odbcIniMarker = "/nonexistent/talvorin-test-odbc.ini";

    std::string folder() const { return temp_.str(); }

    // The private data sources' folders there and what is in them (other things, such as
    // the SQL Server double's files, may be there too).
    std::vector<std::string> leftOver() const
    {
        std::vector<std::string> names;
        for (const auto& top : std::filesystem::directory_iterator(temp_.path())) {
            if (top.path().filename().string().rfind("talvorin-odbc-", 0) != 0) continue;
            names.push_back(top.path().string());
            if (top.is_directory())
                for (const auto& entry : std::filesystem::recursive_directory_iterator(top.path()))
                    names.push_back(entry.path().string());
        }
        return names;
    }

private:
    talvorin::testing::TempDir temp_;
    ScopedEnv tmpdir_{"TMPDIR", temp_.str()};
    ScopedEnv odbcIni_{"ODBCINI", odbcIniMarker};
};

}  // namespace talvorin::odbc::testing
