// SPDX-License-Identifier: GPL-3.0-or-later
// One line of a report as the operator reads it, with its parts as fields
// (snake_case keys, numbers as numbers) for `vexo --json`.
#pragma once

#include <string>

#include "base/json.h"

namespace vexo {

struct ReportLine {
    std::string text;
    JsonObject fields;
};

}  // namespace vexo
