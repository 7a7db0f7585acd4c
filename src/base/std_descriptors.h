// SPDX-License-Identifier: GPL-3.0-or-later
// Standard input, output and error that the parent left closed.
#pragma once

#include "base/error.h"

namespace vexo {

// Puts /dev/null on each of descriptors 0, 1 and 2 that is closed (read-only
// on 0, write-only on 1 and 2), so that no file the program opens later
// takes one of their numbers and receives its messages or gives its input.
// Call it first thing in main(), before anything opens a file.
Status OpenClosedStandardDescriptors();

}  // namespace vexo
