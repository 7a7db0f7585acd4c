// SPDX-License-Identifier: GPL-3.0-or-later
// vexo-hexbin's command-line use: vexo-hexbin IN [OUT] [--fill 0xFF] [--offset N].
#pragma once

#include <iosfwd>

namespace vexo {

// Exit status: 0 converted, 1 the conversion failed (message on `err`),
// 2 a usage error (one line on `err`). The result line goes to `out`.
int RunHexBinCommandLine(int argc, char** argv, std::ostream& out, std::ostream& err);

}  // namespace vexo
