// SPDX-License-Identifier: GPL-3.0-or-later
// The application object: owns the device object and the main window, holds
// the view and the thirteen modeless dialogs, and runs start-up and shut-down.
// The Tools windows are not among its members: it creates them with what
// they use (the session, the UI services) and wires their signals.
#pragma once

#include <QObject>
#include <QSettings>
#include <QString>
#include <QStringList>

#include <memory>

#include "base/file_roles.h"
#include "app/qt_ui_services.h"

namespace vexo {
class CRom;
class IPort;
class Session;
struct PortSetup;
}  // namespace vexo

namespace vexo::gui {

class CMainFrame;
class CVexoWriterView;
class CBlankCheckDlg;
class CCountDlg;
class CDeviceTypeDlg;
class CDipSwitchDlg;
class CProgressDlg;
class CSpeedDlg;
class CPortDlg;
class CFileNameDlg;
class CInfoDlg;
class ModelessDialog;

class CVexoWriterApp final : public QObject {
    Q_OBJECT
public:
    CVexoWriterApp();
    ~CVexoWriterApp() override;
    CVexoWriterApp(const CVexoWriterApp&) = delete;
    CVexoWriterApp& operator=(const CVexoWriterApp&) = delete;

    struct StartOptions {
        bool portGiven = false;
        QString port;
        QString trace;
        QString vcd;
        bool faultGiven = false;
        QString fault;
        QString screenshotDir;
        QString file;  // `vexowriter FILE`: opened as Open BIN File does
    };
    // Reads the command line; needs no application object. -1: start with
    // `options`; otherwise the exit code, and `output` the text to print
    // (help or version on stdout for 0, the error on stderr otherwise).
    static int ParseCommandLine(const QStringList& arguments, StartOptions* options, QString* output);

    // Start-up. `arguments` as QCoreApplication::arguments() gives them.
    // False when the program cannot start (the reason went to stderr, or
    // help was asked for).
    bool InitInstance(const QStringList& arguments);
    // Shut-down: resets and deletes the device object. Returns `exitCode`.
    int ExitInstance(int exitCode = 0);

    // --- the members every handler reaches ---
    // The operator's session: every action of the handlers below is one call.
    Session& TheSession() { return *m_pSession; }
    CRom* m_pRom = nullptr;  // the session's device object, once started
    CVexoWriterView* m_pView = nullptr;  // set by the view itself
    CBlankCheckDlg* m_pBlankCheckDlg = nullptr;
    CCountDlg* m_pCountDlg = nullptr;
    CDeviceTypeDlg* m_pDeviceTypeDlg = nullptr;
    CDipSwitchDlg* m_pDip256Dlg = nullptr;
    CDipSwitchDlg* m_pDip512Dlg = nullptr;
    CDipSwitchDlg* m_pDip010Dlg = nullptr;
    CDipSwitchDlg* m_pDip020Dlg = nullptr;
    CDipSwitchDlg* m_pDip040Dlg = nullptr;
    CProgressDlg* m_pProgressDlg = nullptr;
    CSpeedDlg* m_pSpeedDlg = nullptr;
    CPortDlg* m_pPortDlg = nullptr;
    CFileNameDlg* m_pFileNameDlg = nullptr;
    CInfoDlg* m_pInfoDlg = nullptr;

    CMainFrame* MainFrame() const { return m_pMainFrame.get(); }
    QtUiServices& Ui() { return m_ui; }
    // The profile (the company key, and the application title under it):
    // the kept port and programming options.
    QSettings& Profile() { return m_profile; }
    IPort* Port() const;
    const QString& PortText() const { return m_strPortText; }
    const QString& PortDescription() const { return m_strPortDescription; }
    bool IsSimulated() const { return m_bSimulated; }
    // Exit code for main() when InitInstance returned false.
    int StartFailureCode() const { return m_nStartFailureCode; }
    // Where --screenshot-dir asked the pictures to go; empty normally.
    const QString& ScreenshotDir() const { return m_strScreenshotDir; }

    // The DIP-switch dialog of device `index` (0..4).
    CDipSwitchDlg* DipDialog(int index) const;
    // All thirteen dialogs in creation order.
    QList<ModelessDialog*> Dialogs() const;

    // While a command runs, closing the main window is refused.
    bool IsCommandRunning() const { return m_nCommandDepth > 0; }
    // A command begins and ends (they nest); after the outermost one the
    // port's health is looked at. A window that runs its own commands
    // signals both, and these take them.
    void BeginCommand() { ++m_nCommandDepth; }
    void EndCommand()
    {
        if (--m_nCommandDepth == 0) AfterCommand();
    }
    class CommandScope {
    public:
        explicit CommandScope(CVexoWriterApp& app) : m_app(app) { m_app.BeginCommand(); }
        ~CommandScope() { m_app.EndCommand(); }
        CommandScope(const CommandScope&) = delete;
        CommandScope& operator=(const CommandScope&) = delete;

    private:
        CVexoWriterApp& m_app;
    };

    // After the outermost command: says where a pass the operator stopped
    // ended, then looks at the port's health.
    void AfterCommand();
    // After a command: tells the operator, once, that the port stopped
    // working (the command's own boxes read as a missing module then).
    void CheckPortHealth();

    // 57664: the About box, modal.
    void OnAppAbout();
    // The main window has gone: hide the dialogs and end the event loop.
    void OnMainFrameClosed();
    bool HasQuit() const { return m_bQuit; }

    // The port description used when neither --port nor the settings name one.
    static QString DefaultPortText();
    // Where the settings and the simulated chip live: $XDG_CONFIG_HOME/
    // vexowriter/vexowriter.conf and $XDG_DATA_HOME/vexowriter/chip.bin.
    static QString ProfilePath();
    static QString DataFolder();
    // Moves the settings and the chip from where earlier versions kept them
    // (under the wizard's company key) to the places above, when they are
    // there and the new ones are not. The files moved, "old -> new".
    static QStringList MoveFromOldPlaces();

    // A stop request (SIGTERM, SIGHUP: the desktop session ending): the
    // running pass stops at its next byte, a box on screen is closed, and
    // the main window closes once no command runs; ExitInstance then
    // shuts the session down and gives 128 + the signal.
    void OnStopRequested();

private:
    void CreateDialogs();
    // The Tools menu's commands and windows, wired to the session, the view
    // and the dialogs.
    void CreateTools();
    // Listens on the stop request's notify pipe, when main installed the handlers.
    void WatchStopRequests();
    void OpenPort(const PortSetup& setup);

    QtUiServices m_ui;
    QStringList m_movedFiles;  // what the first start moved to the XDG places
    QSettings m_profile;
    std::unique_ptr<IUiAnswerer> m_pOwnAnswerer;
    std::unique_ptr<Session> m_pSession;
    std::unique_ptr<CMainFrame> m_pMainFrame;
    QString m_strPortText;
    QString m_strPortDescription;
    QString m_strScreenshotDir;
    bool m_bSimulated = false;
    bool m_bPortOpened = false;
    bool m_bPortFaultShown = false;
    bool m_bQuit = false;
    int m_nCommandDepth = 0;
    int m_nStartFailureCode = 1;
};

}  // namespace vexo::gui
