// SPDX-License-Identifier: GPL-3.0-or-later
#include "dialogs/chip_map.h"

#include <QHelpEvent>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

#include <algorithm>
#include <cmath>

namespace vexo::gui {
namespace {

QString Address(std::uint64_t address)
{
    return QStringLiteral("0x") + QStringLiteral("%1").arg(qulonglong(address), 5, 16, QLatin1Char('0')).toUpper();
}

constexpr int kMargin = 4;

}  // namespace

ChipMap::ChipMap(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("ChipMap"));
    setMouseTracking(false);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
}

void ChipMap::SetShares(std::uint32_t size, std::vector<double> shares, const QString& what)
{
    m_size = size;
    m_shares = std::move(shares);
    if (m_shares.size() > std::size_t(kCells)) m_shares.resize(std::size_t(kCells));
    m_what = what;
    updateGeometry();
    update();
}

void ChipMap::MarkAddressLine(std::optional<unsigned> line)
{
    m_markedLine = line;
    update();
}

int ChipMap::Columns() const { return std::max(1, std::min(kColumns, CellCount())); }
int ChipMap::Rows() const { return CellCount() == 0 ? 0 : (CellCount() + Columns() - 1) / Columns(); }

std::uint32_t ChipMap::CellAddress(int cell) const
{
    if (cell <= 0 || m_shares.empty()) return 0;
    return std::uint32_t(std::uint64_t(cell) * m_size / m_shares.size());
}

int ChipMap::CellOf(std::uint32_t address) const
{
    if (m_shares.empty() || address >= m_size) return -1;
    int cell = int(std::uint64_t(address) * m_shares.size() / m_size);
    while (cell + 1 < CellCount() && CellAddress(cell + 1) <= address) ++cell;
    while (cell > 0 && CellAddress(cell) > address) --cell;
    return cell;
}

bool ChipMap::Marked(int cell) const
{
    if (!m_markedLine || *m_markedLine >= 32) return false;
    const std::uint64_t bit = std::uint64_t(1) << *m_markedLine;
    const std::uint64_t first = CellAddress(cell);
    const std::uint64_t end = cell + 1 < CellCount() ? CellAddress(cell + 1) : m_size;
    // A cell wider than the line's period holds both levels: marked too.
    return (first & bit) != 0 || end - first > bit || ((end - 1) & bit) != 0;
}

QString ChipMap::CellText(int cell) const
{
    const std::uint64_t first = CellAddress(cell);
    const std::uint64_t end = cell + 1 < CellCount() ? CellAddress(cell + 1) : m_size;
    const std::uint64_t bytes = end - first;
    const auto counted = std::uint64_t(std::llround(Share(cell) * double(bytes)));
    return QStringLiteral("%1-%2: %3 of %4 bytes %5")
        .arg(Address(first), Address(end - 1))
        .arg(counted)
        .arg(bytes)
        .arg(m_what);
}

QColor ChipMap::ShareColour(double share)
{
    if (share <= 0) return QColor(0xE4, 0xEE, 0xE4);  // nothing counted: a pale green
    // From yellow at a trace to dark red for every byte.
    const double t = std::clamp(share, 0.0, 1.0);
    const int red = int(std::lround(255 - 95 * t));
    const int green = int(std::lround(215 * (1 - t)));
    return QColor(red, green, 0x20);
}

int ChipMap::LegendHeight() const { return fontMetrics().height() * 3 + 4 * kMargin; }

int ChipMap::CellSide() const
{
    const int labels = fontMetrics().horizontalAdvance(QStringLiteral("0x00000")) + kMargin;
    const int width = std::max(1, this->width() - labels - 2 * kMargin);
    const int height = std::max(1, this->height() - LegendHeight() - 2 * kMargin);
    const int rows = std::max(1, Rows());
    return std::max(1, std::min(width / Columns(), height / rows));
}

QRect ChipMap::GridRect() const
{
    const int labels = fontMetrics().horizontalAdvance(QStringLiteral("0x00000")) + kMargin;
    const int side = CellSide();
    return {kMargin + labels, kMargin, side * Columns(), side * Rows()};
}

QRect ChipMap::CellRect(int cell) const
{
    const QRect grid = GridRect();
    const int side = CellSide();
    return {grid.left() + (cell % Columns()) * side, grid.top() + (cell / Columns()) * side, side, side};
}

int ChipMap::CellAt(QPoint point) const
{
    const QRect grid = GridRect();
    if (!grid.contains(point)) return -1;
    const int side = CellSide();
    const int cell = (point.y() - grid.top()) / side * Columns() + (point.x() - grid.left()) / side;
    return cell < CellCount() ? cell : -1;
}

QSize ChipMap::sizeHint() const
{
    const int labels = fontMetrics().horizontalAdvance(QStringLiteral("0x00000")) + kMargin;
    return {labels + 2 * kMargin + 5 * kColumns, 2 * kMargin + 5 * 64 + LegendHeight()};
}

QSize ChipMap::minimumSizeHint() const
{
    const int labels = fontMetrics().horizontalAdvance(QStringLiteral("0x00000")) + kMargin;
    return {labels + 2 * kMargin + 3 * kColumns, 2 * kMargin + 3 * 64 + LegendHeight()};
}

void ChipMap::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    if (m_shares.empty()) return;
    const QRect grid = GridRect();
    const int side = CellSide();
    const QPen hatch(QColor(0xFF, 0xFF, 0xFF, 0x90), 1);
    for (int cell = 0; cell < CellCount(); ++cell) {
        const QRect r = CellRect(cell);
        painter.fillRect(r, ShareColour(Share(cell)));
        if (Marked(cell) && side >= 3) {
            painter.setPen(hatch);
            painter.drawLine(r.bottomLeft(), r.topRight());
        }
    }
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(grid.adjusted(0, 0, -1, -1));

    // Row addresses down the left: the first row, every eighth, and the last.
    painter.setPen(palette().color(QPalette::WindowText));
    const int rows = Rows();
    const int step = std::max(1, (fontMetrics().height() + side - 1) / side);
    const int every = std::max(8, (step + 7) / 8 * 8);
    for (int row = 0; row < rows; row += every) {
        const QRect label(kMargin, grid.top() + row * side - fontMetrics().height() / 2 + side / 2,
                          grid.left() - 2 * kMargin, fontMetrics().height());
        painter.drawText(label, Qt::AlignRight | Qt::AlignVCenter, Address(CellAddress(row * Columns())));
    }

    // The legend: the colour scale, then what the hatching means.
    const int top = grid.bottom() + 1 + kMargin;
    const int lineHeight = fontMetrics().height();
    const QString none = QStringLiteral("none %1").arg(m_what);
    const QString all = QStringLiteral("all");
    int x = grid.left();
    painter.fillRect(QRect(x, top + 2, lineHeight - 4, lineHeight - 4), ShareColour(0));
    x += lineHeight;
    painter.drawText(QRect(x, top, fontMetrics().horizontalAdvance(none), lineHeight), Qt::AlignVCenter, none);
    x += fontMetrics().horizontalAdvance(none) + 2 * kMargin;
    const QString some = QStringLiteral("a few");
    painter.drawText(QRect(x, top, fontMetrics().horizontalAdvance(some), lineHeight), Qt::AlignVCenter, some);
    x += fontMetrics().horizontalAdvance(some) + kMargin;
    const int scale = std::max(40, grid.right() - x - fontMetrics().horizontalAdvance(all) - kMargin);
    QLinearGradient gradient(x, 0, x + scale, 0);
    gradient.setColorAt(0, ShareColour(0.01));
    gradient.setColorAt(0.5, ShareColour(0.5));
    gradient.setColorAt(1, ShareColour(1));
    painter.fillRect(QRect(x, top + 2, scale, lineHeight - 4), gradient);
    x += scale + kMargin;
    painter.drawText(QRect(x, top, fontMetrics().horizontalAdvance(all), lineHeight), Qt::AlignVCenter, all);

    const std::uint64_t perCell = (m_size + m_shares.size() - 1) / m_shares.size();
    const QString second = QStringLiteral("Each cell: %1 bytes; click one to show it.").arg(perCell);
    painter.drawText(QRect(grid.left(), top + lineHeight + kMargin, width() - grid.left(), lineHeight),
                     Qt::AlignVCenter, second);
    if (m_markedLine)
        painter.drawText(QRect(grid.left(), top + 2 * (lineHeight + kMargin), width() - grid.left(), lineHeight),
                         Qt::AlignVCenter, QStringLiteral("Hatched: where A%1 is 1.").arg(*m_markedLine));
}

void ChipMap::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
    const int cell = CellAt(event->position().toPoint());
    if (cell < 0) return;
    emit addressChosen(quint32(CellAddress(cell)));
}

bool ChipMap::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const int cell = CellAt(help->pos());
        if (cell >= 0)
            QToolTip::showText(help->globalPos(), CellText(cell), this);
        else
            QToolTip::hideText();
        return true;
    }
    return QWidget::event(event);
}

}  // namespace vexo::gui
