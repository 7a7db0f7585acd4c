// SPDX-License-Identifier: GPL-3.0-or-later
#include "dialogs/job_bar.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "dialogs/core_text.h"
#include "dialogs/production_dlg.h"
#include "rom/serial_number.h"
#include "session/session.h"

namespace vexo::gui {

JobBar::JobBar(Session& session, IUiServices& ui, ProductionWindow& window)
    : QWidget(&window), m_session(session), m_ui(ui), m_window(window)
{
    setObjectName(QStringLiteral("JobBar"));
    m_title = new QLabel(this);
    m_title->setObjectName(QStringLiteral("JobTitle"));
    m_title->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_title->setWordWrap(true);
    QFont bold = m_title->font();
    bold.setBold(true);
    m_title->setFont(bold);
    m_fromJob = new QLabel(this);
    m_open = new QPushButton(tr("Open Job..."), this);
    m_save = new QPushButton(tr("Save Job..."), this);
    m_close = new QPushButton(tr("Close Job"), this);
    for (QPushButton* b : {m_open, m_save, m_close}) b->setAutoDefault(false);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_fromJob, 1);
    buttons->addWidget(m_open);
    buttons->addWidget(m_save);
    buttons->addWidget(m_close);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_title);
    layout->addLayout(buttons);

    connect(m_open, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getOpenFileName(this, tr("Open Job"), QString(),
                                                          tr("Jobs (*.vexojob);;All files (*)"));
        if (!path.isEmpty()) OpenJobFrom(path);
    });
    connect(m_save, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getSaveFileName(this, tr("Save Job"), QString(),
                                                          tr("Jobs (*.vexojob);;All files (*)"));
        if (!path.isEmpty()) SaveJobTo(path);
    });
    connect(m_close, &QPushButton::clicked, this, &JobBar::CloseJob);
    ShowJob();
}

bool JobBar::OpenJobFrom(const QString& path)
{
    if (m_window.RunGoing()) {
        m_ui.AppMessageBox("job: stop the run before opening a job");
        return false;
    }
    if (Status opened = m_session.OpenJob(FileNameToCore(path)); !opened) {
        m_ui.AppMessageBox(opened.message());
        return false;
    }
    ShowJob();
    return true;
}

bool JobBar::SaveJobTo(const QString& path)
{
    Job production;
    if (m_window.SerialBox()->isChecked()) {
        SerialPlanFields fields;
        fields.address = ToCore(m_window.SerialAddress()->text().trimmed());
        fields.width = unsigned(m_window.SerialWidth()->value());
        fields.start = ToCore(m_window.SerialStart()->text().trimmed());
        fields.step = ToCore(m_window.SerialStep()->text().trimmed());
        fields.format = vexo::SerialFormat(m_window.SerialFormat()->currentIndex());
        auto plan = SerialPlanFromFields(fields);
        if (!plan) {
            m_ui.AppMessageBox(plan.message());
            return false;
        }
        production.serial = SerialPlanText(*plan);
    }
    production.log = ToCore(m_window.LogFile()->text().trimmed());
    if (const Job* open = m_session.JobInUse()) {
        production = *open;  // saved again as it is, under another name
        if (!production.serialList.empty())
            production.serialList = JobRelativeTo(m_session.JobPath(), production.serialList);
    }
    if (Status saved = m_session.SaveJob(FileNameToCore(path), production); !saved) {
        m_ui.AppMessageBox(saved.message());
        return false;
    }
    return true;
}

void JobBar::CloseJob()
{
    if (m_window.RunGoing()) return;
    m_session.CloseJob();
    ShowJob();
}

void JobBar::ShowJob()
{
    const Job* job = m_session.JobInUse();
    m_close->setEnabled(job != nullptr);
    if (!job) {
        m_title->setText(tr("No job: the settings below apply"));
        m_fromJob->clear();
        m_window.setWindowTitle(tr("Production"));
        LockSettings(false);
        return;
    }
    const QString name = QFileInfo(FromCore(m_session.JobPath())).fileName();
    m_title->setText(tr("%1    SHA-256 %2    %3")
                         .arg(name, FromCore(job->imageSha256), FromCore(job->device)));
    m_fromJob->setText(tr("from job %1").arg(name));
    m_window.setWindowTitle(tr("Production - %1").arg(name));

    // The job's plan shown in the window's fields.
    const std::string planText = !job->serial.empty() ? job->serial : job->serialAt;
    const auto plan = !job->serial.empty() ? ParseSerialPlan(planText) : ParseSerialAt(planText);
    m_window.SerialBox()->setChecked(!planText.empty());
    if (!planText.empty() && plan) {
        m_window.SerialAddress()->setText(QStringLiteral("0x%1").arg(plan->address, 0, 16).toUpper().replace(
            QStringLiteral("0X"), QStringLiteral("0x")));
        m_window.SerialWidth()->setValue(int(plan->width));
        m_window.SerialStart()->setText(job->serial.empty() ? tr("from list %1").arg(FromCore(job->serialList))
                                                            : QString::number(qulonglong(plan->start)));
        m_window.SerialStep()->setText(QString::number(qulonglong(plan->step)));
        m_window.SerialFormat()->setCurrentIndex(int(plan->format));
    }
    m_window.LogFile()->setText(FromCore(job->log));
    LockSettings(true);
}

void JobBar::LockSettings(bool locked)
{
    const QString tip = locked ? m_fromJob->text() : QString();
    for (QLineEdit* edit : {m_window.SerialAddress(), m_window.SerialStart(), m_window.SerialStep(),
                            m_window.LogFile()}) {
        edit->setReadOnly(locked);
        edit->setToolTip(tip);
    }
    m_window.SerialWidth()->setReadOnly(locked);
    m_window.SerialWidth()->setToolTip(tip);
    for (QWidget* w : std::initializer_list<QWidget*>{m_window.SerialBox(), m_window.SerialFormat()}) {
        w->setAttribute(Qt::WA_TransparentForMouseEvents, locked);
        w->setFocusPolicy(locked ? Qt::NoFocus : Qt::StrongFocus);
        w->setToolTip(tip);
    }
}

}  // namespace vexo::gui
