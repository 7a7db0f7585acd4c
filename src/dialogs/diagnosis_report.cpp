// SPDX-License-Identifier: GPL-3.0-or-later
#include "dialogs/diagnosis_report.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

#include "base/hex.h"
#include "dialogs/chip_map.h"
#include "dialogs/core_text.h"
#include "dialogs/modeless_dialog.h"
#include "rom/diagnosis_words.h"
#include "session/session.h"

namespace vexo::gui {

namespace {

QString Hex2(std::uint8_t value) { return FromCore(HexByte(value)); }
QString Binary(std::uint8_t value) { return QStringLiteral("%1").arg(value, 8, 2, QLatin1Char('0')); }

// The hint for a chip that falls short here and there.
const QString kRetryHint = QStringLiteral("Try again with Retries set in Tools > Options\u2026");

}  // namespace

// The differences as table rows, straight from the report: a 27C040 that
// differs everywhere is half a million rows, so no item per cell.
class DiffTableModel final : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;

    void Reset(CompareReport report, const QString& expectedHeader)
    {
        beginResetModel();
        m_report = std::move(report);
        m_expectedHeader = expectedHeader;
        endResetModel();
    }
    const CompareReport& Report() const { return m_report; }

    int rowCount(const QModelIndex& parent) const override
    {
        return parent.isValid() ? 0 : int(m_report.diffs.size());
    }
    int columnCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : 5; }

    QVariant data(const QModelIndex& index, int role) const override
    {
        if (role != Qt::DisplayRole || !index.isValid() || std::size_t(index.row()) >= m_report.diffs.size())
            return {};
        const ByteDiff& d = m_report.diffs[std::size_t(index.row())];
        switch (index.column()) {
        case 0: return FromCore(FormatAddress(d.address));
        case 1: return Hex2(d.buffer);
        case 2: return Hex2(d.chip);
        case 3: return Binary(d.Bits());
        case 4: return FromCore(std::string(DiffKindText(d.kind)));
        default: return {};
        }
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
        switch (section) {
        case 0: return QStringLiteral("Address");
        case 1: return m_expectedHeader;
        case 2: return QStringLiteral("Chip");
        case 3: return QStringLiteral("Differing bits");
        case 4: return QStringLiteral("Kind");
        default: return {};
        }
    }

private:
    CompareReport m_report;
    QString m_expectedHeader = QStringLiteral("Buffer");
};

QPoint BesidePosition(const QRect& owner, const QSize& size, const QRect& screen)
{
    const int top = std::clamp(owner.top(), screen.top(), std::max(screen.top(), screen.bottom() + 1 - size.height()));
    if (owner.right() + 1 + size.width() <= screen.right() + 1) return {owner.right() + 1, top};
    if (owner.left() - size.width() >= screen.left()) return {owner.left() - size.width(), top};
    return {std::max(screen.left(), screen.right() + 1 - size.width()), top};
}

void PlaceBeside(QWidget* window)
{
    const QWidget* owner = window->parentWidget() ? window->parentWidget()->window() : nullptr;
    if (!owner || !owner->isVisible()) return;
    const QScreen* screen = owner->screen();
    if (!screen) return;
    // The frame's size: the window's plus what the owner's frame adds.
    const QSize frame = window->size() + (owner->frameGeometry().size() - owner->geometry().size());
    const QPoint at = BesidePosition(owner->frameGeometry(), frame, screen->availableGeometry());
    window->move(at);
}

DiagnosisReport::DiagnosisReport(Session& session, IUiServices& ui, QWidget* parent, Kind kind)
    : QDialog(parent), m_session(session), m_ui(ui), m_kind(kind)
{
    setObjectName(kind == Kind::Compare ? QStringLiteral("DiagnosisReport") : QStringLiteral("EraseCheckReport"));
    setModal(false);
    m_summary = new QLabel(this);
    m_summary->setObjectName(QStringLiteral("Summary"));
    m_summary->setWordWrap(true);
    m_summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_findingsLabel = new QLabel(this);
    m_findingsLabel->setObjectName(QStringLiteral("Findings"));
    m_findingsLabel->setWordWrap(true);
    m_findingsLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_staleLabel = new QLabel(this);
    m_staleLabel->setObjectName(QStringLiteral("OutOfDate"));
    m_staleLabel->setWordWrap(true);
    m_staleLabel->hide();

    m_map = new ChipMap(this);
    connect(m_map, &ChipMap::addressChosen, this, &DiagnosisReport::addressChosen);

    m_model = new DiffTableModel(this);
    m_table = new QTableView(this);
    m_table->setObjectName(QStringLiteral("Differences"));
    m_table->setModel(m_model);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->verticalHeader()->hide();
    // Rows as high as a line of text, not the style's roomy default.
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_table->verticalHeader()->setMinimumSectionSize(1);
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 4);
    m_table->horizontalHeader()->setStretchLastSection(true);
    connect(m_table, &QTableView::doubleClicked, this, [this](const QModelIndex& index) { OnActivated(index.row()); });

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    m_refresh = buttons->addButton(QStringLiteral("&Refresh"), QDialogButtonBox::ActionRole);
    m_refresh->setObjectName(QStringLiteral("Refresh"));
    m_refresh->setToolTip(QStringLiteral("Read the chip again and make the report anew"));
    QPushButton* copy = buttons->addButton(QStringLiteral("&Copy"), QDialogButtonBox::ActionRole);
    copy->setObjectName(QStringLiteral("Copy"));
    copy->setToolTip(QStringLiteral("Copy the selected rows, or the whole report when none is selected"));
    QPushButton* save = buttons->addButton(QStringLiteral("&Save as CSV..."), QDialogButtonBox::ActionRole);
    save->setObjectName(QStringLiteral("SaveCsv"));
    connect(m_refresh, &QPushButton::clicked, this, &DiagnosisReport::refreshRequested);
    connect(copy, &QPushButton::clicked, this, &DiagnosisReport::OnCopy);
    connect(save, &QPushButton::clicked, this, &DiagnosisReport::OnSaveCsv);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::hide);

    auto* split = new QSplitter(Qt::Horizontal, this);
    split->addWidget(m_map);
    split->addWidget(m_table);
    split->setStretchFactor(0, 0);
    split->setStretchFactor(1, 1);
    split->setChildrenCollapsible(false);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_staleLabel);
    layout->addWidget(m_summary);
    layout->addWidget(m_findingsLabel);
    layout->addWidget(split, 1);
    layout->addWidget(buttons);
    resize(860, 520);

    // The chip or the buffer may change under an open report.
    m_watch = new QTimer(this);
    m_watch->setInterval(500);
    connect(m_watch, &QTimer::timeout, this, &DiagnosisReport::CheckUpToDate);
}

DiagnosisReport::~DiagnosisReport() = default;

void DiagnosisReport::Present(const QString& title, const QString& summary, const QStringList& findings,
                              CompareReport report, const QString& expectedHeader)
{
    m_title = title;
    m_cliSummary = summary;
    m_findings = findings;
    m_basis = m_session.Basis();
    m_stale.clear();
    ShowTitle();

    QStringList words;
    for (const Finding& f : report.found) words << FromCore(FindingWords(f));
    if (m_kind == Kind::Compare && LooksWeak(report))
        words << QStringLiteral("Some bytes did not take all their programming: the chip may be weak. ") + kRetryHint;
    m_findingsLabel->setText(words.join(QLatin1Char('\n')));
    m_findingsLabel->setVisible(!words.isEmpty());

    std::optional<unsigned> line;
    for (const Finding& f : report.found)
        if (f.kind == Finding::Kind::AddressLineDead) line = f.line;
    m_map->SetShares(report.size, DiffShares(report, ChipMap::kCells),
                     m_kind == Kind::Compare ? QStringLiteral("differing") : QStringLiteral("still programmed"));
    m_map->MarkAddressLine(line);

    m_model->Reset(std::move(report), expectedHeader);
    m_table->resizeColumnsToContents();
    if (!isVisible()) PlaceBeside(this);
    show();
    raise();
    activateWindow();
    m_watch->start();
}

void DiagnosisReport::ShowTitle()
{
    setWindowTitle(m_stale.isEmpty() ? m_title : m_title + QStringLiteral(" (out of date)"));
    m_staleLabel->setText(QStringLiteral("Out of date: %1. Refresh reads the chip again.").arg(m_stale));
    m_staleLabel->setVisible(!m_stale.isEmpty());
    m_refresh->setDefault(!m_stale.isEmpty());
}

void DiagnosisReport::CheckUpToDate()
{
    if (m_title.isEmpty()) return;
    const QString stale = FromCore(m_session.OutOfDate(m_basis, m_kind == Kind::Compare));
    if (stale == m_stale) return;
    m_stale = stale;
    ShowTitle();
}

void DiagnosisReport::ShowCompare(const CompareReport& report)
{
    QStringList findings;
    for (const std::string& f : report.findings) findings << FromCore(f);
    m_summary->setText(FromCore(CompareSummaryWords(report)));
    Present(QStringLiteral("Compare Chip with Buffer"), FromCore(CompareSummary(report)), findings, report,
            QStringLiteral("Buffer"));
}

void DiagnosisReport::ShowEraseCheck(const EraseReport& report)
{
    CompareReport asDiffs;
    asDiffs.size = report.size;
    asDiffs.diffs.reserve(report.bytes.size());
    for (const ProgrammedByte& b : report.bytes)
        asDiffs.diffs.push_back({b.address, 0xFF, b.chip, ClassifyByte(0xFF, b.chip)});
    asDiffs.needErasing = report.bytes.size();
    // The summary is the step's last line; the byte lines are the table.
    const std::vector<std::string> lines = EraseCheckLines(report, 1);
    m_summary->setText(FromCore(EraseSummaryWords(report)));
    Present(QStringLiteral("Erase Check"), FromCore(lines.back()), {}, std::move(asDiffs),
            QStringLiteral("Erased"));
}

QString DiagnosisReport::Words() const
{
    QString text = m_summary->text();
    if (!m_findingsLabel->text().isEmpty()) text += QLatin1Char('\n') + m_findingsLabel->text();
    return text;
}

QString DiagnosisReport::Text() const
{
    QString text = m_cliSummary + QLatin1Char('\n');
    for (const QString& f : m_findings) text += f + QLatin1Char('\n');
    for (const ByteDiff& d : m_model->Report().diffs) text += FromCore(FormatDiffLine(d)) + QLatin1Char('\n');
    return text;
}

QString DiagnosisReport::CopyText() const
{
    QModelIndexList rows = m_table->selectionModel()->selectedRows();
    if (rows.isEmpty()) return Text();
    std::sort(rows.begin(), rows.end(), [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    const auto& diffs = m_model->Report().diffs;
    QString text;
    for (const QModelIndex& index : rows)
        if (std::size_t(index.row()) < diffs.size())
            text += FromCore(FormatDiffLine(diffs[std::size_t(index.row())])) + QLatin1Char('\n');
    return text;
}

Status DiagnosisReport::SaveCsv(const std::string& path) const
{
    if (Status held = m_session.CheckSaveTarget(path); !held) return held;
    return WriteCompareCsv(path, m_model->Report());
}

std::uint32_t DiagnosisReport::AddressOfRow(int row) const
{
    const auto& diffs = m_model->Report().diffs;
    return row >= 0 && std::size_t(row) < diffs.size() ? diffs[std::size_t(row)].address : 0;
}

void DiagnosisReport::OnCopy() { QApplication::clipboard()->setText(CopyText()); }

void DiagnosisReport::OnSaveCsv()
{
    QFileDialog chooser(this, QStringLiteral("Save the Differences as CSV"));
    chooser.setAcceptMode(QFileDialog::AcceptSave);
    chooser.setNameFilters({QStringLiteral("CSV files (*.csv)"), QStringLiteral("All files (*)")});
    chooser.setDefaultSuffix(QStringLiteral("csv"));
    if (chooser.exec() != QDialog::Accepted || chooser.selectedFiles().isEmpty()) return;
    const QString path = chooser.selectedFiles().first();
    if (const Status saved = SaveCsv(FileNameToCore(path)); !saved) m_ui.AppMessageBox(saved.message());
}

void DiagnosisReport::OnActivated(int row)
{
    if (row < 0 || std::size_t(row) >= m_model->Report().diffs.size()) return;
    emit addressChosen(AddressOfRow(row));
}

}  // namespace vexo::gui
