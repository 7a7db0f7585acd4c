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
#include <QTableView>
#include <QVBoxLayout>

#include <utility>

#include "base/hex.h"
#include "dialogs/core_text.h"
#include "dialogs/modeless_dialog.h"
#include "session/session.h"

namespace vexo::gui {

namespace {

QString Hex2(std::uint8_t value) { return FromCore(HexByte(value)); }
QString Binary(std::uint8_t value) { return QStringLiteral("%1").arg(value, 8, 2, QLatin1Char('0')); }

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

DiagnosisReport::DiagnosisReport(Session& session, IUiServices& ui, QWidget* parent)
    : QDialog(parent), m_session(session), m_ui(ui)
{
    setObjectName(QStringLiteral("DiagnosisReport"));
    setModal(false);
    m_summary = new QLabel(this);
    m_summary->setObjectName(QStringLiteral("Summary"));
    m_summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_findingsLabel = new QLabel(this);
    m_findingsLabel->setObjectName(QStringLiteral("Findings"));
    m_findingsLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);

    m_model = new DiffTableModel(this);
    m_table = new QTableView(this);
    m_table->setObjectName(QStringLiteral("Differences"));
    m_table->setModel(m_model);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setStretchLastSection(true);
    connect(m_table, &QTableView::doubleClicked, this, [this](const QModelIndex& index) { OnActivated(index.row()); });

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    QPushButton* copy = buttons->addButton(QStringLiteral("&Copy"), QDialogButtonBox::ActionRole);
    copy->setObjectName(QStringLiteral("Copy"));
    QPushButton* save = buttons->addButton(QStringLiteral("&Save as CSV..."), QDialogButtonBox::ActionRole);
    save->setObjectName(QStringLiteral("SaveCsv"));
    connect(copy, &QPushButton::clicked, this, &DiagnosisReport::OnCopy);
    connect(save, &QPushButton::clicked, this, &DiagnosisReport::OnSaveCsv);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::hide);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_summary);
    layout->addWidget(m_findingsLabel);
    layout->addWidget(m_table, 1);
    layout->addWidget(buttons);
    resize(620, 420);
}

DiagnosisReport::~DiagnosisReport() = default;

void DiagnosisReport::Present(const QString& title, const QString& summary, const QStringList& findings,
                              CompareReport report, const QString& expectedHeader)
{
    setWindowTitle(title);
    m_summary->setText(summary);
    m_findings = findings;
    m_findingsLabel->setText(findings.join(QLatin1Char('\n')));
    m_findingsLabel->setVisible(!findings.isEmpty());
    m_model->Reset(std::move(report), expectedHeader);
    m_table->resizeColumnsToContents();
    show();
    raise();
    activateWindow();
}

void DiagnosisReport::ShowCompare(const CompareReport& report)
{
    QStringList findings;
    for (const std::string& f : report.findings) findings << FromCore(f);
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
    Present(QStringLiteral("Erase Check"), FromCore(lines.back()), {}, std::move(asDiffs),
            QStringLiteral("Erased"));
}

QString DiagnosisReport::Summary() const { return m_summary->text(); }

QString DiagnosisReport::Text() const
{
    QString text = m_summary->text() + QLatin1Char('\n');
    for (const QString& f : m_findings) text += f + QLatin1Char('\n');
    for (const ByteDiff& d : m_model->Report().diffs) text += FromCore(FormatDiffLine(d)) + QLatin1Char('\n');
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

void DiagnosisReport::OnCopy() { QApplication::clipboard()->setText(Text()); }

void DiagnosisReport::OnSaveCsv()
{
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Save as CSV"), QString(),
                                                      QStringLiteral("CSV files (*.csv);;All files (*)"));
    if (path.isEmpty()) return;
    if (const Status saved = SaveCsv(ToCore(path)); !saved) m_ui.AppMessageBox(saved.message());
}

void DiagnosisReport::OnActivated(int row)
{
    if (row < 0 || std::size_t(row) >= m_model->Report().diffs.size()) return;
    emit addressChosen(AddressOfRow(row));
}

}  // namespace vexo::gui
