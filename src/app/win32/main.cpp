// Talvorin.exe: brings Velmora Deluxe's SQL Server databases into the state a new release
// expects. Started by the installer with five parameters; its exit code is always 0.
#include <exception>
#include <string>
#include <vector>

#include "app/backend_call_waiter.h"
#include "app/create_db_info.h"
#include "platform/program_arguments.h"
#include "platform/program_path.h"
#include "platform/win32/windows_api.h"
#include "odbc/odbc_sql_server.h"
#include "sqlinfo/sql_info.h"
#include "ui/types.h"
#include "ui/win32/win32_backend.h"

#include <objbase.h>

namespace {

// The shell's folder chooser needs COM on the window thread.
class ComApartment {
public:
    ComApartment() : ok_(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ~ComApartment()
    {
        if (ok_) ::CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    bool ok_;
};

void reportToStandardError(const std::string& text)
{
    const HANDLE error = ::GetStdHandle(STD_ERROR_HANDLE);
    if (error == nullptr || error == INVALID_HANDLE_VALUE) return;
    const std::string line = "[" + talvorin::ui::programTitle() + "] " + text + "\r\n";
    DWORD written = 0;
    ::WriteFile(error, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    using namespace talvorin;
    try {
        const ComApartment com;
        std::vector<std::string> arguments = platform::splitProgramCommandLine(::GetCommandLineA());
        if (!arguments.empty()) arguments.erase(arguments.begin());  // the program's own name
        ui::Win32Backend backend;
        app::BackendCallWaiter sqlWaiter(backend);
        const auto sql = setupdata::watchSqlServerClient(odbc::makeOdbcSqlServerClient(), sqlWaiter);
        app::Services services{
            platform::systemInfo(),     platform::systemClock(),           platform::systemSettingsFiles(),
            platform::systemRegistry(), platform::systemProcessLauncher(), *sql};
        app::TfrmCreateDBInfo frmCreateDBInfo(backend, services, platform::programFilePath(nullptr),
                                              std::move(arguments));
        sqlinfo::TfrmSQLInfo frmSQLInfo(backend, {platform::systemInfo(), platform::systemSettingsFiles(),
                                                  platform::systemRegistry(), platform::systemHostLookup(), *sql});
        frmCreateDBInfo.setSqlInfoDialog(&frmSQLInfo);
        backend.run(frmCreateDBInfo);
    } catch (const std::exception& e) {
        // The installer goes on whatever happened here; the log and this line tell what did.
        reportToStandardError(e.what());
    }
    return 0;
}
