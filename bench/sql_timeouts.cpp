// One time-out of the run's connections against a SQL Server double that stalls there:
// how long the connect or call took and how it ended, through the ODBC client alone
// ("driver") or as the program makes it, watched on a worker ("watched").
//
//   sql_timeouts driver|watched master|msdb|dialog|delete-job|edition PORT
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "odbc/odbc_sql_server.h"
#include "platform/wait.h"
#include "setupdata/connection_string.h"
#include "setupdata/sql_server_watch.h"

namespace {

using namespace talvorin;
using Clock = std::chrono::steady_clock;

struct PlainWaiter : setupdata::CallWaiter {
    void waitUntil(platform::WaitHandle handle, Clock::time_point until) override
    {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now()).count();
        platform::waitForAny({handle}, static_cast<int>(left > 0 ? left : 0));
    }
    bool quitRequested() const override { return false; }
};

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s driver|watched master|msdb|dialog|delete-job|edition PORT\n", argv[0]);
        return 2;
    }
    const std::string way = argv[1];
    const std::string what = argv[2];
    const std::string source = setupdata::dataSource("127.0.0.1", argv[3]);
    PlainWaiter waiter;
    auto odbc = odbc::makeOdbcSqlServerClient();
    const auto client = way == "watched" ? setupdata::watchSqlServerClient(std::move(odbc), waiter) : std::move(odbc);

    const auto settings = what == "master"                         ? setupdata::masterConnection(source, "sa", "x")
                          : what == "msdb" || what == "delete-job" ? setupdata::msdbConnection(source, "sa", "x")
                                                                   : setupdata::dialogConnection(source, "", "sa", "x");
    std::string outcome = "ended without error";
    Clock::time_point start = Clock::now();
    try {
        if (what == "master" || what == "msdb" || what == "dialog") {
            client->connect(settings);
        } else {
            auto connection = client->connect(settings);
            start = Clock::now();
            if (what == "delete-job")
                connection->deleteAgentJob("ORVO_Schedule_Archive");
            else
                connection->queryEdition();
        }
    } catch (const setupdata::SqlError& e) {
        outcome = e.what();
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("%.2f %s\n", seconds, outcome.c_str());
    std::fflush(stdout);
    // A watched call left to its worker ends with the process, as in the program.
    return 0;
}
