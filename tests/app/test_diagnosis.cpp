// SPDX-License-Identifier: GPL-3.0-or-later
// The Tools menu's compare and erase check: the report window, its table,
// its CSV, and the double-click that scrolls the hex view.
#include <QAbstractItemModel>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTableView>

#include "app/command_ids.h"
#include "dialogs/chip_map.h"
#include "dialogs/diagnosis_report.h"
#include "gui_harness.h"
#include "session/session.h"
#include "view/vexowriter_view.h"

using namespace vexo::gui;
using vexo::gui::test::GuiHarness;

class DiagnosisTest : public QObject {
    Q_OBJECT
private slots:
    void compareShowsEveryDifference();
    void eraseCheckListsProgrammedBytes();
    void noModuleIsABox();
    void openAddressLineShowsOnTheMap();
    void outOfDateAndRefresh();
    void weakChipGetsTheRetryHint();
    void copyTakesTheSelectedRows();
    void reportsOpenBesideTheMainWindow();
};

namespace {

constexpr int kCompare = vexo::gui::kDiagnosisCommands;
constexpr int kEraseCheck = vexo::gui::kDiagnosisCommands + 1;

// A 27C256 image, erased but for three bytes.
QByteArray SparseImage()
{
    QByteArray image(0x8000, char(0xFF));
    image[0x4003] = char(0x12);
    image[0x5000] = char(0x7F);
    image[0x6001] = char(0x00);
    return image;
}

DiagnosisReport* Report(GuiHarness& gui, const QString& name = QStringLiteral("DiagnosisReport"))
{
    return gui.Frame()->findChild<DiagnosisReport*>(name);
}
DiagnosisReport* EraseReport(GuiHarness& gui) { return Report(gui, QStringLiteral("EraseCheckReport")); }

QString Cell(QTableView* table, int row, int column)
{
    return table->model()->index(row, column).data().toString();
}

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

void DiagnosisTest::compareShowsEveryDifference()
{
    GuiHarness gui;
    QVERIFY(gui.started);
    const QByteArray image = SparseImage();
    QVERIFY(gui.Rom().LoadFile(vexo::gui::ToCore(gui.WriteFile(QStringLiteral("img.bin"), image))));
    const std::string endBefore = gui.app->TheSession().Panel().m_strEndAddr;
    gui.answerer.Take();

    gui.Frame()->Action(kCompare)->trigger();
    DiagnosisReport* report = Report(gui);
    QVERIFY(report);
    QVERIFY(report->isVisible());
    QVERIFY(!report->isModal());
    QVERIFY(gui.answerer.Take().isEmpty());
    QCOMPARE(report->Summary(),
             QStringLiteral("compare: 3 bytes differ in 0x00000-0x07FFF (3 need programming, 0 need erasing)"));
    // The buffer and the panel are what they were: the read went to scratch memory.
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(gui.Rom().m_Buffer.get()), 0x8000), image);
    QCOMPARE(gui.app->TheSession().Panel().m_strEndAddr, endBefore);

    QTableView* table = report->Table();
    QCOMPARE(table->model()->rowCount(), 3);
    QCOMPARE(Cell(table, 0, 0), QStringLiteral("0x04003"));
    QCOMPARE(Cell(table, 0, 1), QStringLiteral("12"));
    QCOMPARE(Cell(table, 0, 2), QStringLiteral("FF"));
    QCOMPARE(Cell(table, 0, 3), QStringLiteral("11101101"));
    QCOMPARE(Cell(table, 0, 4), QStringLiteral("needs programming"));
    QVERIFY(report->Text().contains(QStringLiteral("0x05000: buffer 7F, chip FF (needs programming)\n")));

    // A double-click on a row chooses its address, and the hex view brings
    // that row to the top.
    QVERIFY(QTest::qWaitForWindowExposed(report));
    QSignalSpy chosen(report, &DiagnosisReport::addressChosen);
    const QRect cell = table->visualRect(table->model()->index(1, 0));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, cell.center());
    QCOMPARE(chosen.count(), 1);
    QCOMPARE(chosen.at(0).at(0).value<quint32>(), quint32(0x5000));
    QCOMPARE(gui.app->m_pView->FirstDrawnOffset(), 0x5000);

    const QString csv = gui.dir.filePath(QStringLiteral("diffs.csv"));
    QVERIFY(report->SaveCsv(vexo::gui::ToCore(csv)).ok());
    QCOMPARE(ReadAll(csv).count('\n'), 4);  // the header and three rows
    // The chip file is held by the session: no CSV over it.
    const QString chip = gui.dir.filePath(QStringLiteral("chip.bin"));
    const QByteArray chipBefore = ReadAll(chip);
    QVERIFY(!report->SaveCsv(vexo::gui::ToCore(chip)).ok());
    QCOMPARE(ReadAll(chip), chipBefore);

    // Shown again, the same window with the new report.
    QVERIFY(gui.Rom().WriteRom());
    gui.Frame()->Action(kCompare)->trigger();
    QCOMPARE(Report(gui), report);
    QCOMPARE(report->Summary(), QStringLiteral("compare: chip matches buffer in 0x00000-0x07FFF"));
    QCOMPARE(report->Table()->model()->rowCount(), 0);
}

void DiagnosisTest::eraseCheckListsProgrammedBytes()
{
    GuiHarness gui;
    QVERIFY(gui.started);
    gui.Frame()->Action(kEraseCheck)->trigger();
    DiagnosisReport* report = EraseReport(gui);
    QVERIFY(report && report->isVisible());
    QCOMPARE(report->Summary(), QStringLiteral("erase-check: all 32768 bytes erased"));

    QVERIFY(gui.Rom().LoadFile(vexo::gui::ToCore(gui.WriteFile(QStringLiteral("img.bin"), SparseImage()))));
    QVERIFY(gui.Rom().WriteRom());
    gui.Frame()->Action(kEraseCheck)->trigger();
    QCOMPARE(report->Summary(),
             QStringLiteral("erase-check: 15 bits in 3 bytes still programmed, first 0x04003, last 0x06001"));
    QTableView* table = report->Table();
    QCOMPARE(table->model()->rowCount(), 3);
    QCOMPARE(table->model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Erased"));
    QCOMPARE(Cell(table, 2, 0), QStringLiteral("0x06001"));
    QCOMPARE(Cell(table, 2, 3), QStringLiteral("11111111"));
    QCOMPARE(Cell(table, 2, 4), QStringLiteral("needs erasing"));
}

void DiagnosisTest::noModuleIsABox()
{
    GuiHarness gui(QStringLiteral("module=absent"));
    gui.answerer.Take();
    if (QAction* compare = gui.Frame() ? gui.Frame()->Action(kCompare) : nullptr) {
        compare->trigger();
        QCOMPARE(gui.answerer.Take(), QStringList{QStringLiteral("compare: no module answers on the port")});
        QVERIFY(!Report(gui)->isVisible());
    } else {
        QSKIP("the program does not start without a module");
    }
}

// A 27C256 socket with A14 open: the upper half of the chip answers with
// the lower half. The map shows the upper half differing and hatches it,
// and the finding names the line in words; a click on the map goes there.
void DiagnosisTest::openAddressLineShowsOnTheMap()
{
    GuiHarness gui(QStringLiteral("addr-open=14"));
    QVERIFY(gui.started);
    // A pattern in the lower half, the upper half blank: programmed through
    // the open line, the chip holds the pattern, and reads it in both halves.
    QByteArray image(0x8000, char(0xFF));
    for (int a = 0; a < 0x4000; ++a) image[a] = char(a ^ (a >> 8));
    QVERIFY(gui.app->TheSession().OpenImage(vexo::gui::ToCore(gui.WriteFile(QStringLiteral("img.bin"), image))));
    static_cast<void>(gui.Rom().WriteRom());
    gui.answerer.Take();
    gui.Frame()->Action(kCompare)->trigger();
    DiagnosisReport* report = Report(gui);
    QVERIFY(report && report->isVisible());
    QCOMPARE(report->Findings(), QStringList{QStringLiteral("finding: address line A14 has no effect")});
    QVERIFY2(report->Words().contains(QStringLiteral("Address line A14 makes no difference")),
             qPrintable(report->Words()));
    QVERIFY(report->Words().contains(QStringLiteral(" of 32768 bytes differ from the buffer")));

    ChipMap* map = report->Map();
    QCOMPARE(map->CellCount(), ChipMap::kCells);
    const int half = map->CellOf(0x4000);
    QCOMPARE(half, ChipMap::kCells / 2);
    for (int cell = 0; cell < map->CellCount(); ++cell) {
        QCOMPARE(map->Share(cell) > 0, cell >= half);
        QCOMPARE(map->Marked(cell), cell >= half);
    }
    QVERIFY(map->CellText(half).startsWith(QStringLiteral("0x04000-0x04007: 8 of 8 bytes differing")));

    QVERIFY(QTest::qWaitForWindowExposed(report));
    QSignalSpy chosen(report, &DiagnosisReport::addressChosen);
    const int cell = map->CellOf(0x6000);
    QTest::mouseClick(map, Qt::LeftButton, {}, map->CellRect(cell).center());
    QCOMPARE(chosen.count(), 1);
    QCOMPARE(chosen.at(0).at(0).value<quint32>(), quint32(0x6000));
    QCOMPARE(gui.app->m_pView->FirstDrawnOffset(), 0x6000);
}

// Programming the chip or changing the buffer puts "out of date" in the
// title; Refresh makes the report anew. An erase check ignores the buffer.
void DiagnosisTest::outOfDateAndRefresh()
{
    GuiHarness gui;
    QVERIFY(gui.started);
    vexo::Session& session = gui.app->TheSession();
    QVERIFY(session.OpenImage(vexo::gui::ToCore(gui.WriteFile(QStringLiteral("img.bin"), SparseImage()))));
    gui.Frame()->Action(kCompare)->trigger();
    gui.Frame()->Action(kEraseCheck)->trigger();
    DiagnosisReport* report = Report(gui);
    DiagnosisReport* erased = EraseReport(gui);
    QVERIFY(report != erased && report->isVisible() && erased->isVisible());
    QCOMPARE(report->windowTitle(), QStringLiteral("Compare Chip with Buffer"));

    QVERIFY(session.FillBuffer({0x10, 0x10}, 0x00).ok());
    report->CheckUpToDate();
    erased->CheckUpToDate();
    QCOMPARE(report->windowTitle(), QStringLiteral("Compare Chip with Buffer (out of date)"));
    QCOMPARE(report->Stale(), QStringLiteral("the buffer changed since"));
    QCOMPARE(erased->windowTitle(), QStringLiteral("Erase Check"));
    // Undone, the buffer is what the report was made from again.
    QVERIFY(session.Undo().ok());
    report->CheckUpToDate();
    QCOMPARE(report->windowTitle(), QStringLiteral("Compare Chip with Buffer"));

    QVERIFY(session.WriteRom());
    gui.answerer.Take();
    report->CheckUpToDate();
    erased->CheckUpToDate();
    QCOMPARE(report->Stale(), QStringLiteral("the chip was programmed since"));
    QVERIFY(erased->windowTitle().endsWith(QStringLiteral("(out of date)")));

    auto* refresh = report->findChild<QPushButton*>(QStringLiteral("Refresh"));
    QVERIFY(refresh);
    QTest::mouseClick(refresh, Qt::LeftButton);
    QCOMPARE(report->windowTitle(), QStringLiteral("Compare Chip with Buffer"));
    QCOMPARE(report->Summary(), QStringLiteral("compare: chip matches buffer in 0x00000-0x07FFF"));
    QVERIFY(report->Words().startsWith(QStringLiteral("The chip matches the buffer")));

    session.SelectDevice(1);
    QTRY_COMPARE(report->Stale(), QStringLiteral("another device is selected"));
}

// Weak bytes that one pass leaves short: the words suggest retries.
void DiagnosisTest::weakChipGetsTheRetryHint()
{
    GuiHarness gui(QStringLiteral("pulses=20,weak=5,seed=3"));
    QVERIFY(gui.started);
    QByteArray image(0x8000, char(0xFF));
    for (int a = 0; a < 0x1000; ++a) image[a] = char(a & 0x7E);
    QVERIFY(gui.app->TheSession().OpenImage(vexo::gui::ToCore(gui.WriteFile(QStringLiteral("img.bin"), image))));
    static_cast<void>(gui.Rom().WriteRom());
    gui.answerer.Take();
    gui.Frame()->Action(kCompare)->trigger();
    DiagnosisReport* report = Report(gui);
    QVERIFY(report->Table()->model()->rowCount() > 0);
    QVERIFY2(report->Words().endsWith(QStringLiteral("Try again with Retries set in Tools > Options\u2026")),
             qPrintable(report->Words()));

    // A chip that only needs erasing gets no such hint.
    gui.Frame()->Action(kEraseCheck)->trigger();
    QVERIFY(!EraseReport(gui)->Words().contains(QStringLiteral("Retries")));
}

void DiagnosisTest::copyTakesTheSelectedRows()
{
    GuiHarness gui;
    QVERIFY(gui.started);
    QVERIFY(gui.Rom().LoadFile(vexo::gui::ToCore(gui.WriteFile(QStringLiteral("img.bin"), SparseImage()))));
    gui.Frame()->Action(kCompare)->trigger();
    DiagnosisReport* report = Report(gui);
    QTableView* table = report->Table();
    // Rows as high as a line of text.
    QVERIFY(table->rowHeight(0) <= table->fontMetrics().height() + 6);

    auto* copy = report->findChild<QPushButton*>(QStringLiteral("Copy"));
    QTest::mouseClick(copy, Qt::LeftButton);
    QCOMPARE(QApplication::clipboard()->text(), report->Text());

    table->selectionModel()->select(table->model()->index(2, 0),
                                    QItemSelectionModel::Select | QItemSelectionModel::Rows);
    table->selectionModel()->select(table->model()->index(0, 0),
                                    QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QTest::mouseClick(copy, Qt::LeftButton);
    QCOMPARE(QApplication::clipboard()->text(),
             QStringLiteral("0x04003: buffer 12, chip FF (needs programming)\n"
                            "0x06001: buffer 00, chip FF (needs programming)\n"));
}

void DiagnosisTest::reportsOpenBesideTheMainWindow()
{
    const QRect screen(0, 0, 1600, 1200);
    // To the right when it fits, else to the left, else against the right edge.
    QCOMPARE(BesidePosition(QRect(100, 50, 700, 500), QSize(600, 400), screen), QPoint(800, 50));
    QCOMPARE(BesidePosition(QRect(900, 50, 700, 500), QSize(600, 400), screen), QPoint(300, 50));
    QCOMPARE(BesidePosition(QRect(100, 50, 1400, 500), QSize(600, 400), screen), QPoint(1000, 50));
    // Never below the screen's bottom.
    QCOMPARE(BesidePosition(QRect(100, 1000, 700, 100), QSize(600, 400), screen), QPoint(800, 800));

    GuiHarness gui;
    QVERIFY(gui.started);
    gui.Frame()->resize(500, 400);
    gui.Frame()->move(0, 0);
    gui.Frame()->show();
    QVERIFY(QTest::qWaitForWindowExposed(gui.Frame()));
    gui.Frame()->Action(kEraseCheck)->trigger();
    DiagnosisReport* report = EraseReport(gui);
    const QRect room = gui.Frame()->screen()->availableGeometry();
    if (gui.Frame()->frameGeometry().right() + report->frameGeometry().width() <= room.right())
        QVERIFY(!report->frameGeometry().intersects(gui.Frame()->frameGeometry()));
}

QTEST_MAIN(DiagnosisTest)
#include "test_diagnosis.moc"
