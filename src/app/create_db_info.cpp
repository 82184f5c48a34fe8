#include "app/create_db_info.h"

#include <exception>

#include "dbwork/database_steps.h"
#include "platform/file_system.h"
#include "platform/foreign_text.h"
#include "platform/paths.h"
#include "setupdata/connection_string.h"
#include "setupdata/installed_version.h"
#include "setupdata/setup_files.h"
#include "formats/str_to_int.h"
#include "ui/backend.h"

namespace talvorin::app {
namespace {

constexpr const char* kParamLabels[5] = {
    "Param 1, SetupMod    = ", "Param 2, SvrBasePath = ", "Param 3, InstallType = ",
    "Param 4, SupportDir  = ", "Param 5, SetupFile   = ",
};

constexpr const char* kWrongParameters =
    "Wrong Parameters.\n\rCorrect format: Talvorin.exe <Setup Mode> <Server Base Path> <Install Type> "
    "<Support Dir> <Setup File>";

constexpr const char* kSettingsNotCompleted =
    "Mircosoft SQL Server information setting is not completed. This will lead to Velmora Deluxe "
    "installation error. Do you want to enter the information again?";

constexpr const char* kCompleted = "Process completed successfully, application will be closed";
constexpr const char* kCompletedWithErrors = "Process completed with errors, application will be closed";
constexpr const char* kInterrupted = "Process interrupted by a quit request, application will be closed";

}  // namespace

TfrmCreateDBInfo::TfrmCreateDBInfo(ui::Backend& backend, Services services, std::string programPath,
                                   std::vector<std::string> params)
    : ui::Form(backend, "frmCreateDBInfo", "Velmora Deluxe Setup"),
      Image1(*this, "Image1", ui::kProgramIcon),
      Label1(*this, "Label1", "Creating Databases ......"),
      pgbProcess(*this, "pgbProcess", 0, 100),
      Timer1(backend, "Timer1", 100),
      tmrStartProcess(backend, "tmrStartProcess", 1000),
      services_(services),
      programPath_(std::move(programPath)),
      params_(std::move(params)),
      log_(services.system, services.clock, [&backend] { backend.processMessages(); })
{
    Timer1.onTimer = [this] { Timer1Timer(); };
    tmrStartProcess.onTimer = [this] { tmrStartProcessTimer(); };
    layOut();
    centreOnScreen();
    show();
}

TfrmCreateDBInfo::~TfrmCreateDBInfo() = default;

void TfrmCreateDBInfo::FormShow()
{
    try {
        log_.WriteLogBanner(true);
    } catch (const std::exception& e) {
        // Without its log the run must not start: nobody could tell what it did.
        backend().messageBox(ui::Box::applicationError(e.what()));
        close();
        return;
    }
    tmrStartProcess.setEnabled(true);
}

void TfrmCreateDBInfo::FormClose()
{
    try {
        log_.WriteLogBanner(false);
    } catch (const std::exception&) {
        // The failure was reported when it first happened; closing must not fail.
    }
}

void TfrmCreateDBInfo::Timer1Timer()
{
    pgbProcess.setPosition(pgbProcess.position() + 1);
    if (pgbProcess.position() == pgbProcess.max()) pgbProcess.setPosition(0);
}

void TfrmCreateDBInfo::tmrStartProcessTimer()
{
    tmrStartProcess.setEnabled(false);
    try {
        runSetup();
    } catch (const platform::SettingsWriteError& e) {
        // The fixed line stays as it always was; whoever reads the log also needs the why.
        endAfterUnexpectedError(e.what(), "Cannot write " + e.file() + ": " + e.reason());
    } catch (const std::exception& e) {
        endAfterUnexpectedError(e.what());
    }
}

void TfrmCreateDBInfo::endAfterUnexpectedError(const std::string& text, const std::string& reasonLine)
{
    Timer1.setEnabled(false);
    try {
        logClosingLine("Unexpected error: " + text + ". Application will be closed");
        if (!reasonLine.empty()) log_.WriteLog(reasonLine);
    } catch (const std::exception&) {
        // The box below still tells the user.
    }
    backend().messageBox(ui::Box::applicationError(reasonLine.empty() ? text : text + "\r\n" + reasonLine));
    disconnect();
    endRun();
}

void TfrmCreateDBInfo::logClosingLine(const std::string& line)
{
    log_.WriteLog(line);
    closingLine_ = line;
}

void TfrmCreateDBInfo::runSetup()
{
    pgbProcess.setPosition(0);
    Timer1.setEnabled(true);
    Label1.setCaption("Creating Databases ......");

    log_.WriteLog("Starting " + programPath_);
    for (std::size_t i = 0; i < 5; ++i) log_.WriteLog(kParamLabels[i] + (i < params_.size() ? params_[i] : ""));
    if (params_.size() != 5) {
        Timer1.setEnabled(false);
        backend().messageBox(ui::Box::information(kWrongParameters));
        return endRun();
    }

    const int setupMode = formats::StrToInt(params_[0]);
    if (setupMode == WS_SETUP) {
        logClosingLine("SetupMode = WS_SETUP. skip database and tables creation");
        return endRun();
    }
    SvrBasePath = platform::withTrailingSeparator(params_[1]);
    InstallType = formats::StrToInt(params_[2]) == dbwork::kFirstInstallation ? dbwork::kFirstInstallation
                                                                              : dbwork::kUpgrade;
    const std::string supportDir = platform::withTrailingSeparator(params_[3]);
    const std::string setupFile = params_[4];
    BinPath = SvrBasePath + "BIN" + platform::kDirSeparator;
    ScriptsPath = SvrBasePath + "Scripts" + platform::kDirSeparator;

    adoConn.reset();
    backend().processMessages();
    const std::string kitDir = setupdata::kitFolder(log_.GetWinDir());
    backend().processMessages();
    // A save killed before its copy took the file's place left that copy, password and all.
    services_.settings.removeAbandonedCopies(kitDir + setupdata::kKitDataFile);

    ServerSettings server;
    if (!obtainServerSettings(kitDir, server)) {
        // A quit answers the dialog and the warning as Cancel and No; the log says why.
        if (backend().quitRequested()) logClosingLine(kInterrupted);
        return endRun();
    }
    if (!connect(server)) return endRun();

    bool ok = false;
    bool interrupted = false;
    try {
        // A quit that came while the connections were made lets nothing more start.
        if (backend().quitRequested()) throw dbwork::RunInterrupted();
        if (setupMode == UPG_SETUP) initialiseMigrationStatus();
        ok = doDatabaseWork(server, supportDir, setupFile, kitDir);
    } catch (const dbwork::RunInterrupted&) {
        // The step logged what it left running; the summary lines are for real failures.
        interrupted = true;
    }

    Timer1.setEnabled(false);
    disconnect();
    logClosingLine(interrupted ? kInterrupted : ok ? kCompleted : kCompletedWithErrors);
    endRun();
}

bool TfrmCreateDBInfo::obtainServerSettings(const std::string& kitDir, ServerSettings& out)
{
    const std::string dataFile = kitDir + setupdata::kKitDataFile;
    auto& settings = services_.settings;
    const bool needDialog = !platform::fileExists(dataFile) ||
                            settings.readString(dataFile, setupdata::kSectionDB, setupdata::kKeyAddress, "").empty();
    if (needDialog) {
        log_.WriteLog("Get SQL Server Info");
        while ((frmSQLInfo_ ? frmSQLInfo_->showModal() : ui::ModalResult::Cancel) != ui::ModalResult::Ok) {
            backend().processMessages();
            Timer1.setEnabled(false);
            const auto answer = backend().messageBox(ui::Box::warning(kSettingsNotCompleted, ui::Buttons::YesNo));
            if (answer != ui::Answer::Yes) return false;
            Timer1.setEnabled(true);
        }
    }
    out.user = setupdata::readScrambled(settings, dataFile, setupdata::kKeyUser);
    out.password = setupdata::readScrambled(settings, dataFile, setupdata::kKeyPassword);
    out.address = setupdata::readScrambled(settings, dataFile, setupdata::kKeyAddress);
    out.port = setupdata::readScrambled(settings, dataFile, setupdata::kKeyPort);
    backend().processMessages();
    return true;
}

bool TfrmCreateDBInfo::connect(const ServerSettings& s)
{
    const std::string source = setupdata::dataSource(s.address, s.port);
    try {
        adoConn = services_.sql.connect(setupdata::masterConnection(source, s.user, s.password));
        adocMSDB = services_.sql.connect(setupdata::msdbConnection(source, s.user, s.password));
    } catch (const setupdata::SqlError& e) {
        disconnect();
        logClosingLine("SQL Server connection error. Application will be closed");
        // The box's text is gone once it is closed; support needs the reason.
        log_.WriteLog(platform::foreignLine(e.what()));
        Timer1.setEnabled(false);
        backend().messageBox(ui::Box::error(e.what()));
        return false;
    }
    backend().processMessages();
    pgbProcess.setPosition(pgbProcess.max());
    return true;
}

void TfrmCreateDBInfo::initialiseMigrationStatus()
{
    log_.WriteLog("SetupMode = UPG_SETUP, reading Migration status");
    const std::string file = BinPath + setupdata::kServerSettingsFile;
    services_.settings.removeAbandonedCopies(file);
    if (services_.settings.readString(file, "DataMigration", "Mig_Done", "").empty())
        services_.settings.writeString(file, "DataMigration", "Mig_Done", "NotDone");
}

bool TfrmCreateDBInfo::doDatabaseWork(const ServerSettings& s, const std::string& supportDir,
                                      const std::string& setupFile, const std::string& kitDir)
{
    dbwork::StepContext ctx{*this,          log_,   services_.settings, services_.registry, services_.processes,
                            adocMSDB.get(), kitDir, ScriptsPath,        InstallType};
    const dbwork::StepInputs in{s.address, s.port, s.user, s.password, supportDir, setupFile};
    dbwork::LogUnusableKitInputs(ctx, in);

    // Databases and tables first; the code tables only when they were created.
    const auto createThenLoad = [&](const char* creationFailed, const char* loadingFailed) {
        if (!dbwork::CreateDatabases(ctx, in)) {
            log_.WriteLog(creationFailed);
            return false;
        }
        if (!dbwork::LoadCodeTables(ctx, in)) {
            log_.WriteLog(loadingFailed);
            return false;
        }
        return true;
    };

    if (InstallType == dbwork::kFirstInstallation)
        return createThenLoad("First install (1). Error creating databases and tables",
                              "Error occurs during loading code tables. Please refer to the above log for details");

    std::string serverPath;
    setupdata::GetInstalledVersion(services_.registry, serverPath, InstalledVersion);
    if (setupdata::ordinalLess(InstalledVersion, "3.0")) {
        log_.WriteLog("Upgrade from 1.6.");
        return createThenLoad("Upgrade from 1.6. Database creation error",
                              "Upgrade from 1.6. Error loading code tables");
    }

    log_.WriteLog("Upgrade repair from " + InstalledVersion);
    if (!dbwork::ModifyTableStructures(ctx, in)) {
        log_.WriteLog("Fail to modify table structures.");
        return false;
    }
    log_.WriteLog("Table structures modified successfully.");
    if (!dbwork::LoadCodeTables(ctx, in)) {
        log_.WriteLog("Error occurs during upgrade/repair code tables. Please refer to the above log for details");
        return false;
    }
    return true;
}

void TfrmCreateDBInfo::processMessages() { backend().processMessages(); }
void TfrmCreateDBInfo::waitFor(platform::WaitHandle handle) { backend().waitFor(handle); }
bool TfrmCreateDBInfo::quitRequested() const { return backend().quitRequested(); }
platform::WindowHandle TfrmCreateDBInfo::owner() const { return backend().mainWindow(); }

void TfrmCreateDBInfo::disconnect()
{
    adocMSDB.reset();
    adoConn.reset();
}

}  // namespace talvorin::app
