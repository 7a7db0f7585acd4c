// SPDX-License-Identifier: GPL-3.0-or-later
// One file in two roles: a run that would write a file it also reads or
// holds open (the chip file, the trace, the capture, an image loaded or
// saved, a log or report it writes records to) is refused before anything
// is opened.
#pragma once

#include <string>
#include <vector>

#include "base/error.h"

namespace vexo {

struct FileRole {
    std::string role;  // as the operator wrote it: "--trace", "sim:chip", "load", "save"
    std::string path;
    // Held open for the whole run (chip, trace, capture): clashes with every
    // other role on the same file. Step files are used one after another, so
    // a later step may read what an earlier one wrote; within one step
    // (`step` the same, not 0) an input and an output clash too.
    bool held = false;
    int step = 0;
    // Records the run writes (a production log, a CSV report), never an
    // image: clashes with every image role on the same file (a step's load,
    // save, export, ...), whichever step that is. Two images in different
    // steps may share a file (load it, edit it, export it back).
    bool record = false;
};

// Fails with "--trace c.bin and sim:chip c.bin are the same file" when two
// roles clash. Files are compared by device and inode when they exist, else
// by their resolved path (the real folder plus the name, through a link that
// leads nowhere yet). Terminals and other character devices (/dev/null) may
// take any number of roles.
Status CheckFileRoles(const std::vector<FileRole>& roles);

}  // namespace vexo
