// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/file_roles.h"
#include "app/vexowriter_app.h"

#include <QMenu>
#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QSocketNotifier>
#include <QStatusBar>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include <unistd.h>

#include <cstdio>

#include "app/about_dlg.h"
#include "app/command_ids.h"
#include "app/main_frame.h"
#include "app/screenshots.h"
#include "app/tools_menu.h"
#include "dialogs/info_dlg.h"
#include "dialogs/settings_dialogs.h"
#include "port/port_open.h"
#include "rom/catalogue.h"
#include "rom/diagnosis.h"
#include "base/stop_request.h"
#include "base/version.h"
#include "rom/rom.h"
#include "session/completion.h"
#include "session/session.h"
#include "view/vexowriter_view.h"
#include "dialogs/core_text.h"

namespace vexo::gui {
namespace {

const QString kPortKey = QStringLiteral("Settings/Port");
const QString kVersion = QString::fromLatin1(vexo::kVersion);
// How long the status bar says what the first start moved.
constexpr int kMovedMessageMs = 20000;


}  // namespace

CVexoWriterApp::CVexoWriterApp()
    : m_movedFiles(MoveFromOldPlaces()),
      m_profile(ProfilePath(), QSettings::NativeFormat),
      m_pSession(std::make_unique<Session>(m_ui))
{
}

CVexoWriterApp::~CVexoWriterApp()
{
    // The window and the panel's dialog go before the session they show.
    m_pRom = nullptr;
    m_ui.SetPassSource(nullptr);
    m_ui.SetMessagePane(nullptr);
    m_ui.SetHexCountPane(nullptr);
    m_ui.SetMainWindow(nullptr);
    m_pMainFrame.reset();
    m_pSession.reset();
}

IPort* CVexoWriterApp::Port() const { return m_pSession->PortInUse(); }

QString CVexoWriterApp::DefaultPortText()
{
    const QString folder = DataFolder();
    QDir().mkpath(folder);
    return QStringLiteral("sim:chip=%1/chip.bin,size=27C040").arg(folder);
}

QString CVexoWriterApp::ProfilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/vexowriter/vexowriter.conf");
}

QString CVexoWriterApp::DataFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/vexowriter");
}

QStringList CVexoWriterApp::MoveFromOldPlaces()
{
    // Earlier versions: the settings under the company key and the
    // application title, the chip in the data folder named after both.
    const QString company = FromCore(kCompanyKey);
    const QString title = FromCore(kAppTitle);
    const QString oldConfigFolder =
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QLatin1Char('/') + company;
    const QString oldDataFolder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                                  QLatin1Char('/') + company + QLatin1Char('/') + title;
    const QString moves[][2] = {
        {oldConfigFolder + QLatin1Char('/') + title + QStringLiteral(".conf"), ProfilePath()},
        {oldDataFolder + QStringLiteral("/chip.bin"), DataFolder() + QStringLiteral("/chip.bin")},
    };
    QStringList moved;
    for (const auto& [from, to] : moves) {
        if (!QFileInfo::exists(from) || QFileInfo::exists(to)) continue;
        QDir().mkpath(QFileInfo(to).path());
        // Another file system: copy, then remove the old one.
        if (QFile::rename(from, to) || (QFile::copy(from, to) && QFile::remove(from)))
            moved << QStringLiteral("%1 -> %2").arg(from, to);
    }
    // The old folders go when nothing else is left in them.
    for (const QString& folder : {oldDataFolder, QFileInfo(oldDataFolder).path(), oldConfigFolder})
        QDir().rmdir(folder);
    return moved;
}

int CVexoWriterApp::ParseCommandLine(const QStringList& arguments, StartOptions* options,
                                     QString* output)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Vexo Writer: loads, programs, verifies and reads UV-EPROMs (27C256 to "
                       "27C040) through the programming module on the parallel port."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption portOption(
        QStringLiteral("port"),
        QStringLiteral("The module's port, one of the Ports below. Kept for the next start; "
                       "without it and without a kept one, a simulated module with a chip file in "
                       "the user's data folder."),
        QStringLiteral("SPEC"));
    const QCommandLineOption traceOption(
        QStringLiteral("trace"), QStringLiteral("Write every port access to FILE, one line each."),
        QStringLiteral("FILE"));
    QCommandLineOption screenshotOption(
        QStringLiteral("screenshot-dir"),
        QStringLiteral("Save pictures of every window into DIR and quit."), QStringLiteral("DIR"));
    screenshotOption.setFlags(QCommandLineOption::HiddenFromHelp);
    const QCommandLineOption vcdOption(
        QStringLiteral("vcd"),
        QStringLiteral("Write the port traffic to FILE as a value change dump (GTKWave, PulseView)."),
        QStringLiteral("FILE"));
    const QCommandLineOption faultOption(
        QStringLiteral("fault"),
        QStringLiteral("Inject seeded faults into the port: seed=N, flip=P, mask=0xNN, stuck=BIT:VALUE, "
                       "unplug=N, joined by commas."),
        QStringLiteral("FAULTS"));
    parser.addOptions({portOption, traceOption, vcdOption, faultOption, screenshotOption});
    parser.addPositionalArgument(QStringLiteral("FILE"),
                                 QStringLiteral("An image to open as Open BIN File does."), QStringLiteral("[FILE]"));

    // The shell's completion asks what to offer (hidden: not in --help).
    if (arguments.size() >= 2 && arguments[1] == QStringLiteral("--complete")) {
        std::vector<CompletionOption> completion{{"--help", WordKind::None}, {"--version", WordKind::None}};
        for (const QCommandLineOption* option : {&portOption, &traceOption, &vcdOption, &faultOption})
            for (const QString& name : option->names())
                completion.push_back({"--" + ToCore(name), option == &portOption ? WordKind::Port
                                                         : option == &faultOption ? WordKind::Text
                                                                                  : WordKind::File});
        std::vector<std::string> words;
        for (qsizetype i = 2; i < arguments.size(); ++i) words.push_back(ToCore(arguments[i]));
        *output = FromCore(
            CompletionLines(CompleteOptionsAndFiles(completion, words), words.empty() ? "" : words.back()));
        return 0;
    }

    if (!parser.parse(arguments)) {
        *output = QStringLiteral("vexowriter: %1 (see --help)\n").arg(parser.errorText());
        return 2;
    }
    if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all"))) {
        *output = parser.helpText().replace(QStringLiteral("<executable_name>"), QStringLiteral("vexowriter")) +
                  QLatin1Char('\n') + FromCore(PortHelpText());
        return 0;
    }
    if (parser.isSet(version)) {
        *output = QStringLiteral("vexowriter %1\n%2\n").arg(kVersion, QString::fromLatin1(vexo::kLicenceNotice));
        return 0;
    }
    if (parser.positionalArguments().size() > 1) {
        *output = QStringLiteral("vexowriter: unexpected argument '%1' (see --help)\n")
                      .arg(parser.positionalArguments()[1]);
        return 2;
    }
    if (!parser.positionalArguments().isEmpty()) options->file = parser.positionalArguments().first();
    options->portGiven = parser.isSet(portOption);
    options->port = parser.value(portOption);
    options->trace = parser.value(traceOption);
    options->vcd = parser.value(vcdOption);
    options->faultGiven = parser.isSet(faultOption);
    options->fault = parser.value(faultOption);
    options->screenshotDir = parser.value(screenshotOption);
    return -1;
}

bool CVexoWriterApp::InitInstance(const QStringList& arguments)
{
    // The profile: the company key, and the application title under it.
    QCoreApplication::setOrganizationName(FromCore(kCompanyKey));
    QCoreApplication::setApplicationName(FromCore(kAppTitle));
    QCoreApplication::setApplicationVersion(kVersion);

    StartOptions options;
    QString output;
    m_nStartFailureCode = ParseCommandLine(arguments, &options, &output);
    if (m_nStartFailureCode >= 0) {
        std::fputs(output.toLocal8Bit().constData(), m_nStartFailureCode == 0 ? stdout : stderr);
        return false;
    }

    QString portText = options.port;
    const bool portGiven = options.portGiven;
    if (!portGiven) {
        portText = m_profile.value(kPortKey).toString();
        if (portText.isEmpty() || !ParsePortDescription(ToCore(portText)).ok())
            portText = DefaultPortText();
    }
    // The port's and the faults' descriptions; the chip file, the trace and
    // the capture must be three files.
    PortWords words{ToCore(portText), std::nullopt, ToCore(options.trace), ToCore(options.vcd)};
    if (options.faultGiven) words.fault = ToCore(options.fault);
    // A new simulated chip is big enough for every device type.
    const Result<PortSetup> setup = Session::MakePortSetup(words, kDevices[kDeviceCount - 1].Size());
    if (!setup) {
        std::fprintf(stderr, "vexowriter: %s\n", setup.message().c_str());
        m_nStartFailureCode = 2;
        return false;
    }
    m_strScreenshotDir = options.screenshotDir;
    if (!m_strScreenshotDir.isEmpty()) {
        // Nobody is there to answer: every box is answered at once.
        m_pOwnAnswerer = std::make_unique<QuietAnswerer>();
        m_ui.SetAnswerer(m_pOwnAnswerer.get());
    }

    // The main window with its view, bars and status bar, shown and painted.
    m_pMainFrame = std::make_unique<CMainFrame>(*this);
    CreateTools();
    m_ui.SetMainWindow(m_pMainFrame.get());
    m_ui.SetHexCountPane(m_pMainFrame->m_pHexCountPane);
    m_ui.SetMessagePane(m_pMainFrame->m_pMessagePane);
    m_pMainFrame->show();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);

    // The port, then the device object: its module check may speak now, over
    // the visible main window.
    OpenPort(*setup);
    m_strPortText = portText;
    m_pMainFrame->SetSimulated(m_bSimulated);
    m_pSession->Start();
    m_pRom = &m_pSession->Rom();
    m_ui.SetPassSource(m_pRom);

    CreateDialogs();
    m_pInfoDlg->show();
    // A port given on the command line is for this run only: the port used
    // last stays what it was.
    if (!m_movedFiles.isEmpty())
        m_pMainFrame->statusBar()->showMessage(
            QStringLiteral("Moved to the desktop's places: %1").arg(m_movedFiles.join(QStringLiteral("; "))),
            kMovedMessageMs);
    // `vexowriter FILE`: as Open BIN File with FILE chosen.
    if (!options.file.isEmpty()) m_pMainFrame->OpenBin(options.file);
    m_nStartFailureCode = 0;
    WatchStopRequests();
    return true;
}

void CVexoWriterApp::WatchStopRequests()
{
    const int fd = StopNotifyDescriptor();
    if (fd < 0) return;
    auto* notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this, fd] {
        char drained[64];
        while (::read(fd, drained, sizeof drained) > 0) {
        }
        OnStopRequested();
    });
}

void CVexoWriterApp::OnStopRequested()
{
    if (!StopRequested() || m_bQuit) return;
    if (IsCommandRunning()) {
        // The pass ends by itself; a box waiting for the operator is closed.
        if (QWidget* box = QApplication::activeModalWidget()) box->close();
        QTimer::singleShot(20, this, [this] { OnStopRequested(); });
        return;
    }
    if (m_pMainFrame) m_pMainFrame->close();
    else OnMainFrameClosed();
}

void CVexoWriterApp::OpenPort(const PortSetup& setup)
{
    const PortOpenReport& port = m_pSession->OpenPort(setup);
    m_bSimulated = port.simulated;
    m_strPortDescription = FromCore(port.description);
    m_bPortOpened = port.opened;
    // The program carries on with the disconnected port, and without a
    // wrapper whose file could not be made.
    if (!port.openStatus) m_ui.AppMessageBox(port.openStatus.message());
    for (const Status& leftOut : port.wrapFailures) m_ui.AppMessageBox(leftOut.message());
}

void CVexoWriterApp::AfterCommand()
{
    if (const std::optional<std::string> stopped = m_pSession->EndStoppedPass()) m_ui.AppMessageBox(*stopped);
    CheckPortHealth();
}

void CVexoWriterApp::CheckPortHealth()
{
    if (m_bPortFaultShown) return;
    const Status health = m_pSession->PortHealth();
    if (health) return;
    m_bPortFaultShown = true;
    m_ui.AppMessageBox(health.message());
}

void CVexoWriterApp::CreateDialogs()
{
    QWidget* owner = m_pMainFrame.get();
    m_pBlankCheckDlg = new CBlankCheckDlg(*this, owner);
    m_pCountDlg = new CCountDlg(*this, owner);
    m_pDeviceTypeDlg = new CDeviceTypeDlg(*this, owner);
    m_pDip256Dlg = new CDipSwitchDlg(*this, owner, 0);
    m_pDip512Dlg = new CDipSwitchDlg(*this, owner, 1);
    m_pDip010Dlg = new CDipSwitchDlg(*this, owner, 2);
    m_pDip020Dlg = new CDipSwitchDlg(*this, owner, 3);
    m_pDip040Dlg = new CDipSwitchDlg(*this, owner, 4);
    m_pProgressDlg = new CProgressDlg(*this, owner);
    m_pSpeedDlg = new CSpeedDlg(*this, owner);
    m_pPortDlg = new CPortDlg(*this, owner);
    m_pFileNameDlg = new CFileNameDlg(*this, owner);
    m_pInfoDlg = new CInfoDlg(*this, owner);
}

void CVexoWriterApp::CreateTools()
{
    // What came after the seed's commands, each capability in its own file.
    CMainFrame& frame = *m_pMainFrame;
    AddDiagnosisTools(frame, *this);
    frame.m_pToolsMenu->addSeparator();
    AddRealPortTools(frame, *this);
    frame.m_pToolsMenu->addSeparator();
    AddBufferTools(frame, *this);
    frame.m_pToolsMenu->addSeparator();
    AddProductionTools(frame, *this);
    AddDumpTools(frame, *this);
    AddPassProgress(frame, *this);
}

CDipSwitchDlg* CVexoWriterApp::DipDialog(int index) const
{
    CDipSwitchDlg* const dialogs[kDeviceCount] = {m_pDip256Dlg, m_pDip512Dlg, m_pDip010Dlg,
                                                  m_pDip020Dlg, m_pDip040Dlg};
    return index >= 0 && index < kDeviceCount ? dialogs[index] : nullptr;
}

QList<ModelessDialog*> CVexoWriterApp::Dialogs() const
{
    return {m_pBlankCheckDlg, m_pCountDlg,    m_pDeviceTypeDlg, m_pDip256Dlg, m_pDip512Dlg,
            m_pDip010Dlg,     m_pDip020Dlg,   m_pDip040Dlg,     m_pProgressDlg, m_pSpeedDlg,
            m_pPortDlg,       m_pFileNameDlg, m_pInfoDlg};
}

void CVexoWriterApp::OnAppAbout()
{
    CAboutDlg about(m_pMainFrame.get());
    about.exec();
}

void CVexoWriterApp::OnMainFrameClosed()
{
    m_bQuit = true;
    for (ModelessDialog* dialog : Dialogs())
        if (dialog) dialog->hide();
    // Ends the running event loop. With none running (the window closed
    // before the loop started), exit() would instead make every later loop,
    // the boxes of shut-down included, return at once.
    if (QThread::currentThread()->loopLevel() > 0) QCoreApplication::exit(0);
}

int CVexoWriterApp::ExitInstance(int exitCode)
{
    // The exit-time reset; a capture or trace that lost data must not pass
    // for a complete one.
    m_ui.SetPassSource(nullptr);
    if (const int reason = StopReason(); reason != 0) {
        std::string where;
        if (m_pRom && m_pRom->WhereStopped())
            where = ": stopped at " + FormatAddress(m_pRom->WhereStopped()->address) + " (" +
                    std::string(m_pRom->WhereStopped()->pass) + ")";
        std::fprintf(stderr, "vexowriter: interrupted by %s%s\n", StopReasonText(reason).c_str(), where.c_str());
        exitCode = StopExitStatus(reason);
    }
    const Status finished = m_pSession->Shutdown();
    if (!finished) {
        QString lines = FromCore(finished.message());
        lines.replace(QLatin1Char('\n'), QStringLiteral("\nvexowriter: "));
        std::fprintf(stderr, "vexowriter: %s\n", lines.toLocal8Bit().constData());
    }
    m_pRom = nullptr;
    return exitCode;
}

}  // namespace vexo::gui
