// SPDX-License-Identifier: GPL-3.0-or-later
// vexo's step words (NUL-separated in the input): they parse, or the usage
// error says why. Nothing runs.
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/steps.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::vector<std::string> words(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0) words.emplace_back();
        else words.back().push_back(char(data[i]));
    }
    const vexo::Result<std::vector<vexo::cli::Step>> steps = vexo::cli::ParseSteps(words);
    if (!steps && steps.message().empty()) std::abort();  // every refusal says why
    return 0;
}
