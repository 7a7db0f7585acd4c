// SPDX-License-Identifier: GPL-3.0-or-later
// The Tools menu's real port commands: the options kept and applied, Find
// Part opening the right DIP-switch dialog, the port check's window, and the
// time left in the status bar's message pane during a pass.
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QSettings>
#include <QSpinBox>
#include <QTimer>

#include "app/command_ids.h"
#include "app/vexowriter_app.h"
#include "dialogs/real_port_dialogs.h"
#include "dialogs/settings_dialogs.h"
#include "gui_harness.h"
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

void ForgetStoredOptions()
{
    QSettings profile(CVexoWriterApp::ProfilePath(), QSettings::NativeFormat);
    profile.remove(QStringLiteral("Settings/Retries"));
    profile.remove(QStringLiteral("Settings/PulseMicros"));
    profile.remove(QStringLiteral("Settings/SkipBlank"));
}

}  // namespace

class RealPortTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { ForgetStoredOptions(); }
    void optionsPersistAndApply();
    void findPartOpensItsDipDialog();
    void portCheckShowsTheReport();
    void statusBarShowsTheTimeLeft();
    void portCheckOnTheSimulatorListsNoProblems();
    void optionsRefuseOutOfRange();
    void findPartAnswersInTheDialog();
};

void RealPortTest::optionsPersistAndApply()
{
    ForgetStoredOptions();
    {
        GuiHarness gui;
        QVERIFY(gui.started);
        QCOMPARE(gui.app->TheSession().Settings().pulseMicros, 0u);  // off by default
        QAction* action = ToolsAction(gui.Frame(), QStringLiteral("Options\u2026"));
        QVERIFY(action);
        action->trigger();
        auto* dialog = gui.Frame()->findChild<OptionsDialog*>();
        QVERIFY(dialog && dialog->isVisible());
        QCOMPARE(dialog->m_retries->maximum(), 100);
        QCOMPARE(dialog->m_pulseMicros->maximum(), 10000);
        dialog->m_retries->setValue(3);
        dialog->m_pulseMicros->setValue(120);
        dialog->m_skipBlank->setChecked(true);
        dialog->accept();
        const vexo::ProgramSettings& now = gui.app->TheSession().Settings();
        QCOMPARE(now.retries, 3);
        QCOMPARE(now.pulseMicros, 120u);
        QVERIFY(now.skipBlank);
        QCOMPARE(gui.Rom().PulseMicros(), 120u);
        QVERIFY(gui.Rom().SkipBlank());
    }
    // The next start applies what was kept.
    GuiHarness again;
    QCOMPARE(again.Rom().m_retries, 3);
    QCOMPARE(again.Rom().PulseMicros(), 120u);
    QVERIFY(again.Rom().SkipBlank());
    // Cancel changes nothing.
    ToolsAction(again.Frame(), QStringLiteral("Options\u2026"))->trigger();
    auto* dialog = again.Frame()->findChild<OptionsDialog*>();
    QCOMPARE(dialog->m_pulseMicros->value(), 120);
    dialog->m_pulseMicros->setValue(0);
    dialog->reject();
    QCOMPARE(again.Rom().PulseMicros(), 120u);
}

void RealPortTest::findPartOpensItsDipDialog()
{
    GuiHarness gui;
    ToolsAction(gui.Frame(), QStringLiteral("Find Part\u2026"))->trigger();
    auto* find = gui.Frame()->findChild<FindPartDialog*>();
    QVERIFY(find && find->isVisible());

    find->Edit()->setText(QStringLiteral("27C521"));
    find->accept();
    QVERIFY(find->isVisible());  // unknown: stays, with the closest
    QVERIFY(find->Answer().contains(QStringLiteral("27C512")));
    for (int d = 0; d < 5; ++d) QVERIFY(!gui.app->DipDialog(d)->isVisible());

    find->Edit()->setText(QStringLiteral("W27C512-45Z"));
    find->accept();
    QVERIFY(!find->isVisible());
    QVERIFY(gui.app->DipDialog(1)->isVisible());
    QVERIFY(gui.Frame()->m_pMessagePane->text().contains(QStringLiteral("cannot erase")));
    // The note's line is the command line's: the part's family first.
    QVERIFY(gui.Frame()->m_pMessagePane->text().contains(QStringLiteral("W27C512: electrically erasable")));
    // The DIP dialog's OK selects the device, as after Device Type.
    gui.app->DipDialog(1)->accept();
    QCOMPARE(int(gui.Rom().m_nDevice), 1);
}

void RealPortTest::portCheckShowsTheReport()
{
    GuiHarness gui;
    ToolsAction(gui.Frame(), QStringLiteral("Port Check"))->trigger();
    auto* window = gui.Frame()->findChild<PortCheckWindow*>();
    QVERIFY(window && window->isVisible());
    QVERIFY(window->Text().contains(QStringLiteral("ok: port opened: simulated module")));
    QVERIFY(window->Text().contains(QStringLiteral("ok: a programming module answers on this port")));
    QVERIFY(window->Text().contains(QStringLiteral("time each command takes on this port")));
    QVERIFY(gui.answerer.messages.isEmpty());
}

void RealPortTest::statusBarShowsTheTimeLeft()
{
    GuiHarness gui;
    QByteArray image(0x8000, '\x5A');
    gui.answerer.files << gui.WriteFile(QStringLiteral("image.bin"), image);
    vexo::Session& session = gui.app->TheSession();
    session.SelectDevice(0);
    session.SelectSpeed(2);
    QVERIFY(session.SetProgramSettings({0, 10, false}).ok());
    QVERIFY(session.OpenImage());
    QCOMPARE(gui.Frame()->m_pMessagePane->text(), QStringLiteral("Ready"));

    QStringList seen, hexSeen;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        seen << gui.Frame()->m_pMessagePane->text();
        hexSeen << gui.Frame()->m_pHexCountPane->text();
    });
    sampler.start(50);
    gui.Frame()->Action(ID_WRITE_ROM)->trigger();
    sampler.stop();

    const QStringList programming = seen.filter(QStringLiteral("Programming "));
    QVERIFY2(!programming.isEmpty(), qPrintable(seen.join(QLatin1Char('|'))));
    QVERIFY2(!programming.filter(QStringLiteral(" left")).isEmpty(), qPrintable(programming.join(QLatin1Char('|'))));
    for (const QString& hex : hexSeen) QVERIFY2(!hex.contains(QStringLiteral("Programming")), qPrintable(hex));
    QCOMPARE(gui.Frame()->m_pMessagePane->text(), QStringLiteral("Ready"));
}

void RealPortTest::portCheckOnTheSimulatorListsNoProblems()
{
    GuiHarness gui;
    ToolsAction(gui.Frame(), QStringLiteral("Port Check"))->trigger();
    auto* window = gui.Frame()->findChild<PortCheckWindow*>();
    QVERIFY(window && window->isVisible());
    const QString text = window->Text();
    QVERIFY2(!text.contains(QStringLiteral("problem:")), qPrintable(text));
    QVERIFY(text.startsWith(QStringLiteral("ok: the machine's checks (parallel port drivers, /dev/parport*, "
                                           "/proc/ioports) do not apply to a simulated module")));
    QVERIFY(!text.contains(QStringLiteral("--port")));
    QVERIFY(text.contains(QStringLiteral("choose it in the Ports dialog")));
    QCOMPARE(window->Lines()->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    QCOMPARE(window->Verdict(), QStringLiteral("The port opened and a module answers."));
    auto* copy = window->findChild<QPushButton*>(QStringLiteral("Copy"));
    QVERIFY(copy);
    QTest::mouseClick(copy, Qt::LeftButton);
    QVERIFY(QApplication::clipboard()->text().contains(text));
    // The command line's check keeps the machine's lines.
    QVERIFY(gui.app->TheSession().RunPortCheck().lines.size() > std::size_t(window->Lines()->blockCount() - 1));
}

void RealPortTest::optionsRefuseOutOfRange()
{
    ForgetStoredOptions();
    GuiHarness gui;
    ToolsAction(gui.Frame(), QStringLiteral("Options\u2026"))->trigger();
    auto* dialog = gui.Frame()->findChild<OptionsDialog*>();
    QVERIFY(dialog && dialog->isVisible());
    dialog->m_retries->findChild<QLineEdit*>()->selectAll();
    QTest::keyClicks(dialog->m_retries->findChild<QLineEdit*>(), QStringLiteral("200"));
    dialog->accept();
    QVERIFY(dialog->isVisible());  // refused, not clamped to 100
    QVERIFY2(dialog->Refusal().contains(QStringLiteral("200")), qPrintable(dialog->Refusal()));
    QVERIFY(dialog->Refusal().contains(QStringLiteral("give a number of rounds from 0 to 100")));
    QVERIFY(dialog->m_retries->findChild<QLineEdit*>()->text().startsWith(QStringLiteral("200")));
    QCOMPARE(gui.app->TheSession().Settings().retries, 0);

    dialog->m_retries->findChild<QLineEdit*>()->selectAll();
    QTest::keyClicks(dialog->m_retries->findChild<QLineEdit*>(), QStringLiteral("7"));
    dialog->m_pulseMicros->findChild<QLineEdit*>()->selectAll();
    QTest::keyClicks(dialog->m_pulseMicros->findChild<QLineEdit*>(), QStringLiteral("20000"));
    dialog->accept();
    QVERIFY(dialog->isVisible());
    QVERIFY(dialog->Refusal().contains(QStringLiteral("give microseconds from 0 to 10000")));

    dialog->m_pulseMicros->findChild<QLineEdit*>()->selectAll();
    QTest::keyClicks(dialog->m_pulseMicros->findChild<QLineEdit*>(), QStringLiteral("250"));
    dialog->accept();
    QVERIFY(!dialog->isVisible());
    QCOMPARE(gui.app->TheSession().Settings().retries, 7);
    QCOMPARE(gui.app->TheSession().Settings().pulseMicros, 250u);
}

void RealPortTest::findPartAnswersInTheDialog()
{
    GuiHarness gui;
    ToolsAction(gui.Frame(), QStringLiteral("Find Part\u2026"))->trigger();
    auto* find = gui.Frame()->findChild<FindPartDialog*>();
    QVERIFY(find && find->isVisible());
    // Nothing typed: no answer, not even a blank line; OK asks for a number.
    QVERIFY(find->Answer().isEmpty());
    find->accept();
    QVERIFY(find->isVisible());
    QVERIFY(find->Answer().startsWith(QStringLiteral("Type the number")));

    // The note shows as the number is typed, in the dialog itself.
    find->Edit()->setText(QStringLiteral("W27C512-45Z"));
    QVERIFY2(find->Answer().contains(QStringLiteral("W27C512: electrically erasable")), qPrintable(find->Answer()));
    QVERIFY(find->Answer().startsWith(QStringLiteral("Programs as 27C512.")));
    // The window holds the whole answer.
    auto* answer = find->findChild<QLabel*>(QStringLiteral("Answer"));
    QVERIFY(answer && answer->isVisible());
    QVERIFY(answer->height() >= answer->heightForWidth(answer->width()));
    find->Edit()->setText(QString());
    QVERIFY(!answer->isVisible());
}

QTEST_MAIN(RealPortTest)
#include "test_real_port.moc"
