// SPDX-License-Identifier: GPL-3.0-or-later
// The settings dialogs as the operator drives them: device type and DIP
// switches, speed, port, save name, blank check; the information panel's
// own OK and Cancel; the DIP pictures.
#include <QFileInfo>
#include <QLineEdit>
#include <QPainter>
#include <QProgressBar>

#include "app/command_ids.h"
#include "dialogs/info_dlg.h"
#include "dialogs/settings_dialogs.h"
#include "gui_harness.h"
#include "res/pictures.h"
#include "rom/catalogue.h"

using namespace vexo::gui;
using vexo::gui::test::GuiHarness;

class DialogsTest : public QObject {
    Q_OBJECT
private slots:
    void captionsAndStartValues();
    void deviceTypeThroughDipSwitch();
    void optionButtonsStayExclusive();
    void speedOkSetsIndexAndPanel();
    void portRefusalKeepsThePanel();
    void saveNameThenSave();
    void blankCheckLeavesTheCountDialogOpen();
    void autoWriteFromTheToolBar();
    void infoPanelOkPullsAndCancelKeeps();
    void dipPicturesFollowTheCatalogue();
};

void DialogsTest::captionsAndStartValues()
{
    GuiHarness gui;
    CVexoWriterApp& app = *gui.app;
    QCOMPARE(app.m_pBlankCheckDlg->windowTitle(), QStringLiteral("Blank Check Dialog"));
    QCOMPARE(app.m_pCountDlg->windowTitle(), QStringLiteral("Disply Count Dialog"));
    QCOMPARE(app.m_pDeviceTypeDlg->windowTitle(), QStringLiteral("Device Type Dialog"));
    QCOMPARE(app.m_pSpeedDlg->windowTitle(), QStringLiteral("Writing Speed Dialog"));
    QCOMPARE(app.m_pPortDlg->windowTitle(), QStringLiteral("Change LPT Port Dialog"));
    QCOMPARE(app.m_pFileNameDlg->windowTitle(), QStringLiteral("Input File Name Dialog"));
    QCOMPARE(app.m_pProgressDlg->windowTitle(), QStringLiteral("SpeedDialog"));
    const char* const dips[] = {"27C256", "27C512", "27C010", "27C020", "27C040"};
    for (int i = 0; i < 5; ++i) {
        QCOMPARE(app.DipDialog(i)->windowTitle(), QStringLiteral("Dip Switch Dialog(%1)").arg(dips[i]));
        QCOMPARE(app.DipDialog(i)->DeviceIndex(), i);
    }
    QCOMPARE(app.m_pSpeedDlg->m_pOption[1]->text(), QStringLiteral("High Speed "));
    QVERIFY(app.m_pDeviceTypeDlg->m_pOption[0]->isChecked());
    QVERIFY(app.m_pSpeedDlg->m_pOption[0]->isChecked());
    QVERIFY(app.m_pPortDlg->m_pOption[0]->isChecked());
    QCOMPARE(app.m_pFileNameDlg->m_pNameEdit->text(), QStringLiteral("default.bin"));
    QCOMPARE(app.m_pProgressDlg->m_ctlProgress->minimum(), 0);
    QCOMPARE(app.m_pProgressDlg->m_ctlProgress->maximum(), 100);
    QCOMPARE(app.m_pProgressDlg->m_ctlProgress->value(), 0);
    QVERIFY(!app.m_pProgressDlg->isVisible());
}

void DialogsTest::deviceTypeThroughDipSwitch()
{
    GuiHarness gui;
    CVexoWriterApp& app = *gui.app;
    CDeviceTypeDlg* type = app.m_pDeviceTypeDlg;
    gui.ClickButton(ID_DEVICE_TYPE);
    QVERIFY(type->isVisible());
    GuiHarness::Click(type->m_pOption[1]);
    QCOMPARE((QList<int>{type->m_b27C256, type->m_b27C512, type->m_b27C010, type->m_b27C020, type->m_b27C040}),
             (QList<int>{0, 1, 0, 0, 0}));
    GuiHarness::Click(type->OkButton());
    QVERIFY(!type->isVisible());
    QVERIFY(app.m_pDip512Dlg->isVisible());
    QVERIFY(!app.m_pDip256Dlg->isVisible());
    // Nothing changes until the switch setting is confirmed.
    QCOMPARE(int(gui.Rom().m_nDevice), 0);
    QCOMPARE(app.m_pInfoDlg->m_pEdit[2]->text(), QStringLiteral("27C256"));

    // Cancel: the device stays, the dialog keeps the choice.
    GuiHarness::Click(app.m_pDip512Dlg->CancelButton());
    QVERIFY(!app.m_pDip512Dlg->isVisible());
    QCOMPARE(int(gui.Rom().m_nDevice), 0);
    QCOMPARE(app.m_pInfoDlg->Model().m_strDevice, std::string("27C256"));
    gui.ClickButton(ID_DEVICE_TYPE);
    QVERIFY(type->m_pOption[1]->isChecked());

    GuiHarness::Click(type->OkButton());
    GuiHarness::Click(app.m_pDip512Dlg->OkButton());
    QCOMPARE(int(gui.Rom().m_nDevice), 1);
    QCOMPARE(app.m_pInfoDlg->m_pEdit[2]->text(), QStringLiteral("27C512"));

    // Device type with 27C040: its own picture dialog, and the device with it.
    gui.ClickButton(ID_DEVICE_TYPE);
    GuiHarness::Click(type->m_pOption[4]);
    GuiHarness::Click(type->OkButton());
    QVERIFY(app.m_pDip040Dlg->isVisible());
    GuiHarness::Click(app.m_pDip040Dlg->OkButton());
    QCOMPARE(int(gui.Rom().m_nDevice), 4);
    QCOMPARE(app.m_pInfoDlg->m_pEdit[2]->text(), QStringLiteral("27C040"));
    QCOMPARE(gui.answerer.messages, QStringList());
}

void DialogsTest::optionButtonsStayExclusive()
{
    GuiHarness gui;
    CPortDlg* port = gui.app->m_pPortDlg;
    gui.ClickButton(ID_LPT_PORT);
    GuiHarness::Click(port->m_pOption[0]);  // already checked
    QVERIFY(port->m_pOption[0]->isChecked());
    QCOMPARE((QList<int>{port->m_bLpt1, port->m_bLpt2, port->m_bLpt3}), (QList<int>{1, 0, 0}));
    GuiHarness::Click(port->m_pOption[2]);
    QCOMPARE((QList<int>{port->m_bLpt1, port->m_bLpt2, port->m_bLpt3}), (QList<int>{0, 0, 1}));
    QVERIFY(!port->m_pOption[0]->isChecked() && !port->m_pOption[1]->isChecked());
    QVERIFY(port->m_pOption[2]->isChecked());
    // Cancel keeps the choice in the dialog only.
    GuiHarness::Click(port->CancelButton());
    QVERIFY(!port->isVisible());
    QCOMPARE(port->m_bLpt3, 1);
    QCOMPARE(gui.answerer.messages, QStringList());
}

void DialogsTest::speedOkSetsIndexAndPanel()
{
    GuiHarness gui;
    CSpeedDlg* speed = gui.app->m_pSpeedDlg;
    gui.ClickButton(ID_CHANGE_SPEED);
    QVERIFY(speed->isVisible());
    GuiHarness::Click(speed->m_pOption[1]);
    GuiHarness::Click(speed->OkButton());
    QVERIFY(!speed->isVisible());
    QCOMPARE(int(gui.Rom().m_nSpeed), 1);
    QCOMPARE(gui.app->m_pInfoDlg->m_pEdit[3]->text(), QStringLiteral("High"));
    gui.ClickButton(ID_CHANGE_SPEED);
    GuiHarness::Click(speed->m_pOption[2]);
    GuiHarness::Click(speed->OkButton());
    QCOMPARE(int(gui.Rom().m_nSpeed), 2);
    QCOMPARE(gui.app->m_pInfoDlg->m_pEdit[3]->text(), QStringLiteral("Express"));
}

void DialogsTest::portRefusalKeepsThePanel()
{
    GuiHarness gui;
    CPortDlg* port = gui.app->m_pPortDlg;
    CInfoDlg* panel = gui.app->m_pInfoDlg;
    // OK at once: LPT1 and the detection's answer.
    gui.ClickButton(ID_LPT_PORT);
    GuiHarness::Click(port->OkButton());
    QCOMPARE(gui.answerer.Take(), QStringList{"Module found!!"});
    QCOMPARE(panel->m_pEdit[0]->text(), QStringLiteral("LPT1 Port"));

    for (int choice : {1, 2}) {
        gui.ClickButton(ID_LPT_PORT);
        GuiHarness::Click(port->m_pOption[choice]);
        GuiHarness::Click(port->OkButton());
        QCOMPARE(gui.answerer.Take(), QStringList{"Module Not found!!"});
        QCOMPARE(int(gui.Rom().m_nPort), 0);
        QCOMPARE(int(gui.Rom().m_bError), 0);
        // The panel keeps naming the port in use.
        QCOMPARE(panel->m_pEdit[0]->text(), QStringLiteral("LPT1 Port"));
    }
}

void DialogsTest::saveNameThenSave()
{
    GuiHarness gui;
    CFileNameDlg* name = gui.app->m_pFileNameDlg;
    const QString target = gui.dir.filePath(QStringLiteral("saved.bin"));
    gui.ClickButton(ID_SAVE_BUFFER);
    QVERIFY(name->isVisible());
    name->m_pNameEdit->clear();
    QTest::keyClicks(name->m_pNameEdit, target);
    QCOMPARE(name->m_strName, target);  // follows every change
    QVERIFY(gui.Rom().m_strSaveName.empty());
    GuiHarness::Click(name->OkButton());
    QVERIFY(!name->isVisible());
    QCOMPARE(gui.answerer.Take(), QStringList{"Save OK !!"});
    QCOMPARE(QString::fromStdString(gui.Rom().m_strSaveName), target);
    QCOMPARE(QFileInfo(target).size(), qint64(0x8000));  // the 27C256's size

    // An empty name goes to the save as it is, which refuses it.
    gui.ClickButton(ID_SAVE_BUFFER);
    name->m_pNameEdit->clear();
    GuiHarness::Click(name->OkButton());
    QCOMPARE(gui.answerer.Take(), QStringList{"Save Failed !!"});
    QVERIFY(gui.Rom().m_strSaveName.empty());
}

void DialogsTest::blankCheckLeavesTheCountDialogOpen()
{
    GuiHarness gui;
    CVexoWriterApp& app = *gui.app;
    gui.ClickButton(ID_BLANK_CHECK);
    QVERIFY(app.m_pBlankCheckDlg->isVisible());
    GuiHarness::Click(app.m_pBlankCheckDlg->CancelButton());
    QVERIFY(!app.m_pBlankCheckDlg->isVisible());
    QVERIFY(!app.m_pCountDlg->isVisible());
    QCOMPARE(gui.answerer.messages, QStringList());

    gui.Sim()->SetChipByte(0x100, 0x00);
    gui.ClickButton(ID_BLANK_CHECK);
    GuiHarness::Click(app.m_pBlankCheckDlg->OkButton());
    QCOMPARE(gui.answerer.Take(), (QStringList{"Error Occured", "Blank Check Failure !!"}));
    QCOMPARE(int(gui.Rom().m_bError), 0);
    QVERIFY(!app.m_pBlankCheckDlg->isVisible());
    QVERIFY(app.m_pCountDlg->isVisible());
    QCOMPARE(app.m_pCountDlg->m_pCountEdit->text(), QString());
}

void DialogsTest::autoWriteFromTheToolBar()
{
    GuiHarness gui;
    QByteArray image(0x8000, '\0');
    for (int i = 0; i < image.size(); ++i) image[i] = char(i * 7 + 3);
    gui.answerer.files = {gui.WriteFile(QStringLiteral("image.bin"), image)};
    gui.ClickButton(ID_OPEN_BIN);
    gui.ClickButton(ID_AUTO_WRITE);
    QCOMPARE(gui.answerer.Take(),
             (QStringList{"Blank check !! Please wait...", "Done !", "Programming now!!  please wait... ",
                          "Done", "Verify now !!   please wait...", "Done!"}));
    for (int i : {0, 1, 0x1234, 0x7FFF}) QCOMPARE(gui.Sim()->ChipByte(std::uint32_t(i)), std::uint8_t(image[i]));
    QCOMPARE(gui.Frame()->m_pHexCountPane->text(), QStringLiteral("Hex Count: 0x8000"));

    gui.ClickButton(ID_VERIFY);
    QCOMPARE(gui.answerer.Take(), (QStringList{"*** Start Verify ***", "*** Verify OK ***"}));
}

void DialogsTest::infoPanelOkPullsAndCancelKeeps()
{
    GuiHarness gui;
    CInfoDlg* panel = gui.app->m_pInfoDlg;
    panel->m_pEdit[1]->setText(QStringLiteral("typed.bin"));
    GuiHarness::Click(panel->CancelButton());
    QVERIFY(!panel->isVisible());
    QCOMPARE(panel->Model().m_strFileName, std::string("default.bin"));

    gui.Frame()->Action(ID_INFO_DIALOG)->trigger();
    QVERIFY(panel->isVisible());
    panel->m_pEdit[1]->setText(QStringLiteral("typed.bin"));
    GuiHarness::Click(panel->OkButton());
    QCOMPARE(panel->Model().m_strFileName, std::string("typed.bin"));
    // The next writer's push replaces what was typed in every field.
    panel->m_pEdit[4]->setText(QStringLiteral("junk"));
    gui.ClickButton(ID_CHANGE_SPEED);
    GuiHarness::Click(gui.app->m_pSpeedDlg->OkButton());
    QCOMPARE(panel->m_pEdit[4]->text(), QStringLiteral("000000H"));
    QCOMPARE(panel->m_pEdit[1]->text(), QStringLiteral("typed.bin"));
}

void DialogsTest::dipPicturesFollowTheCatalogue()
{
    const QColor blue(0x10, 0x30, 0xd0), green(0x10, 0xa0, 0x30);
    for (int device = 0; device < vexo::kDeviceCount; ++device) {
        QImage image(DipPictureSize(device), QImage::Format_RGB32);
        QPainter painter(&image);
        PaintDipSwitches(device, painter);
        painter.end();
        for (int n = 1; n <= 12; ++n) {
            const int x = 6 + 17 * (n - 1) + 6;
            const QColor off = image.pixelColor(x, 4 + 6), on = image.pixelColor(x, 17 + 6);
            const bool switchOn = vexo::kDevices[std::size_t(device)].SwitchOn(n);
            QVERIFY2(switchOn ? on == green && off != blue : off == blue && on != green,
                     qPrintable(QStringLiteral("device %1 switch %2").arg(device).arg(n)));
        }
    }
    QCOMPARE(DipPictureSize(0), QSize(257, 47));
    QCOMPARE(DipPictureSize(4), QSize(256, 47));
}

QTEST_MAIN(DialogsTest)
#include "test_dialogs.moc"
