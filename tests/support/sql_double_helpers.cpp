// What the SQL Server double is started with and what it journaled, the same on every system;
// starting and stopping it is each system's own (support/<system>/sql_double_process_helpers.cpp).
#include "support/sql_double.h"

#include <fstream>
#include <sstream>
#include <thread>

namespace talvorin::testing {

namespace {

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string formatNumber(double value)
{
    std::ostringstream out;
    out << value;
    return out.str();
}

}  // namespace

std::vector<std::string> doubleOptions(const SqlDoubleOptions& options)
{
    std::vector<std::string> args = {"--lifetime", formatNumber(options.lifetimeSeconds)};
    for (const auto& [user, password] : options.accounts) args.insert(args.end(), {"--account", user + ":" + password});
    for (const auto& name : options.databases) args.insert(args.end(), {"--database", name});
    for (const auto& name : options.jobs) args.insert(args.end(), {"--job", name});
    if (options.editionText) args.insert(args.end(), {"--edition", *options.editionText});
    for (const auto& fault : options.faults) args.insert(args.end(), {"--fault", fault});
    args.insert(args.end(), {"--encryption", options.encryptionMode});
    return args;
}

std::string loginChannel(const JsonValue& login)
{
    const std::string tls = login.at("tls").is_null()
                                ? "no TLS"
                                : login.at("tls").get<std::string>() +
                                      (login.at("session_tls").get<bool>() ? " for the session" : " for the login");
    return tls + ", app " + login.at("app").get<std::string>();
}

std::vector<JsonValue> SqlDouble::journal() const
{
    const std::string text = readFile(journalPath_);
    std::vector<JsonValue> entries;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        if (end > start) entries.push_back(nlohmann::json::parse(text.substr(start, end - start)));
    return entries;
}

std::vector<JsonValue> SqlDouble::events(const std::string& name) const
{
    std::vector<JsonValue> found;
    for (auto& entry : journal())
        if (entry.at("event").get<std::string>() == name) found.push_back(std::move(entry));
    return found;
}

std::vector<JsonValue> SqlDouble::waitForEvents(const std::string& name, std::size_t count,
                                                std::chrono::milliseconds timeout) const
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        auto found = events(name);
        if (found.size() >= count || std::chrono::steady_clock::now() >= deadline) return found;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

}  // namespace talvorin::testing
