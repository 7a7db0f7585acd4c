// SPDX-License-Identifier: GPL-3.0-or-later
// A long, seeded random session against the simulated module: tool-bar
// commands, menu items, dialog choices and key presses, every box answered
// at once. Nothing may crash, and the buffer, the information panel and the
// device object must agree with each other throughout.
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>

#include <cstdlib>
#include <random>

#include "app/command_ids.h"
#include "dialogs/info_dlg.h"
#include "dialogs/settings_dialogs.h"
#include "gui_harness.h"
#include "view/vexowriter_view.h"

using namespace vexo;
using namespace vexo::gui;
using namespace vexo::gui::test;

class TestStress : public QObject {
    Q_OBJECT
private slots:
    void randomSession();
};

namespace {

struct Weighted {
    int weight;
    int id;
};

// Commands that start a whole-device pass are rarer, so the run stays short.
constexpr Weighted kCommands[] = {
    {6, ID_OPEN_BIN},     {4, ID_SAVE_BUFFER},   {6, ID_EDIT_BUFFER},  {6, ID_LPT_PORT},
    {8, ID_DEVICE_TYPE},  {2, ID_READ_ROM},      {3, ID_BLANK_CHECK},  {2, ID_WRITE_ROM},
    {2, ID_VERIFY},       {2, ID_AUTO_WRITE},    {6, ID_CHANGE_SPEED}, {3, ID_QUIT},
    {3, ID_VIEW_ROM_BAR}, {2, ID_VIEW_TOOLBAR},  {2, ID_VIEW_STATUS_BAR},
    {4, ID_CLEAR_WINDOW}, {4, ID_INFO_DIALOG},
};

}  // namespace

void TestStress::randomSession()
{
    GuiHarness h;
    QVERIFY(h.started);
    CVexoWriterApp& app = *h.app;
    CRom& rom = h.Rom();
    SimModule* sim = h.Sim();
    QVERIFY(sim);

    std::mt19937 rng(20261207);
    auto pick = [&](int n) { return int(std::uniform_int_distribution<int>(0, n - 1)(rng)); };

    // Images to load: a few sizes, one HEX file, and names that fail.
    QByteArray small(1000, '\0'), big(0x20000, '\0');
    for (auto& b : small) b = char(rng());
    for (auto& b : big) b = char(rng());
    const QStringList files{h.WriteFile("small.bin", small), h.WriteFile("big.bin", big),
                            h.WriteFile("image.hex", ":0400100001020304E2\n:00000001FF\n"),
                            h.dir.filePath("missing.bin"), QString() /* Cancel */};
    const QStringList saveNames{h.dir.filePath("saved.bin"), QString(), h.dir.filePath("no/such/dir.bin"),
                                h.dir.path()};

    int totalWeight = 0;
    for (const auto& c : kCommands) totalWeight += c.weight;
    const QList<ModelessDialog*> dialogs{app.m_pBlankCheckDlg, app.m_pCountDlg,  app.m_pDeviceTypeDlg,
                                          app.m_pDip256Dlg,     app.m_pDip512Dlg, app.m_pDip010Dlg,
                                          app.m_pDip020Dlg,     app.m_pDip040Dlg, app.m_pSpeedDlg,
                                          app.m_pPortDlg,       app.m_pFileNameDlg};

    const int steps = qEnvironmentVariableIntValue("VEXO_STRESS_STEPS") > 0
                          ? qEnvironmentVariableIntValue("VEXO_STRESS_STEPS")
                          : 2000;
    for (int step = 0; step < steps; ++step) {
        h.answerer.files = QStringList{files[pick(files.size())]};
        h.answerer.answers = {false};  // the exit question: No
        const int kind = pick(10);
        if (kind < 5) {
            int r = pick(totalWeight);
            int id = kCommands[0].id;
            for (const auto& c : kCommands) {
                if (r < c.weight) {
                    id = c.id;
                    break;
                }
                r -= c.weight;
            }
            h.Frame()->Action(id)->trigger();
        } else if (kind < 8) {
            // A visible dialog: an option, OK or Cancel.
            QList<ModelessDialog*> shown;
            for (auto* d : dialogs)
                if (d->isVisible()) shown << d;
            if (shown.isEmpty()) continue;
            ModelessDialog* d = shown[pick(shown.size())];
            const auto options = d->findChildren<QRadioButton*>();
            const int choice = pick(4);
            if (choice == 0 && !options.isEmpty()) {
                GuiHarness::Click(options[pick(options.size())]);
            } else if (choice == 1) {
                GuiHarness::Click(d->CancelButton());
            } else {
                if (d == app.m_pFileNameDlg) {
                    auto* edit = d->findChild<QLineEdit*>();
                    edit->clear();
                    QTest::keyClicks(edit, saveNames[pick(saveNames.size())]);
                }
                GuiHarness::Click(d->OkButton());
            }
        } else {
            QTest::keyClick(app.m_pView, pick(2) ? Qt::Key_Down : Qt::Key_Up);
        }
        QCoreApplication::processEvents();

        // What must hold between any two operator actions.
        QCOMPARE(int(rom.m_bError), 0);
        QCOMPARE(int(rom.m_nPort), 0);
        QCOMPARE(app.m_pInfoDlg->Model().m_strPort, std::string("LPT1 Port"));
        QCOMPARE(app.m_pInfoDlg->Model().m_strDevice, std::string(kDevices[rom.m_nDevice].name));
        QCOMPARE(app.m_pInfoDlg->Model().m_strSpeed, std::string(kSpeeds[rom.m_nSpeed].name));
        QCOMPARE(rom.m_bEndFound, 0);
        const CVexoWriterView& view = *app.m_pView;
        QVERIFY(view.m_nEndOffset >= 0 && view.m_nEndOffset <= std::int32_t(kBufferSize));
        QVERIFY(view.m_nStartOffset >= 0 && view.m_nStartOffset <= view.m_nEndOffset);
        QVERIFY(rom.m_nLength >= 0 && rom.m_nLength <= std::int32_t(kBufferSize));

        const QStringList said = h.answerer.Take();
        if (said.isEmpty()) continue;
        const QString last = said.last();
        const std::uint32_t size = rom.DeviceSize();
        // A completed read or write leaves the buffer and the chip equal.
        if (last == QLatin1String("Reading OK") || last == QLatin1String("Done!") ||
            last == QLatin1String("*** Writing OK ***") || last == QLatin1String("*** Verify OK ***") ||
            last == QLatin1String("Save OK !!")) {
            for (std::uint32_t a = 0; a < size; a += 97)
                QCOMPARE(rom.m_Buffer[a], sim->ChipByte(a));
            QVERIFY(rom.ImageLoaded());
        }
        if (last == QLatin1String("Save OK !!")) {
            QFile saved(QString::fromStdString(rom.m_strSaveName));
            QVERIFY(saved.open(QIODevice::ReadOnly));
            QCOMPARE(saved.size(), qint64(size));
        }
        // Chips only lose bits; start again from an erased one now and then.
        if (pick(8) == 0) sim->Erase();
    }
    QVERIFY(h.Frame()->isVisible());
}

QTEST_MAIN(TestStress)
#include "test_stress.moc"
