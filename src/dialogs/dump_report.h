// SPDX-License-Identifier: GPL-3.0-or-later
// The dump report window: the lines of a voted read, an inspection or an
// identification, with a small map of the device that marks where the
// listed addresses lie. Modeless, created once by the Tools menu and shown
// again for each report. Self-contained: the map is a widget of its own
// (DumpMap) so that another map can take its place.
#pragma once

#include <QDialog>
#include <QStringList>
#include <QWidget>

#include <cstdint>
#include <utility>
#include <vector>

#include "rom/report_line.h"

class QLabel;
class QListWidget;

namespace vexo::gui {

// An address range of the report, inclusive.
using MarkedRange = std::pair<std::uint32_t, std::uint32_t>;

// The device as a grid of cells, each a 1/kCells share of it; a cell with a
// marked address in it is filled.
class DumpMap final : public QWidget {
    Q_OBJECT
public:
    static constexpr int kColumns = 64;
    static constexpr int kRows = 8;
    static constexpr int kCells = kColumns * kRows;

    explicit DumpMap(QWidget* parent);
    void SetMarks(std::uint32_t deviceSize, const std::vector<MarkedRange>& marks);
    // Which cells are filled, in address order.
    const std::vector<bool>& Cells() const { return m_cells; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::vector<bool> m_cells = std::vector<bool>(kCells, false);
};

class DumpReport final : public QDialog {
    Q_OBJECT
public:
    explicit DumpReport(QWidget* parent);

    void ShowReport(const QString& title, const std::vector<ReportLine>& lines, std::uint32_t deviceSize,
                    const std::vector<MarkedRange>& marks);
    QStringList Lines() const;
    QString Title() const;
    DumpMap* Map() const { return m_map; }

private:
    QLabel* m_title = nullptr;
    DumpMap* m_map = nullptr;
    QListWidget* m_list = nullptr;
};

}  // namespace vexo::gui
