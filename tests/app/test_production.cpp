// SPDX-License-Identifier: GPL-3.0-or-later
// The Production window: Next Chip on the simulator's tray, serials, the log,
// the result in large text, and no closing while a chip is programmed.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QProgressBar>
#include <QTableWidget>
#include <QTimer>

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
    void numberingGoesOnAcrossStopRunAndInTheLog();
    void aFailedChipWaitsForNobody();
    void enterInAFieldStartsNoChip();
    void badFieldsAreNamed();
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

namespace {

// The Production window of a harness whose image is loaded.
ProductionWindow* OpenWindow(GuiHarness& h)
{
    QByteArray image(0x8000, '\0');
    for (int i = 0; i < image.size(); ++i) image[i] = char(i * 5 + 1);
    if (!h.app->TheSession().OpenImage(ToCore(h.WriteFile(QStringLiteral("fw.bin"), image)))) return nullptr;
    h.answerer.Take();
    h.Frame()->Action(kProductionCommands)->trigger();
    return h.Frame()->findChild<ProductionWindow*>(QStringLiteral("ProductionWindow"));
}

QStringList Column(const QTableWidget* table, int column)
{
    QStringList cells;
    for (int row = 0; row < table->rowCount(); ++row) cells << table->item(row, column)->text();
    return cells;
}

// Takes a box as the recorder does, waiting a while as an operator would.
class SlowAnswerer final : public IUiAnswerer {
public:
    void Message(const QString& text, bool) override
    {
        messages << text;
        if (window && window->ChipInProgress()) {
            QTest::qWait(1200);
            window->close();  // asks, and is told why not
            GuiHarness::Click(window->StopButton());  // the run ends after this chip
        }
    }
    bool Question(const QString&) override { return false; }
    std::optional<QString> ChooseFile() override { return std::nullopt; }

    QStringList messages;
    ProductionWindow* window = nullptr;
};

}  // namespace

void TestProduction::numberingGoesOnAcrossStopRunAndInTheLog()
{
    QTemporaryDir scratch;
    const QString log = scratch.filePath(QStringLiteral("run.csv"));
    {
        GuiHarness h(QStringLiteral("tray=") + scratch.filePath(QStringLiteral("tray")));
        QVERIFY(h.started);
        ProductionWindow* w = OpenWindow(h);
        QVERIFY(w);
        // Without a log: Stop Run keeps the table and counters, and the next
        // run goes on from the table's last chip.
        GuiHarness::Click(w->NextChipButton());
        GuiHarness::Click(w->StopButton());
        QVERIFY(!w->RunGoing());
        QCOMPARE(w->Records()->rowCount(), 1);
        QCOMPARE(w->CountersLabel()->text(), QStringLiteral("Passed: 1    Failed: 0"));
        GuiHarness::Click(w->NextChipButton());
        QVERIFY(w->ResultLabel()->text().startsWith(QStringLiteral("chip 2: passed")));
        GuiHarness::Click(w->StopButton());

        // With a log: its chips go on from there across Stop Run too.
        w->LogFile()->setText(log);
        GuiHarness::Click(w->NextChipButton());
        GuiHarness::Click(w->StopButton());
        GuiHarness::Click(w->NextChipButton());
        GuiHarness::Click(w->StopButton());
        QCOMPARE(Column(w->Records(), 0), (QStringList{"1", "2", "3", "4"}));
        w->close();
    }
    QFile first(log);
    QVERIFY(first.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = first.readAll().split('\n');
    QCOMPARE(lines.size(), 4);  // the header, two records and the last line end
    QVERIFY(lines[1].contains(",3,"));
    QVERIFY(lines[2].contains(",4,"));

    // Another day, the same log: its records show greyed, the numbering goes on.
    GuiHarness h(QStringLiteral("tray=") + scratch.filePath(QStringLiteral("tray2")));
    QVERIFY(h.started);
    ProductionWindow* w = OpenWindow(h);
    QVERIFY(w);
    w->LogFile()->setText(log);
    GuiHarness::Click(w->NextChipButton());
    QCOMPARE(Column(w->Records(), 0), (QStringList{"3", "4", "5"}));
    const QColor grey = w->Records()->item(0, 0)->foreground().color();
    QCOMPARE(grey, w->palette().color(QPalette::Disabled, QPalette::Text));
    QVERIFY(w->Records()->item(2, 0)->foreground().color() != grey);
    QVERIFY(w->ResultLabel()->text().startsWith(QStringLiteral("chip 5: passed")));
    w->close();
}

void TestProduction::aFailedChipWaitsForNobody()
{
    QTemporaryDir scratch;
    const QString tray = scratch.filePath(QStringLiteral("tray"));
    GuiHarness h(QStringLiteral("tray=") + tray);
    QVERIFY(h.started);
    ProductionWindow* w = OpenWindow(h);
    QVERIFY(w);
    // Chip 1 was used: a programmed byte fails its blank check.
    QVERIFY(QDir().mkpath(tray));
    QByteArray used(0x80000, '\xFF');
    used[0x2B1] = '\x00';
    QFile usedFile(tray + QStringLiteral("/chip-1.bin"));
    QVERIFY(usedFile.open(QIODevice::WriteOnly));
    usedFile.write(used);
    usedFile.close();

    // Without anyone to answer, the box would stay until OK: none may come.
    h.app->Ui().SetAnswerer(nullptr);
    bool boxCame = false;
    QTimer watchdog;
    watchdog.setInterval(50);
    QObject::connect(&watchdog, &QTimer::timeout, [&] {
        if (QWidget* box = QApplication::activeModalWidget()) {
            boxCame = true;
            box->close();
        }
    });
    watchdog.start();
    GuiHarness::Click(w->NextChipButton());
    watchdog.stop();
    h.app->Ui().SetAnswerer(&h.answerer);
    QVERIFY(!boxCame);
    QCOMPARE(w->Records()->rowCount(), 1);
    QCOMPARE(w->Records()->item(0, 4)->text(), QStringLiteral("failed"));
    QCOMPARE(w->Records()->item(0, 5)->text(), QStringLiteral("blank"));
    QCOMPARE(w->Records()->item(0, 6)->text(), QStringLiteral("0x002B1"));
    QCOMPARE(w->Records()->item(0, 4)->foreground().color(), QColor(0xc8, 0x1e, 0x1e));
    QVERIFY(w->Records()->item(0, 4)->toolTip().contains(QStringLiteral("Error Occured")));
    QVERIFY(w->RunGoing());

    // An operator who takes their time over the box's text: the chip's
    // seconds leave that out; Close waits and says why; Stop ends the run
    // after the chip.
    QFile again(tray + QStringLiteral("/chip-2.bin"));
    QVERIFY(again.open(QIODevice::WriteOnly));
    again.write(used);
    again.close();
    SlowAnswerer slow;
    slow.window = w;
    h.app->Ui().SetAnswerer(&slow);
    GuiHarness::Click(w->NextChipButton());
    h.app->Ui().SetAnswerer(&h.answerer);
    QVERIFY(slow.messages.contains(QStringLiteral("Error Occured")));
    QCOMPARE(w->Records()->rowCount(), 2);
    QVERIFY2(w->Records()->item(1, 7)->text().toDouble() < 1.0, qPrintable(w->Records()->item(1, 7)->text()));
    QVERIFY(w->isVisible());
    QVERIFY(w->NoteLabel()->text().contains(QStringLiteral("being programmed")) ||
            w->NoteLabel()->text().contains(QStringLiteral("Error Occured")));
    QVERIFY(!w->RunGoing());
    QCOMPARE(w->StopButton()->text(), QStringLiteral("Stop Run"));
}

void TestProduction::enterInAFieldStartsNoChip()
{
    QTemporaryDir scratch;
    GuiHarness h(QStringLiteral("tray=") + scratch.filePath(QStringLiteral("tray")));
    QVERIFY(h.started);
    ProductionWindow* w = OpenWindow(h);
    QVERIFY(w);
    w->SerialStart()->setFocus();
    QTest::keyClick(w->SerialStart(), Qt::Key_Return);
    QTest::keyClick(w->LogFile(), Qt::Key_Enter);
    QVERIFY(!w->RunGoing());
    QCOMPARE(w->Records()->rowCount(), 0);
    QVERIFY(w->focusWidget() != w->SerialStart());  // Enter left the field
    // Enter on Next Chip starts the chip.
    w->NextChipButton()->setFocus();
    QTest::keyClick(w, Qt::Key_Return);
    QCOMPARE(w->Records()->rowCount(), 1);
    QVERIFY(w->ChipProgress()->maximum() == 100);
    w->close();
}

void TestProduction::badFieldsAreNamed()
{
    QTemporaryDir scratch;
    GuiHarness h(QStringLiteral("tray=") + scratch.filePath(QStringLiteral("tray")));
    QVERIFY(h.started);
    ProductionWindow* w = OpenWindow(h);
    QVERIFY(w);
    w->SerialBox()->setChecked(true);
    const struct {
        const char* address;
        const char* start;
        const char* step;
        const char* said;
    } cases[] = {
        {"0x7FF0", "12x", "1", "First number: not a number"},
        {"zz", "1", "1", "Address: not a number from 0 to 0xFFFFFF"},
        {"0x7FF0", "1", "0", "Step: not a number from 1 up"},
        {"0xFFFFFE", "1", "1", "Address: the number would run past the end of the 16 MiB buffer"},
    };
    for (const auto& c : cases) {
        w->SerialAddress()->setText(QString::fromLatin1(c.address));
        w->SerialStart()->setText(QString::fromLatin1(c.start));
        w->SerialStep()->setText(QString::fromLatin1(c.step));
        GuiHarness::Click(w->NextChipButton());
        QVERIFY(!w->RunGoing());
        QCOMPARE(h.answerer.Take(), QStringList{QString::fromLatin1(c.said)});
    }
    w->SerialStart()->setText(QStringLiteral("5000000000"));
    w->SerialAddress()->setText(QStringLiteral("0x7FF0"));
    w->SerialStep()->setText(QStringLiteral("1"));
    GuiHarness::Click(w->NextChipButton());
    QVERIFY(h.answerer.Take().join(QString()).startsWith(QStringLiteral("First number: serial 5000000000 does not fit")));
}

}  // namespace vexo::gui::test

QTEST_MAIN(vexo::gui::test::TestProduction)
#include "test_production.moc"
