// SPDX-License-Identifier: GPL-3.0-or-later
// The Production window's job bar: a job saved from the window's settings,
// opened again with its settings read-only and its file, SHA-256 and device
// at the top, used by Next Chip whatever the fields say; a changed image
// refused.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/command_ids.h"
#include "dialogs/job_bar.h"
#include "dialogs/production_dlg.h"
#include "gui_harness.h"
#include "session/session.h"

namespace vexo::gui::test {

class TestJobBar : public QObject {
    Q_OBJECT
private slots:
    void savedJobOpensReadOnlyAndRunsAsSaved();
};

void TestJobBar::savedJobOpensReadOnlyAndRunsAsSaved()
{
    QTemporaryDir scratch;
    const QString tray = scratch.filePath(QStringLiteral("tray"));
    GuiHarness h(QStringLiteral("tray=") + tray);
    QVERIFY(h.started);
    QByteArray image(0x8000, '\0');
    for (int i = 0; i < image.size(); ++i) image[i] = char(i * 5 + 1);
    const QString imagePath = h.WriteFile(QStringLiteral("fw.bin"), image);
    QVERIFY(h.app->TheSession().OpenImage(ToCore(imagePath)));
    h.answerer.Take();

    h.Frame()->Action(kProductionCommands)->trigger();
    auto* w = h.Frame()->findChild<ProductionWindow*>(QStringLiteral("ProductionWindow"));
    QVERIFY(w);
    JobBar* bar = w->Jobs();
    QVERIFY(bar);
    QVERIFY(!bar->CloseButton()->isEnabled());

    w->SerialBox()->setChecked(true);
    w->SerialAddress()->setText(QStringLiteral("0x7FF0"));
    w->SerialStart()->setText(QStringLiteral("300"));
    const QString log = h.dir.filePath(QStringLiteral("job.csv"));
    w->LogFile()->setText(log);
    const QString jobPath = h.dir.filePath(QStringLiteral("fw.vexojob"));
    QVERIFY(bar->SaveJobTo(jobPath));
    QVERIFY(h.answerer.Take().isEmpty());

    // Opened: the job's settings, read-only, and the job at the top.
    w->SerialStart()->setText(QStringLiteral("1"));
    w->LogFile()->clear();
    QVERIFY(bar->OpenJobFrom(jobPath));
    QVERIFY(bar->Title()->text().startsWith(QStringLiteral("fw.vexojob    SHA-256 ")));
    QVERIFY(bar->Title()->text().endsWith(QStringLiteral("    27C256")));
    QCOMPARE(bar->FromJob()->text(), QStringLiteral("from job fw.vexojob"));
    QVERIFY(w->windowTitle().contains(QStringLiteral("fw.vexojob")));
    QCOMPARE(w->SerialStart()->text(), QStringLiteral("300"));
    QCOMPARE(w->LogFile()->text(), log);
    QVERIFY(w->LogFile()->isReadOnly());
    QVERIFY(w->SerialStart()->isReadOnly());

    // Next Chip takes the job's settings, not what a field was made to say.
    w->LogFile()->setText(h.dir.filePath(QStringLiteral("other.csv")));
    GuiHarness::Click(w->NextChipButton());
    QVERIFY2(w->ResultLabel()->text().startsWith(QStringLiteral("chip 1: passed, serial 300,")),
             qPrintable(w->ResultLabel()->text()));
    w->OnStopRun();
    QVERIFY(QFile::exists(log));
    QVERIFY(!QFile::exists(h.dir.filePath(QStringLiteral("other.csv"))));

    // Closed: the fields are the operator's again.
    bar->CloseJob();
    QVERIFY(!w->LogFile()->isReadOnly());
    QCOMPARE(w->windowTitle(), QStringLiteral("Production"));

    // The image changed since: the job is refused and none is open.
    image[0] = char(image[0] + 1);
    h.WriteFile(QStringLiteral("fw.bin"), image);
    QVERIFY(!bar->OpenJobFrom(jobPath));
    const QStringList boxes = h.answerer.Take();
    QVERIFY(!boxes.isEmpty());
    QVERIFY2(boxes.last().startsWith(QStringLiteral("job: fw.bin changed since the job was made (sha256 ")),
             qPrintable(boxes.last()));
    QVERIFY(h.app->TheSession().JobInUse() == nullptr);
}

}  // namespace vexo::gui::test

QTEST_MAIN(vexo::gui::test::TestJobBar)
#include "test_job_bar.moc"
