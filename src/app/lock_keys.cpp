// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/lock_keys.h"

#include <QGuiApplication>

#if VEXO_HAVE_XKB
#include <X11/XKBlib.h>
#endif

namespace vexo::gui {

#if VEXO_HAVE_XKB
namespace {

Display* X11Display()
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->display() : nullptr;
}

}  // namespace

bool LockKeysKnown() { return X11Display() != nullptr; }

LockKeys QueryLockKeys()
{
    LockKeys keys;
    Display* display = X11Display();
    unsigned state = 0;
    if (!display || XkbGetIndicatorState(display, XkbUseCoreKbd, &state) != Success) return keys;
    // The core keyboard's indicators: 0 Caps Lock, 1 Num Lock, 2 Scroll Lock.
    keys.caps = state & 0x1u;
    keys.num = state & 0x2u;
    keys.scroll = state & 0x4u;
    return keys;
}

#else

bool LockKeysKnown() { return false; }
LockKeys QueryLockKeys() { return {}; }

#endif

}  // namespace vexo::gui
