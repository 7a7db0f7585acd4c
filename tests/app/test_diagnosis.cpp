// SPDX-License-Identifier: GPL-3.0-or-later
// The Tools menu's compare and erase check: the report window, its table,
// its CSV, and the double-click that scrolls the hex view.
#include <QAbstractItemModel>
#include <QSignalSpy>
#include <QTableView>

#include "app/command_ids.h"
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

DiagnosisReport* Report(GuiHarness& gui) { return gui.Frame()->findChild<DiagnosisReport*>(QStringLiteral("DiagnosisReport")); }

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
    DiagnosisReport* report = Report(gui);
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

QTEST_MAIN(DiagnosisTest)
#include "test_diagnosis.moc"
