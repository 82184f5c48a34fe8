// The SQL Server double for Windows test programs. A Windows program under Wine cannot start
// and wait for a Linux one, so the test script runs tds_double_broker.py and names it in
// TALVORIN_DOUBLE_BROKER ("host:port"); each double lives as long as its connection to the
// broker.
#include "support/sql_double.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstdlib>
#include <stdexcept>
#include <string>

namespace talvorin::testing {

namespace {

class Winsock {
public:
    Winsock()
    {
        WSADATA data{};
        if (::WSAStartup(MAKEWORD(2, 2), &data) != 0) throw std::runtime_error("WSAStartup failed");
    }
    ~Winsock() { ::WSACleanup(); }
};

}  // namespace

class SqlDouble::Files {};

class SqlDouble::Process {
public:
    // Asks the broker for a double with these options; its port and journal come back.
    Process(const std::vector<std::string>& options, int& port, std::string& journal)
    {
        static Winsock winsock;
        const char* broker = std::getenv("TALVORIN_DOUBLE_BROKER");
        if (!broker || !*broker)
            throw std::runtime_error(
                "TALVORIN_DOUBLE_BROKER is not set: run the Windows tests through scripts/test.sh");
        const std::string where = broker;
        const std::size_t colon = where.rfind(':');
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = ::htons(static_cast<u_short>(std::stoi(where.substr(colon + 1))));
        ::inet_pton(AF_INET, colon == std::string::npos ? "127.0.0.1" : where.substr(0, colon).c_str(),
                    &address.sin_addr);
        socket_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        if (socket_ == INVALID_SOCKET ||
            ::connect(socket_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
            throw std::runtime_error("cannot reach the SQL Server double broker at " + where);

        const std::string request = JsonValue(options).dump() + "\n";
        if (::send(socket_, request.data(), static_cast<int>(request.size()), 0) != static_cast<int>(request.size()))
            throw std::runtime_error("the SQL Server double broker took no request");
        std::string reply;
        char c = 0;
        while (::recv(socket_, &c, 1, 0) == 1 && c != '\n') reply += c;
        const JsonValue answer = nlohmann::json::parse(reply);
        if (answer.contains("error"))
            throw std::runtime_error("the SQL Server double broker: " + answer.at("error").get<std::string>());
        port = static_cast<int>(answer.at("port").get<double>());
        journal = answer.at("journal").get<std::string>();
    }
    ~Process()
    {
        if (socket_ != INVALID_SOCKET) ::closesocket(socket_);
    }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

private:
    SOCKET socket_ = INVALID_SOCKET;
};

SqlDouble::SqlDouble(const SqlDoubleOptions& options)
{
    process_ = std::make_unique<Process>(doubleOptions(options), port_, journalPath_);
}

SqlDouble::~SqlDouble() = default;

}  // namespace talvorin::testing
