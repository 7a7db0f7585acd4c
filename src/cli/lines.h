// SPDX-License-Identifier: GPL-3.0-or-later
// vexo's line test at a terminal: a warning, then one output line per Enter
// with the status lines shown live; q ends it, and the lines go back to their
// reset state whichever way it ends.
#pragma once

#include <cstdio>
#include <string>

#include "port/port.h"

namespace vexo::cli {

// Why the test will not run where standard input is not a terminal.
inline constexpr const char* kLineTestNeedsTerminal =
    "the line test needs a terminal: it waits for Enter before each line; "
    "run it from a terminal, not from a pipe or a script";

// Returns the exit status: 0 when the test ran (to its end or to q), 1 when
// standard input `inFd` is not a terminal (nothing is written to the port)
// or a stop request (a signal) ended it; the lines are reset then too, and
// `stoppedAt` names the line that was driven ("3/12 D2 (pin 4) high").
int RunLineTest(IPort& port, bool withBit4, int inFd, std::FILE* out, std::FILE* err,
                std::string* stoppedAt = nullptr);

}  // namespace vexo::cli
