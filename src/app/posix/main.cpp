// Talvorin: brings Velmora Deluxe's SQL Server databases into the state a new release
// expects. Started by the installer with five parameters; its exit code is always 0.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

#include "app/backend_call_waiter.h"
#include "app/create_db_info.h"
#include "platform/posix/core_dumps.h"
#include "platform/program_path.h"
#include "odbc/odbc_sql_server.h"
#include "sqlinfo/sql_info.h"
#include "sqlinfo/posix/terminal_sql_info.h"
#include "ui/posix/terminal_backend.h"

int main(int argc, char** argv)
{
    using namespace talvorin;
    // First, before the password is read: a crash must leave no copy of it behind. Should
    // the system refuse, the run goes on as it always did.
    (void)platform::keepOutOfCoreDumps();
    try {
        ui::TerminalBackend backend;
        app::BackendCallWaiter sqlWaiter(backend);
        const auto sql = setupdata::watchSqlServerClient(odbc::makeOdbcSqlServerClient(), sqlWaiter);
        app::Services services{
            platform::systemInfo(),     platform::systemClock(),           platform::systemSettingsFiles(),
            platform::systemRegistry(), platform::systemProcessLauncher(), *sql};
        app::TfrmCreateDBInfo frmCreateDBInfo(backend, services, platform::programFilePath(argv[0]),
                                              std::vector<std::string>(argv + 1, argv + argc));
        sqlinfo::TfrmSQLInfo frmSQLInfo(backend, {platform::systemInfo(), platform::systemSettingsFiles(),
                                                  platform::systemRegistry(), platform::systemHostLookup(), *sql});
        sqlinfo::TerminalSqlInfo sqlInfoPresenter(frmSQLInfo);
        backend.setDialogPresenter(&sqlInfoPresenter);
        frmCreateDBInfo.setSqlInfoDialog(&frmSQLInfo);
        backend.run(frmCreateDBInfo);

        std::string logFile = frmCreateDBInfo.log().lastFile();
        std::error_code ec;
        if (const auto full = std::filesystem::absolute(logFile, ec); !logFile.empty() && !ec)
            logFile = full.lexically_normal().string();
        backend.showOutcome(frmCreateDBInfo.closingLine(), logFile);
    } catch (const std::exception& e) {
        // The installer goes on whatever happened here; the log and this line tell what did.
        std::fprintf(stderr, "[%s] %s\n", talvorin::ui::programTitle().c_str(), e.what());
    }
    return 0;
}
