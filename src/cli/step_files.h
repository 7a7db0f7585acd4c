// SPDX-License-Identifier: GPL-3.0-or-later
// The files a run's steps read and write, for the checks made before it runs.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/file_roles.h"
#include "cli/steps.h"
#include "rom/image_formats.h"

namespace vexo::cli {

// Every load input, save output and convert input and output, and the files
// of export, split, merge and load-at, each with its step's number (from 1).
std::vector<FileRole> StepFileRoles(const std::vector<Step>& steps);

// Standard input ("-") read by more than one step, or standard output
// ("-") written by more than one: the one-line reason of the usage error,
// else empty.
Status CheckStandardStreams(const std::vector<Step>& steps);

// The step's --format (or `option`: --in-format, --out-format) when given.
// Checked before the run (CheckFormatOptions).
std::optional<ImageFormat> StepFormat(const Step& step, std::string_view option = "--format");
// Empty when every format option of the step names raw, ihex or srec.
Status CheckFormatOptions(const Step& step);

// True when a save, convert, export or split writes where descriptor `fd` writes (a
// /dev/stdout target, or the very file standard output goes to).
bool StepsWriteTo(const std::vector<Step>& steps, int fd);

}  // namespace vexo::cli
