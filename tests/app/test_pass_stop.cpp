// SPDX-License-Identifier: GPL-3.0-or-later
// A long pass can be stopped: the progress window's Stop or Escape asks, the
// pass ends at the next byte, the lines are reset and the operator is told
// where; nothing else starts meanwhile; with nothing pressed the boxes are
// the ones they always were.
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include <functional>

#include "app/command_ids.h"
#include "dialogs/pass_progress.h"
#include "gui_harness.h"
#include "session/session.h"

namespace vexo::gui::test {

class TestPassStop : public QObject {
    Q_OBJECT
private slots:
    void stopButtonEndsProgrammingAtTheNextByte();
    void escapeAskedAndRefusedLetsThePassFinish();
};

namespace {

// A loaded image, a progress window that shows from the pass's first byte,
// and a program pulse long enough that a 27C040 takes half a minute.
PassProgressWindow* Prepare(GuiHarness& h)
{
    QByteArray image(0x80000, '\0');
    for (int i = 0; i < image.size(); ++i) image[i] = char(i * 13 + 1);
    if (!h.app->TheSession().OpenImage(ToCore(h.WriteFile(QStringLiteral("fw.bin"), image)))) return nullptr;
    h.answerer.Take();
    auto* window = h.Frame()->findChild<PassProgressWindow*>(QStringLiteral("PassProgress"));
    if (!window) return nullptr;
    h.app->Ui().SetPassWatcher(window, 0);
    if (!h.Rom().SetPulseMicros(60)) return nullptr;
    return window;
}

// Calls `step` once the progress window is up (the pass is running then).
void WhenShown(PassProgressWindow* window, std::function<void()> step)
{
    auto* timer = new QTimer(window);
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, window, [window, timer, step = std::move(step)] {
        if (!window->isVisible() || window->Bar()->value() < 1) return;
        timer->stop();
        timer->deleteLater();
        step();
    });
    timer->start();
}

}  // namespace

void TestPassStop::stopButtonEndsProgrammingAtTheNextByte()
{
    GuiHarness h;
    QVERIFY(h.started);
    PassProgressWindow* window = Prepare(h);
    QVERIFY(window);
    h.answerer.answers = {true};  // Stop Programming? Yes

    bool readStarted = false;
    QString shown;
    WhenShown(window, [&] {
        shown = window->PassLabel()->text();
        // Another command meanwhile is not taken: its click is dropped.
        const int before = int(h.answerer.messages.size());
        h.ClickButton(ID_READ_ROM);
        readStarted = int(h.answerer.messages.size()) != before;
        GuiHarness::Click(window->StopButton());
    });
    h.ClickButton(ID_WRITE_ROM);

    QVERIFY(shown.startsWith(QStringLiteral("Programming ")));
    QVERIFY(!readStarted);
    QCOMPARE(h.answerer.questions, QStringList{QStringLiteral("Stop Programming? The chip will be partly programmed.")});
    const QStringList messages = h.answerer.Take();
    QCOMPARE(messages.size(), 2);
    QCOMPARE(messages[0], QStringLiteral("*** Start Writing ***"));
    // "Stopped at 0x1A3C0: 0x1A3C0 bytes programmed": where the pass ended,
    // and every byte before it was programmed.
    const QRegularExpression said(QStringLiteral("^Stopped at 0x([0-9A-F]+): 0x([0-9A-F]+) bytes programmed$"));
    const QRegularExpressionMatch match = said.match(messages[1]);
    QVERIFY2(match.hasMatch(), qPrintable(messages[1]));
    QCOMPARE(match.captured(1), match.captured(2));
    bool ok = false;
    const uint at = match.captured(1).toUInt(&ok, 16);
    QVERIFY(ok && at > 0 && at < 0x80000);
    QVERIFY(!window->isVisible());

    // The stop is forgotten: the next command runs whole, as always.
    QVERIFY(!h.Rom().Stopped());
    QVERIFY(h.Rom().SetPulseMicros(0));
    h.ClickButton(ID_VERIFY);
    const QStringList verify = h.answerer.Take();
    QVERIFY(!verify.isEmpty());
    QCOMPARE(verify.first(), QStringLiteral("*** Start Verify ***"));
    QVERIFY(!verify.join(QLatin1Char('\n')).contains(QStringLiteral("Stopped")));
}

void TestPassStop::escapeAskedAndRefusedLetsThePassFinish()
{
    GuiHarness h;
    QVERIFY(h.started);
    PassProgressWindow* window = Prepare(h);
    QVERIFY(window);
    QVERIFY(h.Rom().SetPulseMicros(2));
    h.answerer.answers = {false};  // Stop Programming? No

    WhenShown(window, [&] { QTest::keyClick(window, Qt::Key_Escape); });
    h.ClickButton(ID_WRITE_ROM);

    QCOMPARE(h.answerer.questions.size(), 1);
    // The boxes are exactly those of a pass nobody stopped.
    QCOMPARE(h.answerer.Take(), (QStringList{QStringLiteral("*** Start Writing ***"),
                                             QStringLiteral("Done! -> Verify next!"),
                                             QStringLiteral("*** Writing OK ***")}));
    QVERIFY(!h.Rom().Stopped());
    QVERIFY(!window->isVisible());
}

}  // namespace vexo::gui::test

QTEST_MAIN(vexo::gui::test::TestPassStop)
#include "test_pass_stop.moc"
