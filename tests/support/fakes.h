#pragma once
// Test doubles for the services the run talks to. Header-only so every test program can
// use them whatever libraries it links.

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "formats/ascii.h"
#include "platform/clock.h"
#include "platform/host_lookup.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "platform/system_info.h"
#include "setupdata/sql_server.h"
#include "support/temp_dir.h"

namespace talvorin::testing {

inline std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

inline void writeFile(const std::string& path, const std::string& bytes)
{
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

// Lines of a file whose lines end in CR LF; fails the caller's expectations visibly (a
// stray LF or CR stays in the line) when they do not.
inline std::vector<std::string> crlfLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t pos; (pos = text.find("\r\n", start)) != std::string::npos; start = pos + 2)
        lines.push_back(text.substr(start, pos - start));
    if (start < text.size()) lines.push_back(text.substr(start) + "<no CR LF at end>");
    return lines;
}

class FakeSystemInfo : public platform::SystemInfo {
public:
    std::string windowsDir;
    std::string name = "SRV01";
    std::string windowsDirectory() const override { return windowsDir; }
    std::string computerName() const override { return name; }
};

class FakeClock : public platform::Clock {
public:
    platform::LocalTime time{2026, 12, 7, 1, 55, 53};
    platform::LocalTime now() const override { return time; }
};

class FakeRegistry : public platform::Registry {
public:
    // key path -> value name -> text; a value of nullopt stands for one that is no text.
    // Key paths and value names match without regard to case, the leading backslash optional.
    std::map<std::string, std::map<std::string, std::optional<std::string>>> keys;

    // Replaces a value of the same name in any case, as the registry would.
    void set(const std::string& key, const std::string& name, const std::string& value)
    {
        auto& values = keys[key];
        std::erase_if(values, [&](const auto& v) { return formats::equalsNoCase(v.first, name); });
        values[name] = value;
    }
    void addKey(const std::string& key) { keys[key]; }

    std::unique_ptr<platform::RegistryKey> openKey(const std::string& path) const override
    {
        for (const auto& [key, values] : keys)
            if (formats::equalsNoCase(withoutRoot(key), withoutRoot(path))) return std::make_unique<Key>(values);
        return nullptr;
    }

private:
    static std::string_view withoutRoot(std::string_view path)
    {
        return !path.empty() && path.front() == '\\' ? path.substr(1) : path;
    }
    class Key : public platform::RegistryKey {
    public:
        explicit Key(std::map<std::string, std::optional<std::string>> values) : values_(std::move(values)) {}
        std::optional<std::string> readString(const std::string& name) const override
        {
            for (const auto& [valueName, value] : values_) {
                if (!formats::equalsNoCase(valueName, name)) continue;
                if (!value) throw platform::RegistryTypeError("Invalid data type for '" + name + "'");
                return value;
            }
            return std::nullopt;
        }

    private:
        std::map<std::string, std::optional<std::string>> values_;
    };
};

// This machine's address as the resolver would give it, or a failure.
class FakeHostLookup : public platform::HostLookup {
public:
    platform::HostAddress result{0, {{10, 20, 30, 40}}};
    mutable int calls = 0;
    platform::HostAddress localIPv4Address() const override
    {
        ++calls;
        return result;
    }
};

// Remembers what it was asked; fails where told to.
class FakeSqlServer : public setupdata::SqlServerClient {
public:
    std::vector<setupdata::ConnectionSettings> connects;
    std::vector<std::string> deletedJobs;  // every call, failed or not
    int editionQueries = 0;
    std::optional<std::string> editionError;                   // the edition query fails with this
    std::optional<std::string> connectError;                   // every connect fails with this
    std::map<std::string, std::string> connectErrorByCatalog;  // catalog -> error text
    std::map<std::string, std::string> jobErrors;              // job name -> error text
    std::string edition = "Developer Edition (64-bit)";
    int openConnections = 0;
    // Run at every connect and at every edition query, to see what the caller did before.
    std::function<void()> onConnect, onEditionQuery;

    std::unique_ptr<setupdata::SqlConnection> connect(const setupdata::ConnectionSettings& s) override
    {
        connects.push_back(s);
        if (onConnect) onConnect();
        if (connectError) throw setupdata::SqlError(*connectError);
        if (auto it = connectErrorByCatalog.find(s.catalog); it != connectErrorByCatalog.end())
            throw setupdata::SqlError(it->second);
        return std::make_unique<Connection>(*this);
    }

    std::vector<std::string> catalogs() const
    {
        std::vector<std::string> out;
        for (const auto& c : connects) out.push_back(c.catalog);
        return out;
    }

private:
    class Connection : public setupdata::SqlConnection {
    public:
        explicit Connection(FakeSqlServer& server) : server_(server) { ++server_.openConnections; }
        ~Connection() override { --server_.openConnections; }
        void deleteAgentJob(const std::string& name) override
        {
            server_.deletedJobs.push_back(name);
            if (auto it = server_.jobErrors.find(name); it != server_.jobErrors.end())
                throw setupdata::SqlError(it->second);
        }
        std::string queryEdition() override
        {
            ++server_.editionQueries;
            if (server_.onEditionQuery) server_.onEditionQuery();
            if (server_.editionError) throw setupdata::SqlError(*server_.editionError);
            return server_.edition;
        }

    private:
        FakeSqlServer& server_;
    };
};

// Starts nothing: records each start and ends at once with the code the test chose.
class FakeLauncher : public platform::ProcessLauncher {
public:
    std::vector<platform::LaunchRequest> starts;
    // The first rule whose key occurs in the parameters decides the exit code; else 0.
    std::vector<std::pair<std::string, int>> exitCodes;
    bool cannotStart = false;
    // A tool whose parameters hold this runs until nobody waits for it any more.
    std::string neverEnds;

    platform::LaunchResult start(const platform::LaunchRequest& request) override
    {
        starts.push_back(request);
        if (cannotStart) return {nullptr, "The system cannot find the file specified."};
        if (!neverEnds.empty() && request.parameters.find(neverEnds) != std::string::npos)
            return {std::make_unique<Running>(), {}};
        int code = 0;
        for (const auto& [key, value] : exitCodes)
            if (request.parameters.find(key) != std::string::npos) {
                code = value;
                break;
            }
        return {std::make_unique<Ended>(code), {}};
    }

private:
    class Running : public platform::ChildProcess {
    public:
        std::optional<int> exitCode() override { return std::nullopt; }
        platform::WaitHandle endSignal() const override { return platform::kNoWaitHandle; }
    };
    class Ended : public platform::ChildProcess {
    public:
        explicit Ended(int code) : code_(code) {}
        std::optional<int> exitCode() override { return code_; }
        platform::WaitHandle endSignal() const override { return platform::kNoWaitHandle; }

    private:
        int code_;
    };
};

}  // namespace talvorin::testing
