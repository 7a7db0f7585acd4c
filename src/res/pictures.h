// SPDX-License-Identifier: GPL-3.0-or-later
// The program's pictures: tool-bar buttons, icons, the About picture and the
// module's DIP-switch settings. All are drawn as vectors, so they stay sharp
// at any size and device pixel ratio.
#pragma once

#include <QIcon>
#include <QPixmap>
#include <QRectF>
#include <QSize>

class QPainter;

namespace vexo::gui {

enum class Picture {
    // The ROM writer bar, in button order.
    OpenBin,
    SaveBuffer,
    EditBuffer,
    DosShell,
    LptPort,
    DeviceType,
    HexBin,
    ReadRom,
    BlankCheck,
    WriteRom,
    Verify,
    AutoWrite,
    ChangeSpeed,
    Quit,
    // The About bar's button: a yellow question mark.
    About,
    // The frame's icon and the About box's picture.
    AppIcon,
    AboutPicture,
};

// The size the picture is laid out for (tool-bar buttons 32 x 31, the About
// button 33 x 31, the About picture 36 x 43, the icon 32 x 32).
QSize DesignSize(Picture picture);

// Paints the picture scaled into `target`.
void PaintPicture(Picture picture, QPainter& painter, const QRectF& target);

// An icon that paints itself at whatever size and pixel ratio is asked.
QIcon PictureIcon(Picture picture);

// The picture at its design size (or `size`), for `devicePixelRatio`.
QPixmap PicturePixmap(Picture picture, QSize size = {}, qreal devicePixelRatio = 1.0);

// The DIP-switch setting of device `deviceIndex`, laid out in 257 x 47
// (256 x 47 for the 27C040): twelve switches numbered beneath, an OFF row
// above (blue marks) and an ON row below (green marks), the row labels at the
// right (OFF blue, ON red).
QSize DipPictureSize(int deviceIndex);
void PaintDipSwitches(int deviceIndex, QPainter& painter);

}  // namespace vexo::gui
