#pragma once
// The SQL Server test double (tds_double.py) as a running process for one test: started on
// a free loopback port, stopped when the object goes away, its journal read back as JSON.

#include <nlohmann/json.hpp>

#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace talvorin::testing {

// One journal entry; members are read with at(), which throws for a missing one.
using JsonValue = nlohmann::json;

// What the double knows and how it misbehaves, set up in a chain:
//   SqlDoubleOptions().account("sa", "pw").job("ORVO_Schedule_Archive").fault("slow=2")
struct SqlDoubleOptions {
    SqlDoubleOptions& account(std::string user, std::string password)
    {
        accounts.emplace_back(std::move(user), std::move(password));
        return *this;
    }
    SqlDoubleOptions& database(std::string name)
    {
        databases.push_back(std::move(name));
        return *this;
    }
    SqlDoubleOptions& job(std::string name)
    {
        jobs.push_back(std::move(name));
        return *this;
    }
    SqlDoubleOptions& edition(std::string text)
    {
        editionText = std::move(text);
        return *this;
    }
    SqlDoubleOptions& encryption(std::string mode)
    {
        encryptionMode = std::move(mode);
        return *this;
    }
    SqlDoubleOptions& fault(std::string name)
    {
        faults.push_back(std::move(name));
        return *this;
    }
    SqlDoubleOptions& lifetime(double seconds)
    {
        lifetimeSeconds = seconds;
        return *this;
    }

    std::vector<std::pair<std::string, std::string>> accounts;  // login, password
    std::vector<std::string> databases;                         // besides master, msdb, tempdb and model
    std::vector<std::string> jobs;                              // agent jobs sp_delete_job finds
    std::optional<std::string> editionText;                     // SERVERPROPERTY('EDITION'); else the double's own
    std::vector<std::string> faults;                            // "refuse", "close-in-login", "slow=SECONDS"
    // What PRELOGIN answers, as SQL Server does: "off" (the login inside TLS), "required"
    // (Force Encryption: the whole session inside TLS) or "not-supported" (no TLS).
    std::string encryptionMode = "off";
    double lifetimeSeconds = 300;  // it stops by itself after this, whatever happens
};

// The double's command-line options for these settings (all but its port and files).
std::vector<std::string> doubleOptions(const SqlDoubleOptions& options);

// How a journaled login came: "TLSv1.2 for the login, app Talvorin", "TLSv1.2 for the
// session, app ..." or "no TLS, app ...".
std::string loginChannel(const JsonValue& login);

class SqlDouble {
public:
    // Starts the double and waits (at most 15 s) until it listens. Throws std::runtime_error
    // when it does not come up.
    explicit SqlDouble(const SqlDoubleOptions& options);
    ~SqlDouble();  // SIGTERM, then SIGKILL after 5 s; its files are removed
    SqlDouble(const SqlDouble&) = delete;
    SqlDouble& operator=(const SqlDouble&) = delete;

    int port() const { return port_; }
    static std::string address() { return "127.0.0.1"; }
    std::string dataSource() const { return address() + "," + std::to_string(port_); }
    const std::string& journalPath() const { return journalPath_; }

    // Every event journaled so far, oldest first (a line still being written is left out).
    std::vector<JsonValue> journal() const;
    // Those whose "event" is `name`.
    std::vector<JsonValue> events(const std::string& name) const;
    // Waits until at least `count` events named `name` are there, at most `timeout`; returns
    // them (possibly fewer, when the time ran out).
    std::vector<JsonValue> waitForEvents(const std::string& name, std::size_t count,
                                         std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;

private:
    class Files;
    class Process;
    std::unique_ptr<Files> files_;
    std::unique_ptr<Process> process_;
    std::string journalPath_;
    int port_ = 0;
};

}  // namespace talvorin::testing
