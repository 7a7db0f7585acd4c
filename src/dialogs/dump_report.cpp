// SPDX-License-Identifier: GPL-3.0-or-later
#include "dialogs/dump_report.h"

#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

#include "dialogs/chip_map.h"
#include "dialogs/core_text.h"
#include "dialogs/diagnosis_report.h"

namespace vexo::gui {

std::vector<double> MarkedShares(std::uint32_t deviceSize, int cells, const std::vector<MarkedRange>& marks)
{
    if (deviceSize == 0 || cells <= 0) return {};
    const std::uint32_t n = std::min<std::uint32_t>(std::uint32_t(cells), deviceSize);
    const std::uint32_t per = deviceSize / n;
    std::vector<std::uint64_t> covered(n, 0);
    for (const MarkedRange& mark : marks) {
        if (mark.first >= deviceSize || mark.second < mark.first) continue;
        const std::uint32_t last = std::min(mark.second, deviceSize - 1);
        for (std::uint32_t cell = mark.first / per; cell < n && cell * per <= last; ++cell) {
            const std::uint64_t from = std::max<std::uint64_t>(mark.first, std::uint64_t(cell) * per);
            const std::uint64_t to = std::min<std::uint64_t>(last, std::uint64_t(cell + 1) * per - 1);
            covered[cell] += to - from + 1;
        }
    }
    std::vector<double> shares(n);
    for (std::uint32_t cell = 0; cell < n; ++cell) shares[cell] = std::min(1.0, double(covered[cell]) / per);
    return shares;
}

DumpReport::DumpReport(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("DumpReport"));
    setWindowTitle(QStringLiteral("Dump Report"));
    m_title = new QLabel(this);
    m_title->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_map = new ChipMap(this);
    connect(m_map, &ChipMap::addressChosen, this, &DumpReport::addressChosen);
    m_list = new QListWidget(this);
    m_list->setFont(QFont(QStringLiteral("monospace")));
    m_list->setWordWrap(true);  // a line as long as a SHA-1 stays readable without scrolling
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    QPushButton* copy = buttons->addButton(QStringLiteral("&Copy"), QDialogButtonBox::ActionRole);
    connect(copy, &QPushButton::clicked, this,
            [this] { QApplication::clipboard()->setText(Lines().join(QLatin1Char('\n'))); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::hide);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_title);
    layout->addWidget(m_map, 0, Qt::AlignHCenter);
    layout->addWidget(m_list, 1);
    layout->addWidget(buttons);
    resize(720, 640);
}

void DumpReport::ShowReport(const QString& title, const std::vector<ReportLine>& lines, std::uint32_t deviceSize,
                            const std::vector<MarkedRange>& marks, const QString& what)
{
    setWindowTitle(title);
    m_title->setText(title);
    m_map->SetShares(deviceSize, MarkedShares(deviceSize, ChipMap::kCells, marks), what);
    m_list->clear();
    for (const ReportLine& line : lines) m_list->addItem(FromCore(line.text));
    // Beside the main window the first time; where the operator left it after.
    if (!m_placed) {
        PlaceBeside(this);
        m_placed = true;
    }
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
