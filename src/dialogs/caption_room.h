// SPDX-License-Identifier: GPL-3.0-or-later
// Room for a window's whole caption: window managers cut a title that does
// not fit between the window's icon and its buttons ("Ve... er1").
#pragma once

#include <QApplication>
#include <QDialog>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>

namespace vexo::gui {

// The width a window needs to show `title` whole: the title in a bold
// title-bar font, plus the window manager's icon, three buttons and borders
// (in device-independent pixels, so scale 2 doubles both alike).
inline int CaptionWidth(const QString& title)
{
    QFont font = QApplication::font("QMdiSubWindowTitleBar");
    font.setBold(true);
    constexpr int kWindowManagerRoom = 4 * 32 + 2 * 24;
    return QFontMetrics(font).horizontalAdvance(title) + kWindowManagerRoom;
}

// A message box sizes itself to its text; a spacer across its grid keeps it
// at least as wide as its caption.
inline void GiveCaptionRoom(QMessageBox& box)
{
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    if (!grid) return;
    grid->addItem(new QSpacerItem(CaptionWidth(box.windowTitle()), 0, QSizePolicy::Minimum,
                                  QSizePolicy::Expanding),
                  grid->rowCount(), 0, 1, grid->columnCount());
}

}  // namespace vexo::gui
