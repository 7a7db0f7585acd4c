// SPDX-License-Identifier: GPL-3.0-or-later
// The desktop program's files: one file in two roles at start-up and in the
// save dialog, the reason of a failed save in the box's details, no display.
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QTest>
#include <QTimer>

#include <csignal>

#include "app/command_ids.h"
#include "base/stop_request.h"
#include "rom/rom.h"
#include "session/session.h"
#include "dialogs/caption_room.h"
#include "dialogs/modeless_dialog.h"
#include "dialogs/settings_dialogs.h"
#include "gui_harness.h"

using namespace vexo::gui;
using vexo::gui::test::GuiHarness;

class FilesTest : public QObject {
    Q_OBJECT
private slots:
    void startUpRefusesTheChipFileAsTrace();
    void saveDialogRefusesTheChipFile();
    void failedSaveCarriesItsReason();
    void noDisplayIsSaid();
    void sessionEndFinishesTheRun();
    void sessionEndStopsTheRunningPass();
    void captionsFitTheirWindows();
};

void FilesTest::startUpRefusesTheChipFileAsTrace()
{
    QTemporaryDir dir;
    const QString chip = dir.filePath(QStringLiteral("chip.bin"));
    // (The last --port wins.)
    GuiHarness gui(QString(), {QStringLiteral("--port"), QStringLiteral("sim:chip=") + chip,
                               QStringLiteral("--trace"), dir.filePath(QStringLiteral("./chip.bin"))});
    QVERIFY(!gui.started);
    QCOMPARE(gui.app->StartFailureCode(), 2);
    QVERIFY(!QFileInfo::exists(chip));  // nothing was opened or made
}

void FilesTest::saveDialogRefusesTheChipFile()
{
    GuiHarness gui;
    QVERIFY(gui.started);
    const QString chip = gui.dir.filePath(QStringLiteral("chip.bin"));
    const QByteArray before = [&] {
        QFile f(chip);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    CFileNameDlg* name = gui.app->m_pFileNameDlg;
    gui.ClickButton(ID_SAVE_BUFFER);
    name->m_pNameEdit->setText(chip);
    GuiHarness::Click(name->OkButton());
    const QStringList messages = gui.answerer.Take();
    QCOMPARE(messages.size(), 1);
    QVERIFY2(messages.first().contains(QStringLiteral("are the same file")), qPrintable(messages.first()));
    QFile f(chip);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), before);
}

void FilesTest::failedSaveCarriesItsReason()
{
    GuiHarness gui;
    CFileNameDlg* name = gui.app->m_pFileNameDlg;
    gui.ClickButton(ID_SAVE_BUFFER);
    const QString target = gui.dir.filePath(QStringLiteral("no/such/folder.bin"));
    name->m_pNameEdit->setText(target);
    GuiHarness::Click(name->OkButton());
    QCOMPARE(gui.answerer.Take(), QStringList{"Save Failed !!"});
    QCOMPARE(gui.app->Ui().LastBoxDetails(), QStringLiteral("save: %1: No such file or directory").arg(target));
}

void FilesTest::noDisplayIsSaid()
{
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) env.remove(QString::fromLatin1(name));
    program.setProcessEnvironment(env);
    program.start(QStringLiteral(VEXOWRITER_PROGRAM), {QStringLiteral("--port"), QStringLiteral("none")});
    QVERIFY(program.waitForFinished(30000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 2);
    QCOMPARE(QString::fromLocal8Bit(program.readAllStandardError()),
             QStringLiteral("no display: set DISPLAY, or use vexo for work without one\n"));
}

// SIGTERM (the desktop session ending): the exit-time reset runs, the trace
// is completed, and the status is 128 + 15.
void FilesTest::sessionEndFinishesTheRun()
{
    QTemporaryDir dir;
    const QString trace = dir.filePath(QStringLiteral("wire.log"));
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    program.setProcessEnvironment(env);
    program.start(QStringLiteral(VEXOWRITER_PROGRAM),
                  {QStringLiteral("--port"), QStringLiteral("sim:chip=") + dir.filePath(QStringLiteral("chip.bin")),
                   QStringLiteral("--trace"), trace});
    QVERIFY(program.waitForStarted(30000));
    // Up and waiting for the operator: the chip file is there once the port opened.
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(dir.filePath(QStringLiteral("chip.bin"))), 30000);
    QTest::qWait(500);
    program.terminate();
    QVERIFY(program.waitForFinished(30000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 143);
    QVERIFY(QString::fromLocal8Bit(program.readAllStandardError()).contains(QStringLiteral("vexowriter: interrupted by SIGTERM")));
    QFile file(trace);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().trimmed().split('\n');
    // The start-up module check, then the exit-time one: control, data, status.
    QVERIFY(lines.size() >= 6);
    QVERIFY2(lines.last().startsWith("R 379 "), lines.last().constData());
    QVERIFY(lines[lines.size() - 2].startsWith("W 378 "));
    QVERIFY(lines[lines.size() - 3].startsWith("W 37A "));
}

// The same in the middle of an Auto Write: the pass stops at a byte, no
// outcome box follows, the main window closes, and the status is 129.
void FilesTest::sessionEndStopsTheRunningPass()
{
    QVERIFY(vexo::InstallStopHandlers({SIGHUP}).ok());
    {
        GuiHarness gui;
        QVERIFY(gui.started);
        gui.app->TheSession().SelectDevice(4);  // 27C040: a pass long enough to be stopped in
        QByteArray image(0x80000, '\0');
        for (int i = 0; i < image.size(); ++i) image[i] = char(i * 7 + 3);
        gui.answerer.files << gui.WriteFile(QStringLiteral("image.bin"), image);
        gui.ClickButton(ID_OPEN_BIN);
        gui.answerer.Take();
        // The signal comes while the pass serves the window system.
        QTimer::singleShot(0, [] { std::raise(SIGHUP); });
        gui.ClickButton(ID_AUTO_WRITE);
        QVERIFY(gui.Rom().Stopped());
        const QStringList boxes = gui.answerer.Take();
        for (const QString& box : boxes)
            QVERIFY2(!box.contains(QStringLiteral("failure")) && box != QStringLiteral("Done!"), qPrintable(box));
        QTRY_VERIFY_WITH_TIMEOUT(gui.app->HasQuit(), 10000);
        QCOMPARE(gui.app->ExitInstance(0), 128 + SIGHUP);
    }
    vexo::ClearStopRequest();
    std::signal(SIGHUP, SIG_DFL);
}

void FilesTest::captionsFitTheirWindows()
{
    GuiHarness gui;
    for (ModelessDialog* dialog : gui.app->Dialogs()) {
        dialog->show();
        QVERIFY2(dialog->width() >= CaptionWidth(dialog->windowTitle()), qPrintable(dialog->windowTitle()));
        dialog->hide();
    }
    QMessageBox box(QMessageBox::NoIcon, QtUiServices::BoxTitle(), QStringLiteral("OK"), QMessageBox::Ok);
    GiveCaptionRoom(box);
    box.show();
    QVERIFY(box.width() >= CaptionWidth(box.windowTitle()));
    box.hide();
}

QTEST_MAIN(FilesTest)
#include "test_files.moc"
