// The desktop program's files: one file in two roles at start-up and in the
// save dialog, the reason of a failed save in the box's details, no display.
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>

#include "app/command_ids.h"
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

void FilesTest::captionsFitTheirWindows()
{
    GuiHarness gui;
    for (CModelessDialog* dialog : gui.app->Dialogs()) {
        dialog->show();
        QVERIFY2(dialog->width() >= CaptionWidth(dialog->windowTitle()), qPrintable(dialog->windowTitle()));
        dialog->hide();
    }
    QMessageBox box(QMessageBox::NoIcon, CQtUiServices::BoxTitle(), QStringLiteral("OK"), QMessageBox::Ok);
    GiveCaptionRoom(box);
    box.show();
    QVERIFY(box.width() >= CaptionWidth(box.windowTitle()));
    box.hide();
}

QTEST_MAIN(FilesTest)
#include "test_files.moc"
