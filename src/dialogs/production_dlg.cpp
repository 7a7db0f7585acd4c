// SPDX-License-Identifier: GPL-3.0-or-later
#include "dialogs/production_dlg.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

#include <cstdio>

#include "base/hex.h"
#include "commands/production.h"
#include "dialogs/core_text.h"
#include "dialogs/job_bar.h"
#include "dialogs/modeless_dialog.h"
#include "rom/production_log.h"
#include "rom/rom.h"
#include "session/session.h"

namespace vexo::gui {
namespace {

QString Hex(std::uint32_t value, int digits) { return FromCore(Hex0x(value, digits)); }

enum Column { kChip, kTime, kSerial, kCrc, kResult, kStep, kAddress, kSeconds, kColumns };

}  // namespace

ProductionWindow::ProductionWindow(Session& session, IUiServices& ui, QWidget* parent)
    : QDialog(parent), m_session(session), m_ui(ui)
{
    setObjectName(QStringLiteral("ProductionWindow"));
    setWindowTitle(tr("Production"));

    auto* job = new QGroupBox(tr("Image"), this);
    auto* jobForm = new QFormLayout(job);
    m_image = new QLabel(job);
    m_image->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_device = new QLabel(job);
    m_speed = new QLabel(job);
    jobForm->addRow(tr("Image:"), m_image);
    jobForm->addRow(tr("Device:"), m_device);
    jobForm->addRow(tr("Speed:"), m_speed);

    auto* serial = new QGroupBox(tr("Serial number"), this);
    auto* serialForm = new QFormLayout(serial);
    m_serialOn = new QCheckBox(tr("Write a serial number into each chip"), serial);
    m_serialAddress = new QLineEdit(QStringLiteral("0x7FF0"), serial);
    m_serialWidth = new QSpinBox(serial);
    m_serialWidth->setRange(1, 8);
    m_serialWidth->setValue(4);
    m_serialStart = new QLineEdit(QStringLiteral("1"), serial);
    m_serialStep = new QLineEdit(QStringLiteral("1"), serial);
    m_serialFormat = new QComboBox(serial);
    // In SerialFormat's order: the index is the format.
    for (vexo::SerialFormat format : {vexo::SerialFormat::Le, vexo::SerialFormat::Be, vexo::SerialFormat::Bcd,
                                      vexo::SerialFormat::Ascii})
        m_serialFormat->addItem(QString::fromLatin1(SerialFormatName(format)));
    serialForm->addRow(m_serialOn);
    serialForm->addRow(tr("Address:"), m_serialAddress);
    serialForm->addRow(tr("Width (bytes):"), m_serialWidth);
    serialForm->addRow(tr("First number:"), m_serialStart);
    serialForm->addRow(tr("Step:"), m_serialStep);
    serialForm->addRow(tr("Format:"), m_serialFormat);

    auto* logRow = new QHBoxLayout;
    m_logFile = new QLineEdit(this);
    m_logFile->setPlaceholderText(tr("no log (.csv, or .jsonl for JSON Lines)"));
    m_browse = new QPushButton(tr("Browse..."), this);
    m_browse->setAutoDefault(false);
    logRow->addWidget(new QLabel(tr("Log file:"), this));
    logRow->addWidget(m_logFile, 1);
    logRow->addWidget(m_browse);
    connect(m_browse, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getSaveFileName(this, tr("Log file"), m_logFile->text(),
                                                          tr("Logs (*.csv *.jsonl);;All files (*)"), nullptr,
                                                          QFileDialog::DontConfirmOverwrite);
        if (!path.isEmpty()) m_logFile->setText(path);
    });

    m_next = new QPushButton(tr("Next Chip"), this);
    m_next->setObjectName(QStringLiteral("NextChip"));
    QFont big = m_next->font();
    big.setPointSizeF(big.pointSizeF() * 2);
    big.setBold(true);
    m_next->setFont(big);
    m_next->setMinimumHeight(64);
    m_next->setDefault(true);  // Enter
    m_stop = new QPushButton(tr("Stop Run"), this);
    m_stop->setAutoDefault(false);
    m_stop->setEnabled(false);
    connect(m_next, &QPushButton::clicked, this, &ProductionWindow::OnNextChip);
    connect(m_stop, &QPushButton::clicked, this, &ProductionWindow::OnStopRun);

    m_counters = new QLabel(this);
    m_result = new QLabel(this);
    m_result->setObjectName(QStringLiteral("LastResult"));
    m_result->setWordWrap(true);
    QFont large = m_result->font();
    large.setPointSizeF(large.pointSizeF() * 1.8);
    large.setBold(true);
    m_result->setFont(large);

    m_records = new QTableWidget(0, kColumns, this);
    m_records->setHorizontalHeaderLabels(
        {tr("Chip"), tr("Time"), tr("Serial"), tr("CRC-32"), tr("Result"), tr("Failed at"), tr("Address"),
         tr("Seconds")});
    m_records->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_records->verticalHeader()->setVisible(false);
    m_records->horizontalHeader()->setStretchLastSection(true);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_next, 1);
    buttons->addWidget(m_stop);

    auto* layout = new QVBoxLayout(this);
    m_jobBar = new JobBar(m_session, m_ui, *this);
    layout->addWidget(m_jobBar);
    auto* top = new QHBoxLayout;
    top->addWidget(job, 1);
    top->addWidget(serial, 1);
    layout->addLayout(top);
    layout->addLayout(logRow);
    layout->addLayout(buttons);
    layout->addWidget(m_counters);
    layout->addWidget(m_result);
    layout->addWidget(m_records, 1);
    resize(720, 560);
    m_counters->setText(tr("Passed: %1    Failed: %2").arg(0).arg(0));
}

ProductionWindow::~ProductionWindow() = default;

bool ProductionWindow::RunGoing() const { return m_session.Production() != nullptr; }

void ProductionWindow::ShowJob()
{
    Session& s = m_session;
    if (!s.Started()) return;
    const std::string& image = s.ImagePath();
    m_image->setText(image.empty() ? tr("(none loaded)") : FromCore(image));
    m_device->setText(FromCore(std::string(s.Rom().Device().name)));
    m_speed->setText(FromCore(s.Panel().m_strSpeed));
}

void ProductionWindow::Present()
{
    ShowJob();
    show();
    raise();
    activateWindow();
    m_next->setFocus();
}

Result<std::optional<SerialPlan>> ProductionWindow::SerialFromFields() const
{
    if (!m_serialOn->isChecked()) return std::optional<SerialPlan>();
    SerialPlanFields fields;
    fields.address = ToCore(m_serialAddress->text().trimmed());
    fields.width = unsigned(m_serialWidth->value());
    fields.start = ToCore(m_serialStart->text().trimmed());
    fields.step = ToCore(m_serialStep->text().trimmed());
    fields.format = vexo::SerialFormat(m_serialFormat->currentIndex());
    auto plan = SerialPlanFromFields(fields);
    if (!plan) return plan.status();
    return std::optional<SerialPlan>(*plan);
}

Status ProductionWindow::StartRun()
{
    auto serial = SerialFromFields();
    if (!serial) return serial.status();
    Session::ProductionOptions options;
    options.serial = *serial;
    options.logPath = ToCore(m_logFile->text().trimmed());
    // An open job's settings, whatever the fields say.
    if (m_session.JobInUse()) {
        auto fromJob = m_session.JobProductionOptions();
        if (!fromJob) return fromJob.status();
        options = *fromJob;
    }
    if (Status s = m_session.StartProduction(options); !s) return s;
    m_records->setRowCount(0);
    m_result->clear();
    EnableSettings(false);
    ShowCounters();
    return Status::Ok();
}

void ProductionWindow::OnNextChip()
{
    if (m_chipInProgress || !m_session.Started()) return;
    ShowJob();  // the device or speed may have changed meanwhile
    if (!RunGoing()) {
        if (Status s = StartRun(); !s) {
            m_ui.AppMessageBox(s.message());
            return;
        }
    }
    m_chipInProgress = true;
    m_next->setEnabled(false);
    m_stop->setEnabled(false);
    emit chipStarted();
    const Result<ChipResult> chip = m_session.ProductionChip();
    emit chipFinished();
    m_chipInProgress = false;
    m_next->setEnabled(true);
    m_stop->setEnabled(true);
    if (chip) ShowChip(*chip);
    // The run's own policy says when it ends; the window says why.
    const RunEnd end = m_session.ProductionEndAfter(chip);
    if (end == RunEnd::None || end == RunEnd::PortFault) return;
    const std::string reason = chip ? chip->logged.message() : chip.message();
    OnStopRun();
    m_ui.AppMessageBox(reason);
}

void ProductionWindow::OnStopRun()
{
    if (m_chipInProgress) return;
    if (RunGoing()) {
        ShowCounters();
        if (Status closed = m_session.StopProduction(); !closed)
            m_ui.AppMessageBox(closed.message());
    }
    EnableSettings(true);
    m_stop->setEnabled(false);
}

void ProductionWindow::ShowChip(const ChipResult& chip)
{
    m_result->setText(FromCore(FormatChipLine(chip)));
    m_result->setStyleSheet(chip.passed ? QStringLiteral("color: #1a8f1a;") : QStringLiteral("color: #c81e1e;"));

    const int row = m_records->rowCount();
    m_records->insertRow(row);
    const auto set = [&](int column, const QString& text) {
        m_records->setItem(row, column, new QTableWidgetItem(text));
    };
    set(kChip, QString::number(chip.chip));
    set(kTime, FromCore(IsoLocalTime(chip.started)));
    set(kSerial, chip.serial ? QString::number(qulonglong(*chip.serial)) : QString());
    set(kCrc, Hex(chip.programmed.crc32, 8));
    set(kResult, chip.passed ? tr("passed") : tr("failed"));
    set(kStep, QString::fromLatin1(ProductionStepName(chip.failedStep)));
    set(kAddress, chip.failedAddress ? Hex(*chip.failedAddress, 5) : QString());
    set(kSeconds, QString::number(chip.seconds, 'f', 1));
    m_records->scrollToBottom();
    ShowCounters();
}

void ProductionWindow::ShowCounters()
{
    // The run's own counters; once it has ended the label keeps what it
    // showed last.
    const ProductionRun* run = m_session.Production();
    if (!run) return;
    QString text = tr("Passed: %1    Failed: %2").arg(run->Passed()).arg(run->Failed());
    if (run->NextSerial()) text += tr("    Next serial: %1").arg(qulonglong(*run->NextSerial()));
    m_counters->setText(text);
}

void ProductionWindow::EnableSettings(bool enable)
{
    for (QWidget* w : std::initializer_list<QWidget*>{m_serialOn, m_serialAddress, m_serialWidth, m_serialStart,
                                                      m_serialStep, m_serialFormat, m_logFile, m_browse})
        w->setEnabled(enable);
}

void ProductionWindow::closeEvent(QCloseEvent* event)
{
    // The chip in the socket is still being programmed: the window stays.
    if (m_chipInProgress) {
        event->ignore();
        return;
    }
    OnStopRun();
    event->accept();
}

void ProductionWindow::reject()
{
    if (m_chipInProgress) return;
    OnStopRun();
    QDialog::reject();
}

}  // namespace vexo::gui
