// SPDX-License-Identifier: GPL-3.0-or-later
// The Production window: Next Chip on the simulator's tray, serials, the log,
// the result in large text, and no closing while a chip is programmed.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>

#include "app/command_ids.h"
#include "dialogs/production_dlg.h"
#include "gui_harness.h"
#include "session/session.h"

namespace vexo::gui::test {

// Answers boxes as the recorder does, and tries to close both windows while
// a box of a running chip is up.
class ClosingAnswerer final : public IUiAnswerer {
public:
    void Message(const QString& text, bool) override
    {
        messages << text;
        if (window && window->ChipInProgress()) {
            window->close();
            frame->close();
            stayedOpen = window->isVisible() && frame->isVisible();
        }
    }
    bool Question(const QString&) override { return false; }
    std::optional<QString> ChooseFile() override { return std::nullopt; }

    QStringList messages;
    ProductionWindow* window = nullptr;
    QWidget* frame = nullptr;
    bool stayedOpen = false;
};

class TestProduction : public QObject {
    Q_OBJECT
private slots:
    void nextChipProgramsTheTrayWithSerials();
    void badSerialSettingsStartNoRun();
};

void TestProduction::nextChipProgramsTheTrayWithSerials()
{
    QTemporaryDir scratch;
    const QString tray = scratch.filePath(QStringLiteral("tray"));
    GuiHarness h(QStringLiteral("tray=") + tray);
    QVERIFY(h.started);
    QByteArray image(0x8000, '\0');
    for (int i = 0; i < image.size(); ++i) image[i] = char(i * 7 + 3);
    QVERIFY(h.app->TheSession().OpenImage(ToCore(h.WriteFile(QStringLiteral("fw.bin"), image))));
    h.answerer.Take();

    // Chip 2 was used: one programmed byte fails its blank check.
    QVERIFY(QDir().mkpath(tray));
    QByteArray used(0x80000, '\xFF');
    used[0x1A3] = '\x7B';
    QFile usedFile(tray + QStringLiteral("/chip-2.bin"));
    QVERIFY(usedFile.open(QIODevice::WriteOnly));
    usedFile.write(used);
    usedFile.close();

    QAction* action = h.Frame()->Action(kProductionCommands);
    QVERIFY(action);
    QVERIFY(h.Frame()->m_pToolsMenu->actions().contains(action));
    action->trigger();
    auto* w = h.Frame()->findChild<ProductionWindow*>(QStringLiteral("ProductionWindow"));
    QVERIFY(w);
    QVERIFY(w->isVisible());

    w->SerialBox()->setChecked(true);
    w->SerialAddress()->setText(QStringLiteral("0x7FF0"));
    w->SerialStart()->setText(QStringLiteral("1000"));
    const QString log = h.dir.filePath(QStringLiteral("run.csv"));
    w->LogFile()->setText(log);

    ClosingAnswerer closing;
    closing.window = w;
    closing.frame = h.Frame();
    h.app->Ui().SetAnswerer(&closing);

    QSignalSpy started(w, &ProductionWindow::chipStarted);
    QSignalSpy finished(w, &ProductionWindow::chipFinished);
    GuiHarness::Click(w->NextChipButton());
    QVERIFY(w->RunGoing());
    QVERIFY(!w->LogFile()->isEnabled());  // settings stay while the run goes
    // One chip, told upward before and after; the main window may close again.
    QCOMPARE(started.count(), 1);
    QCOMPARE(finished.count(), 1);
    QVERIFY(!h.app->IsCommandRunning());
    QCOMPARE(w->Records()->rowCount(), 1);
    QVERIFY(w->ResultLabel()->text().startsWith(QStringLiteral("chip 1: passed, serial 1000, crc32 0x")));
    QVERIFY(w->ResultLabel()->styleSheet().contains(QStringLiteral("#1a8f1a")));

    // Chip 2 fails; its "Error Occured" box comes while the chip is in the
    // socket, and neither window closes then.
    QTest::keyClick(w, Qt::Key_Return);  // Enter is Next Chip
    QCOMPARE(w->Records()->rowCount(), 2);
    QCOMPARE(w->ResultLabel()->text(), QStringLiteral("chip 2: failed at blank, not blank at 0x001A3: chip 7B"));
    QVERIFY(w->ResultLabel()->styleSheet().contains(QStringLiteral("#c81e1e")));
    QVERIFY(closing.messages.contains(QStringLiteral("Error Occured")));
    QVERIFY(closing.stayedOpen);
    QVERIFY(w->isVisible());
    QCOMPARE(w->Records()->item(1, 6)->text(), QStringLiteral("0x001A3"));

    GuiHarness::Click(w->NextChipButton());
    QVERIFY(w->ResultLabel()->text().startsWith(QStringLiteral("chip 3: passed, serial 1001,")));
    QCOMPARE(w->CountersLabel()->text().left(24), QStringLiteral("Passed: 2    Failed: 1  "));

    // The chips hold the image with their numbers; the buffer stays as loaded.
    QFile chip3(tray + QStringLiteral("/chip-3.bin"));
    QVERIFY(chip3.open(QIODevice::ReadOnly));
    const QByteArray programmed = chip3.read(0x8000);
    QByteArray expected = image;
    expected[0x7FF0] = char(1001 & 0xFF);
    expected[0x7FF1] = char(1001 >> 8);
    expected[0x7FF2] = 0;
    expected[0x7FF3] = 0;
    QCOMPARE(programmed, expected);
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(h.Rom().m_Buffer.get()), 0x8000), image);

    // The counters are the run's: a table cell says nothing to them, and
    // Stop Run leaves the last ones shown.
    w->Records()->item(0, 4)->setText(QStringLiteral("failed"));
    GuiHarness::Click(w->StopButton());
    QVERIFY(!w->RunGoing());
    QCOMPARE(w->CountersLabel()->text(), QStringLiteral("Passed: 2    Failed: 1    Next serial: 1002"));

    // Closing the window ends the run and the log holds a record per chip.
    w->close();
    QVERIFY(!w->RunGoing());
    QFile logFile(log);
    QVERIFY(logFile.open(QIODevice::ReadOnly));
    const QByteArray text = logFile.readAll();
    QCOMPARE(text.count('\n'), 4);
    QCOMPARE(text.count(",passed,"), 2);
    QVERIFY(text.contains(",failed,blank,0x001A3,"));
    h.app->Ui().SetAnswerer(&h.answerer);
}

void TestProduction::badSerialSettingsStartNoRun()
{
    QTemporaryDir scratch;
    GuiHarness h(QStringLiteral("tray=") + scratch.filePath(QStringLiteral("tray")));
    QVERIFY(h.started);
    h.Frame()->Action(kProductionCommands)->trigger();
    auto* w = h.Frame()->findChild<ProductionWindow*>();
    QVERIFY(w);
    // No image yet.
    h.answerer.Take();
    GuiHarness::Click(w->NextChipButton());
    QVERIFY(!w->RunGoing());
    QVERIFY(h.answerer.Take().join(QLatin1Char('\n')).contains(QStringLiteral("load one first")));

    QVERIFY(h.app->TheSession().OpenImage(ToCore(h.WriteFile(QStringLiteral("fw.bin"), QByteArray(16, 'x')))));
    h.answerer.Take();
    w->SerialBox()->setChecked(true);
    w->SerialStart()->setText(QStringLiteral("5000000000"));  // past 4 bytes
    GuiHarness::Click(w->NextChipButton());
    QVERIFY(!w->RunGoing());
    QCOMPARE(w->Records()->rowCount(), 0);
    QVERIFY(h.answerer.Take().join(QLatin1Char('\n')).contains(QStringLiteral("does not fit")));
    QVERIFY(!QFile::exists(scratch.filePath(QStringLiteral("tray/chip-1.bin"))));
}

}  // namespace vexo::gui::test

QTEST_MAIN(vexo::gui::test::TestProduction)
#include "test_production.moc"
