// SPDX-License-Identifier: GPL-3.0-or-later
// A chip's address space as a grid of cells (64 x 64, fewer for a smaller
// chip), one row after the other in address order, each cell coloured by
// the share of its bytes that a report counts (differing, still programmed,
// unstable...), with a legend under it. A click on a cell chooses the
// cell's first address. An address line can be marked: the cells where it
// is 1 are hatched, so a line that makes no difference shows its half.
// Any report window can use it: it is given the shares, nothing else.
#pragma once

#include <QString>
#include <QWidget>

#include <cstdint>
#include <optional>
#include <vector>

namespace vexo::gui {

class ChipMap final : public QWidget {
    Q_OBJECT
public:
    static constexpr int kColumns = 64;
    static constexpr int kCells = kColumns * 64;

    explicit ChipMap(QWidget* parent = nullptr);

    // `shares` (0 to 1) for cells that cut the `size` bytes from address 0
    // into equal parts, at most kCells; `what` names what the share counts
    // for the legend and the tool tips ("differing").
    void SetShares(std::uint32_t size, std::vector<double> shares, const QString& what);
    // The address line whose 1 half is hatched; nullopt: none.
    void MarkAddressLine(std::optional<unsigned> line);

    int CellCount() const { return int(m_shares.size()); }
    double Share(int cell) const { return m_shares.at(std::size_t(cell)); }
    // The first address of a cell, and the cell an address lies in.
    std::uint32_t CellAddress(int cell) const;
    int CellOf(std::uint32_t address) const;
    // Whether the marked line is 1 in (part of) the cell.
    bool Marked(int cell) const;
    // Where a cell is drawn, in the widget's coordinates.
    QRect CellRect(int cell) const;
    // "0x04000-0x0403F: 3 of 64 bytes differing"
    QString CellText(int cell) const;
    // The colour of a share.
    static QColor ShareColour(double share);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void addressChosen(quint32 address);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    bool event(QEvent* event) override;

private:
    int Columns() const;
    int Rows() const;
    int CellSide() const;
    QRect GridRect() const;
    int CellAt(QPoint point) const;
    int LegendHeight() const;

    std::uint32_t m_size = 0;
    std::vector<double> m_shares;
    QString m_what;
    std::optional<unsigned> m_markedLine;
};

}  // namespace vexo::gui
