// SPDX-License-Identifier: GPL-3.0-or-later
// One vexo run, from the command line to the exit status.
#pragma once

#include <cstdio>

namespace vexo::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;  // a step reported a failure
inline constexpr int kExitUsage = 2;   // bad command line; nothing ran

// Parses the arguments, opens the port, runs the device object through the
// steps and resets it as the program does at exit. Messages go to `out`, the
// port line, progress and usage errors to `err`.
int Run(int argc, const char* const* argv, std::FILE* out, std::FILE* err, bool showProgress);

}  // namespace vexo::cli
