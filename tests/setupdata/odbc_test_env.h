#pragma once
// Environment for the ODBC client's tests: variables set for one test, and a watch on the
// folder where private data sources are made.

#include <stdlib.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "support/fakes.h"

namespace talvorin::setupdata::testing {

// Sets (or, given nullptr, clears) an environment variable and puts the old state back.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const char* value) : name_(name)
    {
        if (const char* old = std::getenv(name))
            old_ = old;
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~ScopedVariable()
    {
        if (old_)
            ::setenv(name_.c_str(), old_->c_str(), 1);
        else
            ::unsetenv(name_.c_str());
    }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    std::string name_;
    std::optional<std::string> old_;
};

inline std::optional<std::string> variable(const char* name)
{
    const char* value = std::getenv(name);
    return value ? std::optional<std::string>(value) : std::nullopt;
}

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
            if (top.path().filename().string().rfind("talvorin-odbc-", 0) != 0)
                continue;
            names.push_back(top.path().string());
            if (top.is_directory())
                for (const auto& entry : std::filesystem::recursive_directory_iterator(top.path()))
                    names.push_back(entry.path().string());
        }
        return names;
    }

private:
    talvorin::testing::TempDir temp_;
    ScopedVariable tmpdir_{"TMPDIR", temp_.str().c_str()};
    ScopedVariable odbcIni_{"ODBCINI", odbcIniMarker};
};

}  // namespace talvorin::setupdata::testing
