// SPDX-License-Identifier: GPL-3.0-or-later
#include "dialogs/production_dlg.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QProgressBar>
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

#include <algorithm>
#include <cstdio>

#include "base/hex.h"
#include "base/numbers.h"
#include "base/sizes.h"
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
    BuildTable();
    QWidget* settings = BuildSettings();
    QLayout* buttons = BuildButtons();
    QLayout* state = BuildRunState();
    // The job bar reads and sets the fields above: made after them.
    m_jobBar = new JobBar(m_session, m_ui, *this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_jobBar);
    layout->addWidget(settings);
    layout->addLayout(buttons);
    layout->addLayout(state);
    layout->addWidget(m_records, 1);
    resize(760, 600);
    m_counters->setText(tr("Passed: %1    Failed: %2").arg(0).arg(0));
}

QWidget* ProductionWindow::BuildSettings()
{
    auto* settings = new QWidget(this);
    settings->setObjectName(QStringLiteral("ProductionSettings"));
    auto* job = new QGroupBox(tr("Image"), settings);
    auto* jobForm = new QFormLayout(job);
    m_image = new QLabel(job);
    m_image->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_image->setWordWrap(true);
    m_device = new QLabel(job);
    m_speed = new QLabel(job);
    jobForm->addRow(tr("Image:"), m_image);
    jobForm->addRow(tr("Device:"), m_device);
    jobForm->addRow(tr("Speed:"), m_speed);

    auto* serial = new QGroupBox(tr("Serial number"), settings);
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
    m_logFile = new QLineEdit(settings);
    m_logFile->setPlaceholderText(tr("no log (.csv, or .jsonl for JSON Lines)"));
    m_browse = new QPushButton(tr("Browse..."), settings);
    m_browse->setAutoDefault(false);
    logRow->addWidget(new QLabel(tr("Log file:"), settings));
    logRow->addWidget(m_logFile, 1);
    logRow->addWidget(m_browse);
    connect(m_browse, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getSaveFileName(this, tr("Log file"), m_logFile->text(),
                                                          tr("Logs (*.csv *.jsonl);;All files (*)"), nullptr,
                                                          QFileDialog::DontConfirmOverwrite);
        if (path.isEmpty()) return;
        m_logFile->setText(path);
        emit m_logFile->editingFinished();
    });
    // A log chosen before the run shows what it holds already.
    connect(m_logFile, &QLineEdit::editingFinished, this, [this] {
        const std::string path = ToCore(m_logFile->text().trimmed());
        if (RunGoing() || path.empty() || path == m_shownLog) return;
        if (auto earlier = ReadProductionLog(path); earlier && !earlier->empty()) ShowEarlier(path, *earlier);
    });

    auto* top = new QHBoxLayout;
    top->addWidget(job, 1);
    top->addWidget(serial, 1);
    auto* column = new QVBoxLayout(settings);
    column->setContentsMargins(0, 0, 0, 0);
    column->addLayout(top);
    column->addLayout(logRow);
    return settings;
}

QLayout* ProductionWindow::BuildButtons()
{
    m_next = new QPushButton(tr("Next Chip"), this);
    m_next->setObjectName(QStringLiteral("NextChip"));
    QFont big = m_next->font();
    big.setPointSizeF(big.pointSizeF() * 2);
    big.setBold(true);
    m_next->setFont(big);
    m_next->setMinimumHeight(64);
    // Enter presses it only when it has the focus (keyPressEvent): never from a field.
    m_next->setAutoDefault(false);
    m_stop = new QPushButton(tr("Stop Run"), this);
    m_stop->setObjectName(QStringLiteral("StopRun"));
    m_stop->setAutoDefault(false);
    m_stop->setEnabled(false);
    m_stop->setToolTip(tr("Ends the run; while a chip is programmed, after that chip"));
    connect(m_next, &QPushButton::clicked, this, &ProductionWindow::OnNextChip);
    connect(m_stop, &QPushButton::clicked, this, &ProductionWindow::OnStopRun);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_next, 1);
    buttons->addWidget(m_stop);
    return buttons;
}

QLayout* ProductionWindow::BuildRunState()
{
    m_counters = new QLabel(this);
    m_result = new QLabel(this);
    m_result->setObjectName(QStringLiteral("LastResult"));
    m_result->setWordWrap(true);
    m_result->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont large = m_result->font();
    large.setPointSizeF(large.pointSizeF() * 1.8);
    large.setBold(true);
    m_result->setFont(large);
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("ChipProgress"));
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    m_progress->setTextVisible(false);
    m_note = new QLabel(this);
    m_note->setObjectName(QStringLiteral("ProductionNote"));
    m_note->setWordWrap(true);
    auto* state = new QVBoxLayout;
    state->addWidget(m_counters);
    state->addWidget(m_result);
    state->addWidget(m_progress);
    state->addWidget(m_note);
    return state;
}

void ProductionWindow::BuildTable()
{
    m_records = new QTableWidget(0, kColumns, this);
    m_records->setObjectName(QStringLiteral("ChipRecords"));
    m_records->setHorizontalHeaderLabels(
        {tr("Chip"), tr("Time"), tr("Serial"), tr("CRC-32"), tr("Result"), tr("Failed at"), tr("Address"),
         tr("Seconds")});
    m_records->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_records->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_records->verticalHeader()->setVisible(false);
    m_records->verticalHeader()->setDefaultSectionSize(m_records->fontMetrics().height() + 8);
    // Every column as wide as its widest cell and the time taking the rest:
    // no sideways scrolling at the window's width.
    QHeaderView* header = m_records->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::ResizeToContents);
    header->setSectionResizeMode(kTime, QHeaderView::Stretch);
    m_records->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
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
    // Each field on its own, named as the window names it.
    const auto field = [](const QString& label, const std::string& why) {
        return Status::Fail(ToCore(label) + ": " + why);
    };
    SerialPlanFields fields;
    fields.address = ToCore(m_serialAddress->text().trimmed());
    fields.width = unsigned(m_serialWidth->value());
    fields.start = ToCore(m_serialStart->text().trimmed());
    fields.step = ToCore(m_serialStep->text().trimmed());
    fields.format = vexo::SerialFormat(m_serialFormat->currentIndex());
    constexpr std::uint64_t kLastAddress = kBufferSize - 1;
    const auto address = ParseUnsigned(fields.address, kLastAddress);
    if (!address) return field(tr("Address"), "not a number from 0 to 0xFFFFFF");
    if (*address + fields.width > kBufferSize)
        return field(tr("Address"), "the number would run past the end of the 16 MiB buffer");
    const auto start = ParseUnsigned(fields.start);
    if (!start) return field(tr("First number"), "not a number");
    const auto step = ParseUnsigned(fields.step);
    if (!step || *step == 0) return field(tr("Step"), "not a number from 1 up");
    SerialPlan first;
    first.address = std::uint32_t(*address);
    first.width = fields.width;
    first.start = *start;
    first.format = fields.format;
    if (auto fits = EncodeSerial(first, *start); !fits) return field(tr("First number"), fits.message());
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
    options.firstChip = m_nextChip;
    if (Status s = m_session.StartProduction(options); !s) return s;
    // The table goes on: this window's chips, or a continued log's when it
    // is another one than the table shows.
    if (!options.logPath.empty() && options.logPath != m_shownLog) {
        if (m_session.ProductionEarlier().empty()) m_shownLog = options.logPath;
        else ShowEarlier(options.logPath, m_session.ProductionEarlier());
    }
    m_result->clear();
    m_note->clear();
    EnableSettings(false);
    m_stop->setEnabled(true);
    ShowCounters();
    return Status::Ok();
}

void ProductionWindow::ShowEarlier(const std::string& logPath, const std::vector<LoggedChip>& records)
{
    m_records->setRowCount(0);
    m_shownLog = logPath;
    for (const LoggedChip& r : records) {
        AddRow({QString::number(r.chip), FromCore(r.time), FromCore(r.serial), FromCore(r.crc32),
                r.passed ? tr("passed") : tr("failed"), FromCore(r.failedStep), FromCore(r.failedAddress),
                FromCore(r.seconds)},
               r.passed, true, tr("from an earlier run in this log"));
    }
    m_nextChip = std::max(m_nextChip, LastLoggedChip(records) + 1);
    m_records->scrollToBottom();
}

void ProductionWindow::AddRow(const QStringList& cells, bool passed, bool earlier, const QString& tip)
{
    const int row = m_records->rowCount();
    m_records->insertRow(row);
    const QColor failed(0xc8, 0x1e, 0x1e);
    for (int column = 0; column < kColumns && column < cells.size(); ++column) {
        QString text = cells[column];
        // "2026-12-08T10:15:02+01:00" reads as "2026-12-08 10:15:02"; the cell's tip has it whole.
        if (column == kTime && text.size() > 19) text = text.left(19).replace(QLatin1Char('T'), QLatin1Char(' '));
        auto* item = new QTableWidgetItem(text);
        if (earlier) {
            item->setForeground(palette().color(QPalette::Disabled, QPalette::Text));
            if (!passed) item->setForeground(failed.lighter(150));
        } else if (!passed) {
            item->setForeground(failed);
        }
        QString itemTip = column == kTime ? cells[column] : QString();
        if (!tip.isEmpty()) itemTip = itemTip.isEmpty() ? tip : itemTip + QLatin1Char('\n') + tip;
        if (!itemTip.isEmpty()) item->setToolTip(itemTip);
        m_records->setItem(row, column, item);
    }
}

void ProductionWindow::OnNextChip()
{
    if (m_chipInProgress || !m_session.Started()) return;
    ShowJob();  // the device or speed may have changed meanwhile
    m_note->clear();
    if (!RunGoing()) {
        if (Status s = StartRun(); !s) {
            m_ui.AppMessageBox(s.message());
            return;
        }
    }
    const bool nextHadFocus = focusWidget() == m_next;
    m_chipInProgress = true;
    m_stopAfterChip = false;
    m_chipBoxes.clear();
    m_next->setEnabled(false);
    m_stop->setEnabled(true);  // the run ends after this chip
    m_progress->setValue(0);
    m_progress->setTextVisible(true);
    m_progress->setFormat(tr("chip %1").arg(m_session.Production()->NextChipNumber()));
    emit chipStarted();
    const Result<ChipResult> chip = m_session.ProductionChip();
    emit chipFinished();
    m_chipInProgress = false;
    m_next->setEnabled(true);
    m_stop->setText(tr("Stop Run"));
    m_progress->setValue(chip && chip->passed ? 100 : m_progress->value());
    m_progress->setTextVisible(false);
    if (nextHadFocus) m_next->setFocus();  // Enter goes on with the next chip
    if (chip) ShowChip(*chip);
    // The run's own policy says when it ends; the window says why.
    const RunEnd end = m_session.ProductionEndAfter(chip);
    if (end == RunEnd::None || end == RunEnd::PortFault) {
        if (m_stopAfterChip) OnStopRun();
        return;
    }
    const std::string reason = chip ? chip->logged.message() : chip.message();
    OnStopRun();
    m_ui.AppMessageBox(reason);
}

void ProductionWindow::OnStopRun()
{
    if (m_chipInProgress) {
        // Programming stops for nothing: the run ends after this chip.
        m_stopAfterChip = true;
        m_stop->setEnabled(false);
        m_stop->setText(tr("Stopping after this chip"));
        return;
    }
    if (RunGoing()) {
        ShowCounters();
        if (Status closed = m_session.StopProduction(); !closed)
            m_ui.AppMessageBox(closed.message());
    }
    EnableSettings(true);
    m_stop->setEnabled(false);
    m_stop->setText(tr("Stop Run"));
}

void ProductionWindow::ShowChip(const ChipResult& chip)
{
    m_result->setText(FromCore(FormatChipLine(chip)));
    m_result->setStyleSheet(chip.passed ? QStringLiteral("color: #1a8f1a;") : QStringLiteral("color: #c81e1e;"));
    m_nextChip = std::max(m_nextChip, chip.chip + 1);
    AddRow({QString::number(chip.chip), FromCore(IsoLocalTime(chip.started)),
            chip.serial ? QString::number(qulonglong(*chip.serial)) : QString(), Hex(chip.programmed.crc32, 8),
            chip.passed ? tr("passed") : tr("failed"), QString::fromLatin1(ProductionStepName(chip.failedStep)),
            chip.failedAddress ? Hex(*chip.failedAddress, 5) : QString(), QString::number(chip.seconds, 'f', 1)},
           chip.passed, false, m_chipBoxes.join(QLatin1Char('\n')));
    if (!m_chipBoxes.isEmpty()) m_note->setText(m_chipBoxes.join(QStringLiteral("; ")));
    m_records->scrollToBottom();
    ShowCounters();
}

void ProductionWindow::PassProgress(int percent, const QString& text)
{
    m_progress->setValue(percent);
    m_progress->setFormat(text);
}

QWidget* ProductionWindow::InputWindow() { return isVisible() ? this : nullptr; }

bool ProductionWindow::TakeBox(const QString& text, const QString& details)
{
    // A failing chip's box would hold the run until OK; the table says it.
    if (!m_chipInProgress) return false;
    m_chipBoxes << (details.isEmpty() ? text : text + QStringLiteral(" (") + details + QLatin1Char(')'));
    return true;
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
        m_note->setText(tr("The chip in the socket is being programmed; the window closes after it is done "
                           "(Stop Run ends the run after this chip)."));
        event->ignore();
        return;
    }
    OnStopRun();
    event->accept();
}

void ProductionWindow::reject()
{
    if (m_chipInProgress) {
        close();
        return;
    }
    OnStopRun();
    QDialog::reject();
}

void ProductionWindow::keyPressEvent(QKeyEvent* event)
{
    if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter) {
        QDialog::keyPressEvent(event);
        return;
    }
    // Next Chip with the focus starts the chip; Enter in a field only leaves it.
    QWidget* focus = focusWidget();
    if (focus == m_next) {
        if (m_next->isEnabled()) m_next->click();
    } else if (qobject_cast<QLineEdit*>(focus) || qobject_cast<QAbstractSpinBox*>(focus) ||
               qobject_cast<QComboBox*>(focus) || qobject_cast<QCheckBox*>(focus)) {
        focusNextChild();
    }
    event->accept();
}

}  // namespace vexo::gui
