// SPDX-License-Identifier: GPL-3.0-or-later
#include "dialogs/dump_report.h"

#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include "dialogs/core_text.h"

namespace vexo::gui {

DumpMap::DumpMap(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("DumpMap"));
    setToolTip(QStringLiteral("The device from its first address (top left) to its last; marked cells hold a "
                              "listed address"));
}

void DumpMap::SetMarks(std::uint32_t deviceSize, const std::vector<MarkedRange>& marks)
{
    m_cells.assign(kCells, false);
    if (deviceSize > 0) {
        const auto cellOf = [deviceSize](std::uint32_t address) {
            const std::uint64_t clamped = std::min<std::uint64_t>(address, deviceSize - 1);
            return std::size_t(clamped * kCells / deviceSize);
        };
        for (const MarkedRange& mark : marks) {
            if (mark.first >= deviceSize) continue;
            for (std::size_t cell = cellOf(mark.first); cell <= cellOf(mark.second); ++cell) m_cells[cell] = true;
        }
    }
    update();
}

QSize DumpMap::sizeHint() const { return {kColumns * 8, kRows * 8}; }

void DumpMap::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const double w = double(width()) / kColumns;
    const double h = double(height()) / kRows;
    for (int i = 0; i < kCells; ++i) {
        const QRectF cell((i % kColumns) * w, (i / kColumns) * h, w - 1, h - 1);
        painter.fillRect(cell, m_cells[std::size_t(i)] ? QColor(200, 40, 40) : palette().color(QPalette::Mid));
    }
}

DumpReport::DumpReport(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("DumpReport"));
    setWindowTitle(QStringLiteral("Dump Report"));
    m_title = new QLabel(this);
    m_map = new DumpMap(this);
    m_map->setMinimumHeight(DumpMap::kRows * 6);
    m_list = new QListWidget(this);
    m_list->setFont(QFont(QStringLiteral("monospace")));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    QPushButton* copy = buttons->addButton(QStringLiteral("&Copy"), QDialogButtonBox::ActionRole);
    connect(copy, &QPushButton::clicked, this,
            [this] { QApplication::clipboard()->setText(Lines().join(QLatin1Char('\n'))); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::hide);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_title);
    layout->addWidget(m_map);
    layout->addWidget(m_list, 1);
    layout->addWidget(buttons);
    resize(720, 420);
}

void DumpReport::ShowReport(const QString& title, const std::vector<ReportLine>& lines, std::uint32_t deviceSize,
                            const std::vector<MarkedRange>& marks)
{
    setWindowTitle(title);
    m_title->setText(title);
    m_map->SetMarks(deviceSize, marks);
    m_list->clear();
    for (const ReportLine& line : lines) m_list->addItem(FromCore(line.text));
    show();
    raise();
    activateWindow();
}

QStringList DumpReport::Lines() const
{
    QStringList lines;
    for (int i = 0; i < m_list->count(); ++i) lines << m_list->item(i)->text();
    return lines;
}

QString DumpReport::Title() const { return m_title->text(); }

}  // namespace vexo::gui
