// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/complete.h"

#include <string_view>

#include "cli/steps.h"

namespace vexo::cli {
namespace {

// The words of a help text's value list: "FILE0 FILE1 [FILE2 FILE3]".
std::vector<std::string> ValueNames(std::string_view text)
{
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = std::min(text.find(' ', start), text.size());
        if (end > start) out.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

// What argument `index` of `step` is: its value name, read from the help
// text (the last name stands for any further ones).
std::vector<std::string> ArgumentCandidates(const StepDef& step, std::size_t index)
{
    if (step.name == "device") return ValueCandidates(WordKind::Device);
    if (step.name == "speed") return ValueCandidates(WordKind::Speed);
    const std::vector<std::string> names = ValueNames(step.args);
    if (names.empty()) return {};
    const std::string& name = names[std::min(index, names.size() - 1)];
    return ValueCandidates(KindOfValueName(name), name);
}

std::vector<std::string> StepNames()
{
    std::vector<std::string> out;
    for (const StepDef& step : StepTable()) out.emplace_back(step.name);
    return out;
}

}  // namespace

std::vector<std::string> CompleteVexo(const std::vector<CompletionOption>& globals,
                                      const std::vector<std::string>& words)
{
    const std::string current = words.empty() ? std::string() : words.back();
    const std::size_t typed = words.empty() ? 0 : words.size() - 1;

    // The options before the steps.
    std::size_t i = 0;
    const CompletionOption* pendingGlobal = nullptr;
    for (; i < typed; ++i) {
        const std::string& word = words[i];
        if (pendingGlobal) {
            pendingGlobal = nullptr;
            continue;
        }
        if (word == "--") {
            ++i;
            break;
        }
        const CompletionOption* option = nullptr;
        for (const CompletionOption& g : globals)
            if (g.name == word) option = &g;
        if (option) {
            if (option->value != WordKind::None) pendingGlobal = option;
            continue;
        }
        if (FindStep(word)) break;
    }
    if (pendingGlobal) {
        if (pendingGlobal->name == "--device") return ValueCandidates(WordKind::Device);
        if (pendingGlobal->name == "--speed") return ValueCandidates(WordKind::Speed);
        return ValueCandidates(pendingGlobal->value);
    }
    if (i >= typed) {
        if (!current.empty() && current[0] == '-') {
            std::vector<std::string> out;
            for (const CompletionOption& g : globals) out.push_back(g.name);
            return out;
        }
        return StepNames();
    }

    // The steps: each takes its arguments, then its options with their values.
    const StepDef* step = nullptr;
    std::size_t arguments = 0;
    std::vector<std::string> pendingValues;  // the value names still to come
    for (; i < typed; ++i) {
        const std::string& word = words[i];
        if (!pendingValues.empty()) {
            pendingValues.erase(pendingValues.begin());
            continue;
        }
        if (step && arguments < std::size_t(step->arity)) {
            ++arguments;
            continue;
        }
        if (step && word.rfind("--", 0) == 0) {
            for (const StepOption& option : step->options)
                if (option.name == word) pendingValues = ValueNames(option.value);
            continue;
        }
        if (const StepDef* next = FindStep(word)) {
            step = next;
            arguments = 0;
            continue;
        }
        if (step && step->moreArity != 0) ++arguments;
    }
    if (!pendingValues.empty()) return ValueCandidates(KindOfValueName(pendingValues.front()), pendingValues.front());
    if (step && arguments < std::size_t(step->arity)) return ArgumentCandidates(*step, arguments);
    if (!current.empty() && current[0] == '-') {
        std::vector<std::string> out;
        if (step)
            for (const StepOption& option : step->options) out.emplace_back(option.name);
        return out;
    }
    std::vector<std::string> out = StepNames();
    // Optional arguments (split's and merge's third and fourth file) come
    // before the next step.
    if (step && step->moreArity != 0) {
        std::vector<std::string> more = ArgumentCandidates(*step, arguments);
        more.insert(more.end(), out.begin(), out.end());
        return more;
    }
    return out;
}

}  // namespace vexo::cli
