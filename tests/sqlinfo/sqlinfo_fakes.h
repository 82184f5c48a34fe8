#pragma once

#include <stdlib.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/host_lookup.h"
#include "platform/registry.h"
#include "platform/system_info.h"
#include "setupdata/sql_server.h"

namespace talvorin::sqlinfo::testing {

inline std::string lower(std::string s)
{
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// A registry of text values; key paths and value names without regard to case, the
// leading backslash optional.
class FakeRegistry : public platform::Registry {
public:
    void set(const std::string& key, const std::string& name, const std::string& value)
    {
        keys_[norm(key)][lower(name)] = value;
    }
    void addKey(const std::string& key) { keys_[norm(key)]; }

    std::unique_ptr<platform::RegistryKey> openKey(const std::string& path) const override
    {
        const auto it = keys_.find(norm(path));
        if (it == keys_.end()) return nullptr;
        return std::make_unique<Key>(it->second);
    }

private:
    using Values = std::map<std::string, std::string>;
    class Key : public platform::RegistryKey {
    public:
        explicit Key(Values values) : values_(std::move(values)) {}
        std::optional<std::string> readString(const std::string& name) const override
        {
            const auto it = values_.find(lower(name));
            if (it == values_.end()) return std::nullopt;
            return it->second;
        }

    private:
        Values values_;
    };
    static std::string norm(std::string path)
    {
        if (!path.empty() && path.front() == '\\') path.erase(0, 1);
        return lower(path);
    }
    std::map<std::string, Values> keys_;
};

class FakeSystemInfo : public platform::SystemInfo {
public:
    std::string windowsDir;
    std::string windowsDirectory() const override { return windowsDir; }
    std::string computerName() const override { return "TESTPC"; }
};

class FakeHostLookup : public platform::HostLookup {
public:
    platform::HostAddress result{0, std::array<std::uint8_t, 4>{10, 20, 30, 40}};
    mutable int calls = 0;
    platform::HostAddress localIPv4Address() const override
    {
        ++calls;
        return result;
    }
};

// A SQL Server that records what it was asked and fails on demand.
class FakeSqlClient : public setupdata::SqlServerClient {
public:
    std::vector<setupdata::ConnectionSettings> connects;
    int queries = 0;
    int open = 0;  // connections not yet closed
    // The error text a connect to this catalog fails with.
    std::map<std::string, std::string> failConnectTo;
    std::optional<std::string> failQuery;

    std::unique_ptr<setupdata::SqlConnection> connect(const setupdata::ConnectionSettings& s) override
    {
        connects.push_back(s);
        if (auto it = failConnectTo.find(s.catalog); it != failConnectTo.end()) throw setupdata::SqlError(it->second);
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
        explicit Connection(FakeSqlClient& owner) : owner_(owner) { ++owner_.open; }
        ~Connection() override { --owner_.open; }
        void deleteAgentJob(const std::string&) override {}
        std::string queryEdition() override
        {
            ++owner_.queries;
            if (owner_.failQuery) throw setupdata::SqlError(*owner_.failQuery);
            return "Developer Edition (64-bit)";
        }

    private:
        FakeSqlClient& owner_;
    };
};

// A folder of its own for one test, removed with everything in it.
class TempDir {
public:
    TempDir()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "sqlinfo-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
    }
    ~TempDir()
    {
        std::error_code ec;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ec);
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

inline std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace talvorin::sqlinfo::testing
