// SPDX-License-Identifier: GPL-3.0-or-later
// The dump report window: the lines of a voted read, an inspection or an
// identification, with the chip map marking where the listed addresses lie.
// Modeless, created once by the Tools menu and shown again for each report,
// beside the main window; a click on the map asks for that address.
#pragma once

#include <QDialog>
#include <QStringList>

#include <cstdint>
#include <utility>
#include <vector>

#include "rom/report_line.h"

class QLabel;
class QListWidget;

namespace vexo::gui {

class ChipMap;

// An address range of the report, inclusive.
using MarkedRange = std::pair<std::uint32_t, std::uint32_t>;

// The share of each of `cells` equal parts of `deviceSize` bytes that the
// ranges cover (ranges past the device are left out).
std::vector<double> MarkedShares(std::uint32_t deviceSize, int cells, const std::vector<MarkedRange>& marks);

class DumpReport final : public QDialog {
    Q_OBJECT
public:
    explicit DumpReport(QWidget* parent);

    // `what` names what the map's shares count ("unstable", "in a run").
    void ShowReport(const QString& title, const std::vector<ReportLine>& lines, std::uint32_t deviceSize,
                    const std::vector<MarkedRange>& marks, const QString& what);
    QStringList Lines() const;
    QString Title() const;
    ChipMap* Map() const { return m_map; }

signals:
    void addressChosen(quint32 address);

private:
    QLabel* m_title = nullptr;
    ChipMap* m_map = nullptr;
    QListWidget* m_list = nullptr;
    bool m_placed = false;
};

}  // namespace vexo::gui
