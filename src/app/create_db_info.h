#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/services.h"
#include "app/setup_log.h"
#include "dbwork/step_window.h"
#include "setupdata/sql_server.h"
#include "ui/controls.h"
#include "ui/form.h"
#include "ui/timer.h"

namespace talvorin::app {

inline constexpr int WS_SETUP = 302;
inline constexpr int UPG_SETUP = 306;

// The main window: shows what the setup run is doing and drives it. The whole run is the
// handler of a one-shot timer that fires one second after the window is shown. The
// database steps see it only as their StepWindow.
class TfrmCreateDBInfo : public ui::Form, private dbwork::StepWindow {
public:
    // Shows itself at the end of its creation, which writes the start banner.
    TfrmCreateDBInfo(ui::Backend& backend, Services services, std::string programPath, std::vector<std::string> params);
    ~TfrmCreateDBInfo() override;

    // The SQL Server Information dialog, created after this window.
    void setSqlInfoDialog(ui::Form* dialog) { frmSQLInfo_ = dialog; }

    ui::Image Image1;
    ui::Label Label1;
    ui::ProgressBar pgbProcess;
    ui::Timer Timer1;
    ui::Timer tmrStartProcess;
    std::unique_ptr<setupdata::SqlConnection> adoConn;
    std::unique_ptr<setupdata::SqlConnection> adocMSDB;

    // Run-wide state the database steps read.
    int InstallType = 0;
    std::string SvrBasePath;
    std::string BinPath;
    std::string ScriptsPath;
    std::string InstalledVersion;

    SetupLog& log() { return log_; }
    // The line the run ended with, as logged ("Process completed ...", or the line of an
    // early end); empty when it ended without one.
    const std::string& closingLine() const { return closingLine_; }

    void tmrStartProcessTimer();
    void Timer1Timer();

protected:
    void FormShow() override;
    void FormClose() override;

private:
    // The window's size, frame and controls (create_db_info_layout.cpp).
    void layOut();
    struct ServerSettings {
        std::string user, password, address, port;
    };
    void runSetup();
    bool obtainServerSettings(const std::string& kitDir, ServerSettings& out);
    bool connect(const ServerSettings& s);
    void initialiseMigrationStatus();
    bool doDatabaseWork(const ServerSettings& s, const std::string& supportDir, const std::string& setupFile,
                        const std::string& kitDir);
    void disconnect();
    // The closing line for the failure's text; a reason line, when given, follows it.
    void endAfterUnexpectedError(const std::string& text, const std::string& reasonLine = "");
    void logClosingLine(const std::string& line);
    void endRun() { close(); }

    // dbwork::StepWindow
    void setStatus(const std::string& text) override { Label1.setCaption(text); }
    void setProgress(int position) override { pgbProcess.setPosition(position); }
    void processMessages() override;
    void waitFor(platform::WaitHandle handle) override;
    bool quitRequested() const override;
    platform::WindowHandle owner() const override;

    Services services_;
    std::string programPath_;
    std::vector<std::string> params_;
    SetupLog log_;
    ui::Form* frmSQLInfo_ = nullptr;
    std::string closingLine_;
};

}  // namespace talvorin::app
