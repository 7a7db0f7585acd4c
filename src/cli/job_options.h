// SPDX-License-Identifier: GPL-3.0-or-later
// `vexo --job FILE`: the command line may repeat what a job says but not
// change it, so a released job cannot be altered by accident at a station.
#pragma once

#include <string>
#include <vector>

#include "base/error.h"
#include "cli/steps.h"
#include "rom/job_file.h"

namespace vexo::cli {

// The first of the global options (as given; empty: not given) that says
// otherwise than the job, as a usage error's reason.
Status JobContradiction(const Job& job, const std::string& jobPath, const std::string& device,
                             const std::string& speed, const std::string& retries, const std::string& pulseMicros,
                             bool skipBlank);

// Checks the steps' `device`, `speed` and `batch` options against the job and
// gives each `batch` the job's serial plan or list and log where the step
// leaves them out. Fails with the first contradiction.
Status ApplyJobToSteps(const Job& job, const std::string& jobPath, std::vector<Step>* steps);

}  // namespace vexo::cli
