// SPDX-License-Identifier: GPL-3.0-or-later
// The two outside programs of the ROM writer bar. Both start detached, with
// an argument list and no shell; a program that cannot be started is not
// reported.
#pragma once

#include <QString>

namespace vexo::gui {

// Dos Shell: x-terminal-emulator, else $TERMINAL, else xterm.
QString TerminalProgram();
void StartTerminal();

// HEX-->BIN: vexo-hexbin next to this program (or in the build tree's
// hexbin/ folder beside it), else from PATH.
QString HexBinProgram();
void StartHexBin();

}  // namespace vexo::gui
