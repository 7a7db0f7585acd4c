// SPDX-License-Identifier: GPL-3.0-or-later
// The files a run's steps read and write, for the checks made before it runs.
#pragma once

#include <vector>

#include "base/file_roles.h"
#include "cli/steps.h"

namespace vexo::cli {

// Every load input, save output and convert input and output, and the files
// of export, split, merge and load-at, each with its step's number (from 1).
std::vector<FileRole> StepFileRoles(const std::vector<Step>& steps);

// True when a save, convert, export or split writes where descriptor `fd` writes (a
// /dev/stdout target, or the very file standard output goes to).
bool StepsWriteTo(const std::vector<Step>& steps, int fd);

}  // namespace vexo::cli
