// SPDX-License-Identifier: GPL-3.0-or-later
// The dump tools in the desktop program: Read ROM over several passes (its
// Options setting and the report of unstable bytes), Inspect Buffer and
// Identify with the DAT paths kept in Options.
#include <QMenu>
#include <QPlainTextEdit>
#include <QSettings>
#include <QSpinBox>

#include "app/command_ids.h"
#include "dialogs/chip_map.h"
#include "dialogs/dump_report.h"
#include "dialogs/real_port_dialogs.h"
#include "gui_harness.h"
#include "rom/checksum.h"
#include "rom/rom_hashes.h"
#include "session/session.h"

using namespace vexo::gui;
using vexo::gui::test::GuiHarness;

namespace {

QAction* ToolsAction(CMainFrame* frame, const QString& text)
{
    for (QAction* action : frame->m_pToolsMenu->actions())
        if (action->text() == text) return action;
    return nullptr;
}

DumpReport* Report(GuiHarness& gui) { return gui.Frame()->findChild<DumpReport*>(QStringLiteral("DumpReport")); }

// Sets the dump options as the operator does, through the dialog's OK.
void SetOptions(GuiHarness& gui, int passes, const QString& dats)
{
    ToolsAction(gui.Frame(), QStringLiteral("Options\u2026"))->trigger();
    auto* dialog = gui.Frame()->findChild<OptionsDialog*>();
    QVERIFY(dialog && dialog->isVisible());
    dialog->m_readPasses->setValue(passes);
    dialog->m_datPaths->setPlainText(dats);
    dialog->accept();
}

}  // namespace

class DumpsTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup()
    {
        QSettings profile(QString::fromUtf8(kCompanyKey.data()), QString::fromUtf8(kAppTitle.data()));
        profile.remove(QStringLiteral("Settings/ReadPasses"));
        profile.remove(QStringLiteral("Settings/DatPaths"));
    }
    void readPassesEndInTheReport();
    void inspectBufferShowsItsLines();
    void identifyUsesTheKeptDats();
};

void DumpsTest::readPassesEndInTheReport()
{
    {
        GuiHarness gui(QStringLiteral("flaky=64,seed=9"));
        QVERIFY(gui.started);
        // One pass, as designed: no report.
        gui.Frame()->Action(ID_READ_ROM)->trigger();
        QVERIFY(!Report(gui) || !Report(gui)->isVisible());
        QCOMPARE(gui.answerer.Take(), (QStringList{QStringLiteral("*** Start Reading ***"), QStringLiteral("Reading OK")}));

        SetOptions(gui, 3, QString());
        QCOMPARE(gui.app->TheSession().ReadPasses(), 3u);
        gui.app->TheSession().SelectPort(1);  // Read ROM reads after a port selection
        gui.answerer.Take();
        gui.Frame()->Action(ID_READ_ROM)->trigger();
        DumpReport* report = Report(gui);
        QVERIFY(report && report->isVisible());
        const QStringList lines = report->Lines();
        QVERIFY(lines.size() >= 2);
        QVERIFY(lines.first().contains(QStringLiteral(": reads ")));
        QVERIFY(lines.last().startsWith(QStringLiteral("read: ")));
        QVERIFY(lines.last().contains(QStringLiteral(" over 3 passes")));
        ChipMap* map = report->Map();
        int marked = 0;
        for (int cell = 0; cell < map->CellCount(); ++cell) marked += map->Share(cell) > 0;
        QVERIFY(marked >= 1);
    }
    // Kept for the next start.
    GuiHarness again;
    QCOMPARE(again.app->TheSession().ReadPasses(), 3u);
}

void DumpsTest::inspectBufferShowsItsLines()
{
    GuiHarness gui;
    QByteArray image(0x4000, char(0x5A));
    for (int i = 0; i < image.size(); ++i) image[i] = char(i * 7 + (i >> 8));
    image += QByteArray(0x4000, char(0xFF));
    QVERIFY(gui.Rom().LoadFile(ToCore(gui.WriteFile(QStringLiteral("img.bin"), image))));
    ToolsAction(gui.Frame(), QStringLiteral("&Inspect Buffer"))->trigger();
    DumpReport* report = Report(gui);
    QVERIFY(report && report->isVisible());
    QVERIFY(report->Lines().first().startsWith(QStringLiteral("inspect: 0x00000-0x07FFF, 32768 bytes, crc32 0x")));
    QCOMPARE(report->Lines().last(), QStringLiteral("inspect: 0x04000-0x07FFF is all FF"));
    // The upper half is one run of FF: its cells full, the lower half's empty.
    ChipMap* map = report->Map();
    QCOMPARE(map->Share(0), 0.0);
    QCOMPARE(map->Share(map->CellCount() - 1), 1.0);
    QCOMPARE(map->Share(map->CellCount() / 2), 1.0);
    QCOMPARE(map->Share(map->CellCount() / 2 - 1), 0.0);
}

void DumpsTest::identifyUsesTheKeptDats()
{
    GuiHarness gui;
    QAction* identify = ToolsAction(gui.Frame(), QStringLiteral("I&dentify\u2026"));
    QVERIFY(identify);
    gui.answerer.Take();
    identify->trigger();
    const QStringList boxes = gui.answerer.Take();
    QCOMPARE(boxes.size(), 1);
    QVERIFY(boxes[0].startsWith(QStringLiteral("identify: no DAT files")));

    QByteArray image(0x8000, char(0));
    for (int i = 0; i < image.size(); ++i) image[i] = char(i * 13 + (i >> 9));
    QVERIFY(gui.Rom().LoadFile(ToCore(gui.WriteFile(QStringLiteral("img.bin"), image))));
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(image.constData());
    const QString dat = gui.WriteFile(
        QStringLiteral("set.dat"),
        QStringLiteral("game ( name board description \"A board\" rom ( name u1 size 32768 crc %1 sha1 %2 ) )\n")
            .arg(vexo::Crc32(bytes, 0x8000), 8, 16, QLatin1Char('0'))
            .arg(FromCore(vexo::Sha1Hex(vexo::Sha1({bytes, 0x8000}))))
            .toUtf8());
    SetOptions(gui, 1, dat + QStringLiteral("\n"));
    QCOMPARE(gui.app->TheSession().DatPaths().size(), std::size_t(1));
    identify->trigger();
    DumpReport* report = Report(gui);
    QVERIFY(report && report->isVisible());
    QVERIFY(report->Lines().first().startsWith(
        QStringLiteral("identify: 0x00000-0x07FFF matches \"u1\" of board (A board), 32768 bytes")));
}

QTEST_MAIN(DumpsTest)
#include "test_dumps.moc"
