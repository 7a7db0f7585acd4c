// SPDX-License-Identifier: GPL-3.0-or-later
// `vexo --complete WORD...`: what the shell offers for the last word, from
// the step table and the options (see session/completion.h).
#pragma once

#include <string>
#include <vector>

#include "session/completion.h"

namespace vexo::cli {

// The candidates for words.back(), after words[0..n-2] (the program's name
// left out). `globals` are the options that go before the steps.
std::vector<std::string> CompleteVexo(const std::vector<CompletionOption>& globals,
                                      const std::vector<std::string>& words);

}  // namespace vexo::cli
