// SPDX-License-Identifier: GPL-3.0-or-later
// Whether a window can be shown at all, asked before the toolkit starts (it
// aborts without a display).
#pragma once

namespace vexo {

inline constexpr const char* kNoDisplayMessage =
    "no display: set DISPLAY, or use vexo for work without one";

// True when DISPLAY or WAYLAND_DISPLAY is set (not empty), or a platform is
// chosen explicitly (QT_QPA_PLATFORM, or -platform among the arguments).
bool DisplayAvailable(int argc, const char* const* argv);

}  // namespace vexo
