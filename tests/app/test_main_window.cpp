// SPDX-License-Identifier: GPL-3.0-or-later
// The main window: start-up, the command table, the bars and menus, the Hex
// Count pane, exit, and the About box.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QToolTip>

#include "app/about_dlg.h"
#include "app/command_ids.h"
#include "dialogs/info_dlg.h"
#include "dialogs/settings_dialogs.h"
#include "gui_harness.h"
#include "view/vexowriter_view.h"

using namespace vexo::gui;
using vexo::gui::test::GuiHarness;

namespace {

QStringList PanelTexts(const CInfoDlg* panel)
{
    QStringList out;
    for (QLineEdit* edit : panel->m_pEdit) out << edit->text();
    return out;
}

QStringList MenuItems(QMenu* menu)
{
    QStringList out;
    for (QAction* a : menu->actions()) out << a->text();
    return out;
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
private slots:
    void startUpShowsWindowPanelAndHiddenDialogs();
    void startUpWithoutModuleWarnsAtStartAndExit();
    void badPortDescriptionStopsStartUp();
    void commandTableTextsAndEnabling();
    void buttonsWithoutStringShowNoTooltip();
    void barsMenusAndDocking();
    void romBarCheckMarkFollowsTheBar();
    void hexCountPaneShowsTheLastCountThrottled();
    void exitAsksAndHonoursNo();
    void closeIsRefusedWhileACommandRuns();
    void aboutBoxIsModalWithItsTexts();
    void portGivenIsForThisRunOnly();
    void settingsAndChipMoveToTheDesktopPlaces();
    void fileOnTheCommandLineIsOpened();
    void portOpenFailureIsShownAndTheProgramCarriesOn();
    void traceWritesEveryPortAccess();
    void faultsAndWireCapture();
    void outsideProgramsStartDetached();
};

void MainWindowTest::startUpShowsWindowPanelAndHiddenDialogs()
{
    GuiHarness gui;
    QVERIFY(gui.started);
    CMainFrame* frame = gui.Frame();
    QVERIFY(frame->isVisible());
    QVERIFY(gui.ShownTitle().startsWith(QStringLiteral("Vexo Writer 1.1")));
    QVERIFY(gui.ShownTitle().contains(QStringLiteral("simulated")));
    QCOMPARE(gui.answerer.messages, QStringList());  // the module answered

    QCOMPARE(frame->m_pMessagePane->text(), QStringLiteral("Ready"));
    QCOMPARE(frame->m_pHexCountPane->text(), QStringLiteral("Hex Counter :                "));
    // The pane is as wide as its string, blanks included.
    QVERIFY(frame->m_pHexCountPane->width() >=
            frame->m_pHexCountPane->fontMetrics().horizontalAdvance(QStringLiteral("Hex Counter :                ")));

    const QList<ModelessDialog*> dialogs = gui.app->Dialogs();
    QCOMPARE(dialogs.size(), 13);
    for (ModelessDialog* d : dialogs) {
        QVERIFY(d);
        QCOMPARE(d->parentWidget(), frame);
        QCOMPARE(d->isVisible(), d == gui.app->m_pInfoDlg);
    }
    QCOMPARE(PanelTexts(gui.app->m_pInfoDlg),
             (QStringList{"LPT1 Port", "default.bin", "27C256", "Normal", "000000H", "007FFFH"}));
    QCOMPARE(gui.app->m_pInfoDlg->windowTitle(), QStringLiteral("Information Dialog"));
    QVERIFY(gui.app->m_pView);
    QCOMPARE(gui.app->m_pView, frame->centralWidget());
}

void MainWindowTest::startUpWithoutModuleWarnsAtStartAndExit()
{
    const QString missing =
        QStringLiteral("Programming Module not found ! Please check connection of power Adapter.");
    auto gui = std::make_unique<GuiHarness>(QStringLiteral("module=absent"));
    QVERIFY(gui->started);
    QCOMPARE(gui->answerer.Take(), QStringList{missing});
    QVERIFY(gui->app->m_pInfoDlg->isVisible());
    gui->app->ExitInstance();
    QCOMPARE(gui->answerer.Take(), QStringList{missing});
    QVERIFY(!gui->app->m_pRom);
}

void MainWindowTest::badPortDescriptionStopsStartUp()
{
    vexo::ResetShadows();
    CVexoWriterApp app;
    test::RecordingAnswerer answerer;
    app.Ui().SetAnswerer(&answerer);
    QVERIFY(!app.InitInstance({QStringLiteral("vexowriter"), QStringLiteral("--port"), QStringLiteral("sim:colour=red")}));
    QVERIFY(!app.m_pRom);
    QVERIFY(!app.MainFrame());
    QVERIFY(!app.m_pInfoDlg);
    QCOMPARE(answerer.messages, QStringList());
    QCOMPARE(app.StartFailureCode(), 2);
    QCOMPARE(app.ExitInstance(3), 3);
}

void MainWindowTest::commandTableTextsAndEnabling()
{
    GuiHarness gui;
    CMainFrame* frame = gui.Frame();
    const QList<int> expected{32771, 32772, 32773, 32774, 32775, 32776, 32777, 32778, 32779, 32780, 32781,
                              32782, 32783, 32784, 32785, 32786, 32787, 57607, 57664, 59392, 59393};
    // The seed's commands; the Tools menu's own blocks come beside them.
    QList<int> seed = frame->CommandIds();
    seed.removeIf([](int id) { return id >= kDiagnosisCommands && id < kDumpCommands + 10; });
    QCOMPARE(seed, expected);
    for (int id : expected) {
        QAction* action = frame->Action(id);
        QVERIFY2(action, qPrintable(QString::number(id)));
        QCOMPARE(action->data().toInt(), id);
        QVERIFY(action->isEnabled());
        const CommandText* text = FindCommandText(id);
        QVERIFY(text);
        QCOMPARE(action->statusTip(), QString::fromUtf8(text->prompt.data(), text->prompt.size()));
        if (!text->toolTip.empty())
            QCOMPARE(action->toolTip(), QString::fromUtf8(text->toolTip.data(), text->toolTip.size()));
    }
    QCOMPARE(frame->Action(ID_DOS_SHELL)->toolTip(), QStringLiteral(" Dos Shell"));
    QCOMPARE(frame->Action(ID_OPEN_BIN)->statusTip(), QStringLiteral("Open BIN files on the buffer"));
    QCOMPARE(frame->Action(ID_HEX_BIN)->toolTip(), QStringLiteral("HEX-->BIN"));
    QCOMPARE(frame->Action(ID_LPT_PORT)->statusTip(),
             QStringLiteral("Select the printer port number to use, up to NO. 3 are selectable"));
    for (int id : {ID_QUIT, ID_VIEW_ROM_BAR, ID_CLEAR_WINDOW, ID_INFO_DIALOG, ID_APP_ABOUT})
        QCOMPARE(frame->Action(id)->statusTip(), QString());
    QCOMPARE(frame->Action(ID_FILE_PRINT)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_P));

    // Hovering a button puts its prompt in the message pane; leaving it, "Ready" again.
    QWidget* button = frame->m_wndRomBar->widgetForAction(frame->Action(ID_VERIFY));
    QStatusTipEvent tip(frame->Action(ID_VERIFY)->statusTip());
    QApplication::sendEvent(button, &tip);
    QCOMPARE(frame->statusBar()->currentMessage(),
             QStringLiteral("Compare and check device contents with buffer contents"));
    QStatusTipEvent none{QString()};
    QApplication::sendEvent(button, &none);
    QCOMPARE(frame->statusBar()->currentMessage(), QString());
    QCOMPARE(frame->m_pMessagePane->text(), QStringLiteral("Ready"));
}

void MainWindowTest::buttonsWithoutStringShowNoTooltip()
{
    GuiHarness gui;
    CMainFrame* frame = gui.Frame();
    const auto tooltipShown = [](QWidget* w) {
        QToolTip::hideText();
        QHelpEvent help(QEvent::ToolTip, QPoint(4, 4), w->mapToGlobal(QPoint(4, 4)));
        QApplication::sendEvent(w, &help);
        const QString shown = QToolTip::isVisible() ? QToolTip::text() : QString();
        QToolTip::hideText();
        return shown;
    };
    QCOMPARE(tooltipShown(frame->m_wndRomBar->widgetForAction(frame->Action(ID_QUIT))), QString());
    QCOMPARE(tooltipShown(frame->m_wndAboutBar->widgetForAction(frame->Action(ID_APP_ABOUT))), QString());
    QCOMPARE(tooltipShown(frame->m_wndRomBar->widgetForAction(frame->Action(ID_DOS_SHELL))),
             QStringLiteral(" Dos Shell"));
}

void MainWindowTest::barsMenusAndDocking()
{
    GuiHarness gui;
    CMainFrame* frame = gui.Frame();
    QToolBar* rom = frame->m_wndRomBar;
    QToolBar* about = frame->m_wndAboutBar;

    QCOMPARE(rom->windowTitle(), QStringLiteral("ROM Writer Function Tool"));
    QCOMPARE(rom->iconSize(), QSize(32, 31));
    QCOMPARE(about->iconSize(), QSize(33, 31));
    QCOMPARE(about->actions(), QList<QAction*>{frame->Action(ID_APP_ABOUT)});
    const QList<QAction*> items = rom->actions();
    QCOMPARE(items.size(), 27);
    for (int i = 0; i < items.size(); ++i) {
        QCOMPARE(items[i]->isSeparator(), i % 2 == 1);
        if (i % 2 == 0) QCOMPARE(items[i]->data().toInt(), int(kRomBarButtons[std::size_t(i / 2)]));
    }

    // DockBarBeside: the ROM bar sits on the About bar's row, right after it.
    QCOMPARE(frame->toolBarArea(about), Qt::TopToolBarArea);
    QCOMPARE(frame->toolBarArea(rom), Qt::TopToolBarArea);
    QVERIFY(!frame->toolBarBreak(rom));
    QCOMPARE(rom->geometry().top(), about->geometry().top());
    QVERIFY(rom->geometry().left() > about->geometry().right());

    const QList<QAction*> menus = frame->menuBar()->actions();
    // The seed's two menus, then Tools with what came after them.
    QCOMPARE(menus.size(), 3);
    QCOMPARE(menus[0]->text(), QStringLiteral("View(&V)"));
    QCOMPARE(menus[1]->text(), QStringLiteral("Function"));
    QCOMPARE(menus[2]->text(), QStringLiteral("&Tools"));
    QCOMPARE(MenuItems(menus[0]->menu()), (QStringList{"View About Tool(&T)", "Status Tool Bar(&S)",
                                                       "ROM Writer Tool Bar", "Exit"}));
    QCOMPARE(MenuItems(menus[1]->menu()), (QStringList{"Clear Window", "Information Dialog"}));
    // The menu's Exit is the Quit button's command.
    QCOMPARE(menus[0]->menu()->actions()[3], frame->Action(ID_QUIT));

    // "View About Tool" hides the one-button bar, never the ROM writer bar.
    frame->Action(ID_VIEW_TOOLBAR)->trigger();
    QVERIFY(!about->isVisible());
    QVERIFY(rom->isVisible());
    frame->Action(ID_VIEW_TOOLBAR)->trigger();
    QVERIFY(about->isVisible());
    frame->Action(ID_VIEW_STATUS_BAR)->trigger();
    QVERIFY(!frame->statusBar()->isVisible());
    frame->Action(ID_VIEW_STATUS_BAR)->trigger();
    QVERIFY(frame->statusBar()->isVisible());
}

void MainWindowTest::romBarCheckMarkFollowsTheBar()
{
    GuiHarness gui;
    CMainFrame* frame = gui.Frame();
    QAction* toggle = frame->Action(ID_VIEW_ROM_BAR);
    QVERIFY(toggle->isCheckable());
    QVERIFY(toggle->isChecked());
    toggle->trigger();
    QVERIFY(!frame->m_wndRomBar->isVisible());
    QVERIFY(!toggle->isChecked());
    toggle->trigger();
    QVERIFY(frame->m_wndRomBar->isVisible());
    QVERIFY(toggle->isChecked());
    // Hidden some other way (a floating bar's own close): the mark follows.
    frame->m_wndRomBar->hide();
    QVERIFY(!toggle->isChecked());
    frame->m_wndRomBar->show();
    QVERIFY(toggle->isChecked());
}

void MainWindowTest::hexCountPaneShowsTheLastCountThrottled()
{
    GuiHarness gui;
    // A blank check of a blank 27C040: 0x80000 counted bytes.
    gui.Rom().m_nDevice = 4;
    gui.ClickButton(ID_BLANK_CHECK);
    GuiHarness::Click(gui.app->m_pBlankCheckDlg->OkButton());
    QCOMPARE(gui.answerer.Take(), QStringList{"EPROM Checking OK !!!"});
    QCOMPARE(gui.Frame()->m_pHexCountPane->text(), QStringLiteral("Hex Count: 0x80000"));
    // The screen follows at most once per frame, not once per byte.
    const long refreshes = gui.app->Ui().PaneRefreshes();
    QVERIFY(refreshes >= 1);
    QVERIFY2(refreshes < 0x80000 / 64, qPrintable(QString::number(refreshes)));

    // A blank check that fails at address 0 leaves the pane as it was.
    gui.Sim()->SetChipByte(0, 0x00);
    gui.ClickButton(ID_BLANK_CHECK);
    GuiHarness::Click(gui.app->m_pBlankCheckDlg->OkButton());
    QCOMPARE(gui.answerer.Take(), (QStringList{"Error Occured", "Blank Check Failure !!"}));
    QCOMPARE(gui.Frame()->m_pHexCountPane->text(), QStringLiteral("Hex Count: 0x80000"));
}

void MainWindowTest::exitAsksAndHonoursNo()
{
    GuiHarness gui;
    CMainFrame* frame = gui.Frame();
    gui.answerer.answers = {false};
    gui.ClickButton(ID_QUIT);
    QCOMPARE(gui.answerer.questions, QStringList{QStringLiteral("종료하시겠습니까?")});
    QVERIFY(frame->isVisible());
    QVERIFY(!gui.app->HasQuit());
    QVERIFY(gui.app->m_pInfoDlg->isVisible());

    gui.answerer.answers = {true};
    frame->Action(ID_QUIT)->trigger();  // the View menu's Exit
    QCOMPARE(gui.answerer.questions.size(), 2);
    QVERIFY(!frame->isVisible());
    QVERIFY(gui.app->HasQuit());
    QVERIFY(!gui.app->m_pInfoDlg->isVisible());
    QCOMPARE(gui.answerer.messages, QStringList());  // no further question
}

void MainWindowTest::closeIsRefusedWhileACommandRuns()
{
    GuiHarness gui;
    {
        CVexoWriterApp::CommandScope running(*gui.app);
        QVERIFY(!gui.Frame()->close());
        QVERIFY(gui.Frame()->isVisible());
    }
    // The ordinary close asks nothing.
    QVERIFY(gui.Frame()->close());
    QVERIFY(gui.app->HasQuit());
    QCOMPARE(gui.answerer.questions, QStringList());
}

void MainWindowTest::aboutBoxIsModalWithItsTexts()
{
    GuiHarness gui;
    QString title;
    QStringList labels;
    bool modal = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* about = qobject_cast<CAboutDlg*>(QApplication::activeModalWidget());
        if (!about) return;
        poll.stop();
        modal = about->isModal();
        title = about->windowTitle();
        for (QLabel* l : about->findChildren<QLabel*>()) labels << l->text();
        QCOMPARE(about->m_pOkButton->text(), QStringLiteral("확인"));
        QTest::mouseClick(about->m_pOkButton, Qt::LeftButton);
    });
    poll.start(5);
    gui.ClickButton(ID_APP_ABOUT);
    QVERIFY(modal);
    QCOMPARE(title, QStringLiteral("VexoWriter 정보"));
    QVERIFY(labels.contains(QStringLiteral("Vexo Writer - 1.0")));
    QCOMPARE(labels.size(), 2);
}

void MainWindowTest::portGivenIsForThisRunOnly()
{
    QTemporaryDir dir;
    const QString kept = QStringLiteral("sim:chip=%1/kept.bin,size=27C512").arg(dir.path());
    const QString given = QStringLiteral("sim:chip=%1/given.bin,size=27C256").arg(dir.path());
    QSettings(CVexoWriterApp::ProfilePath(), QSettings::NativeFormat).setValue(QStringLiteral("Settings/Port"), kept);
    {
        vexo::ResetShadows();
        CVexoWriterApp app;
        test::RecordingAnswerer answerer;
        app.Ui().SetAnswerer(&answerer);
        QVERIFY(app.InitInstance({QStringLiteral("vexowriter"), QStringLiteral("--port"), given}));
        QCOMPARE(app.PortText(), given);
        app.ExitInstance();
    }
    // The next start without --port: the port used last, not the one given.
    vexo::ResetShadows();
    CVexoWriterApp app;
    test::RecordingAnswerer answerer;
    app.Ui().SetAnswerer(&answerer);
    QVERIFY(app.InitInstance({QStringLiteral("vexowriter")}));
    QCOMPARE(app.PortText(), kept);
    QVERIFY(app.IsSimulated());
    QCOMPARE(QFileInfo(dir.filePath(QStringLiteral("kept.bin"))).size(), qint64(0x10000));
    app.ExitInstance();
    QSettings(CVexoWriterApp::ProfilePath(), QSettings::NativeFormat).remove(QStringLiteral("Settings/Port"));
    // Nothing kept: the simulated module with its chip in the data folder.
    QVERIFY(CVexoWriterApp::DefaultPortText().startsWith(QStringLiteral("sim:chip=")));
    QVERIFY(CVexoWriterApp::DefaultPortText().endsWith(QStringLiteral("/vexowriter/chip.bin,size=27C040")));
}

void MainWindowTest::settingsAndChipMoveToTheDesktopPlaces()
{
    // XDG_CONFIG_HOME and XDG_DATA_HOME are the test's own (tests/app/CMakeLists.txt).
    const QString config = QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME"));
    const QString data = QString::fromLocal8Bit(qgetenv("XDG_DATA_HOME"));
    QVERIFY(!config.isEmpty() && !data.isEmpty());
    QCOMPARE(CVexoWriterApp::ProfilePath(), config + QStringLiteral("/vexowriter/vexowriter.conf"));
    QCOMPARE(CVexoWriterApp::DataFolder(), data + QStringLiteral("/vexowriter"));
    const QString newChip = data + QStringLiteral("/vexowriter/chip.bin");
    QFile::remove(CVexoWriterApp::ProfilePath());
    QFile::remove(newChip);

    // Where earlier versions kept them: under the wizard's company key.
    const QString oldProfile =
        config + QStringLiteral("/Local AppWizard-Generated Applications/Vexo Writer1.conf");
    const QString oldChipFolder = data + QStringLiteral("/Local AppWizard-Generated Applications/Vexo Writer1");
    {
        QSettings old(QStringLiteral("Local AppWizard-Generated Applications"), QStringLiteral("Vexo Writer1"));
        old.setValue(QStringLiteral("Settings/Recent"), QStringLiteral("fw.bin"));
        old.sync();
        QCOMPARE(old.fileName(), oldProfile);
    }
    QVERIFY(QDir().mkpath(oldChipFolder));
    QByteArray chip(0x80000, char(0xFF));
    chip[0] = 0x12;
    chip[0x7FFFF] = 0x34;
    {
        QFile file(oldChipFolder + QStringLiteral("/chip.bin"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(chip), qint64(chip.size()));
    }

    {
        vexo::ResetShadows();
        CVexoWriterApp app;
        test::RecordingAnswerer answerer;
        app.Ui().SetAnswerer(&answerer);
        QVERIFY(app.InitInstance({QStringLiteral("vexowriter")}));
        // Said once, in the status bar, naming both moves.
        const QString said = app.MainFrame()->statusBar()->currentMessage();
        QVERIFY2(said.contains(QStringLiteral("vexowriter.conf")) && said.contains(newChip), qPrintable(said));
        QCOMPARE(answerer.messages, QStringList());
        // The moved chip is the simulator's, contents and all.
        QCOMPARE(app.PortText(), QStringLiteral("sim:chip=%1,size=27C040").arg(newChip));
        app.ExitInstance();
    }
    QVERIFY(!QFileInfo::exists(oldProfile));
    QVERIFY(!QFileInfo::exists(oldChipFolder));
    QCOMPARE(QSettings(CVexoWriterApp::ProfilePath(), QSettings::NativeFormat).value(QStringLiteral("Settings/Recent")),
             QVariant(QStringLiteral("fw.bin")));
    QFile moved(newChip);
    QVERIFY(moved.open(QIODevice::ReadOnly));
    QCOMPARE(moved.readAll(), chip);

    // The second start finds nothing to move and says nothing.
    vexo::ResetShadows();
    CVexoWriterApp app;
    test::RecordingAnswerer answerer;
    app.Ui().SetAnswerer(&answerer);
    QVERIFY(app.InitInstance({QStringLiteral("vexowriter")}));
    QCOMPARE(app.MainFrame()->statusBar()->currentMessage(), QString());
    app.ExitInstance();
}

void MainWindowTest::fileOnTheCommandLineIsOpened()
{
    QTemporaryDir dir;
    const QString image = dir.filePath(QStringLiteral("fw.hex"));
    {
        QFile file(image);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(":0400000001020304F2\n:00000001FF\n");
    }
    GuiHarness gui(QString(), {image});
    QVERIFY(gui.started);
    QCOMPARE(gui.answerer.messages, QStringList());
    QCOMPARE(gui.Rom().m_Buffer[0], std::uint8_t(0x01));
    QCOMPARE(gui.Rom().m_Buffer[3], std::uint8_t(0x04));

    // Two files: a usage error.
    CVexoWriterApp::StartOptions options;
    QString output;
    QCOMPARE(CVexoWriterApp::ParseCommandLine({QStringLiteral("vexowriter"), image, image}, &options, &output), 2);
}

void MainWindowTest::portOpenFailureIsShownAndTheProgramCarriesOn()
{
    vexo::ResetShadows();
    CVexoWriterApp app;
    test::RecordingAnswerer answerer;
    app.Ui().SetAnswerer(&answerer);
    QVERIFY(app.InitInstance({QStringLiteral("vexowriter"), QStringLiteral("--port"),
                              QStringLiteral("ppdev:/nonexistent/parport9")}));
    // The reason, then the disconnected port's missing module.
    QCOMPARE(answerer.messages.size(), 2);
    QVERIFY2(answerer.messages[0].contains(QStringLiteral("/nonexistent/parport9")), qPrintable(answerer.messages[0]));
    QVERIFY(answerer.messages[1].startsWith(QStringLiteral("Programming Module not found")));
    QVERIFY(app.m_pRom);
    QVERIFY(app.m_pInfoDlg->isVisible());
    QVERIFY(!app.MainFrame()->windowHandle()->title().contains(QStringLiteral("simulated")));
    app.ExitInstance();
    // A port that failed to open is not kept.
    QVERIFY(!QSettings(CVexoWriterApp::ProfilePath(), QSettings::NativeFormat)
                 .value(QStringLiteral("Settings/Port")).toString().startsWith(QStringLiteral("ppdev")));
}

void MainWindowTest::traceWritesEveryPortAccess()
{
    QTemporaryDir dir;
    const QString trace = dir.filePath(QStringLiteral("port.trace"));
    {
        GuiHarness gui(QString(), {QStringLiteral("--trace"), trace});
        QVERIFY(gui.started);
        QCOMPARE(gui.answerer.messages, QStringList());
    }
    QFile file(trace);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    // Start-up's module check: control 0x04, data 0x00, one status read.
    QVERIFY(lines.size() > 3);
    QCOMPARE(lines[0], QByteArray("W 37A 04"));
    QCOMPARE(lines[1], QByteArray("W 378 00"));
    QVERIFY(lines[2].startsWith("R 379"));

    // A trace file that cannot be made is reported; the port still works.
    GuiHarness gui(QString(), {QStringLiteral("--trace"), dir.filePath(QStringLiteral("no/such/folder/t"))});
    QVERIFY(gui.started);
    QCOMPARE(gui.answerer.messages.size(), 1);
    QVERIFY(gui.answerer.messages[0].contains(QStringLiteral("no/such/folder")));
    QVERIFY(gui.Sim());
}

void MainWindowTest::faultsAndWireCapture()
{
    QTemporaryDir dir;
    const QString vcd = dir.filePath(QStringLiteral("wire.vcd"));
    {
        // The presence line held low: the module check fails at start, and
        // so does every command.
        GuiHarness gui(QString(), {QStringLiteral("--fault"), QStringLiteral("stuck=7:0"), QStringLiteral("--vcd"), vcd});
        QVERIFY(gui.started);
        QCOMPARE(gui.answerer.Take(),
                 QStringList{QStringLiteral("Programming Module not found ! Please check connection of power Adapter.")});
        QVERIFY(!gui.Rom().BlankCheck());
        QCOMPARE(gui.answerer.Take().last(), QStringLiteral("Blank Check Failure !!"));
    }
    QFile file(vcd);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    QVERIFY(text.contains("$timescale 1us $end"));
    QVERIFY(text.contains("$var wire 1 / S7 $end"));

    // A fault description that does not parse stops start-up.
    GuiHarness bad(QString(), {QStringLiteral("--fault"), QStringLiteral("flip=2")});
    QVERIFY(!bad.started);
}

void MainWindowTest::outsideProgramsStartDetached()
{
    QTemporaryDir bin;
    const auto script = [&bin](const QString& name) {
        QFile f(bin.filePath(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QStringLiteral("#!/bin/sh\necho \"$#\" > \"%1.started\"\n").arg(bin.filePath(name)).toUtf8());
        f.close();
        f.setPermissions(f.permissions() | QFileDevice::ExeOwner);
    };
    script(QStringLiteral("x-terminal-emulator"));
    script(QStringLiteral("vexo-hexbin"));
    const QByteArray oldPath = qgetenv("PATH");
    qputenv("PATH", bin.path().toLocal8Bit());
    GuiHarness gui;
    gui.ClickButton(ID_DOS_SHELL);
    gui.ClickButton(ID_HEX_BIN);
    QTRY_VERIFY(QFile::exists(bin.filePath(QStringLiteral("x-terminal-emulator.started"))));
    QTRY_VERIFY(QFile::exists(bin.filePath(QStringLiteral("vexo-hexbin.started"))));
    // The file exists as soon as the shell opens it, before echo writes to it.
    const auto startedWith = [&bin] {
        QFile args(bin.filePath(QStringLiteral("vexo-hexbin.started")));
        return args.open(QIODevice::ReadOnly) ? args.readAll().trimmed() : QByteArray();
    };
    QTRY_COMPARE(startedWith(), QByteArray("0"));  // no arguments

    // Nothing to start: nothing is said.
    QFile::remove(bin.filePath(QStringLiteral("x-terminal-emulator")));
    QFile::remove(bin.filePath(QStringLiteral("vexo-hexbin")));
    qputenv("TERMINAL", "");
    gui.ClickButton(ID_DOS_SHELL);
    gui.ClickButton(ID_HEX_BIN);
    qputenv("PATH", oldPath);
    QCOMPARE(gui.answerer.messages, QStringList());
}

QTEST_MAIN(MainWindowTest)
#include "test_main_window.moc"
