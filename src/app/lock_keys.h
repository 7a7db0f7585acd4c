// SPDX-License-Identifier: GPL-3.0-or-later
// The state of the Caps, Num and Scroll Lock keys, for the status bar's
// indicator panes. Known on X11 only; elsewhere every lock reads as off.
#pragma once

namespace vexo::gui {

struct LockKeys {
    bool caps = false;
    bool num = false;
    bool scroll = false;
};

bool LockKeysKnown();
LockKeys QueryLockKeys();

}  // namespace vexo::gui
