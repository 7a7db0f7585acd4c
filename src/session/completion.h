// SPDX-License-Identifier: GPL-3.0-or-later
// What the shell's completion offers for a word, read from the programs' own
// tables (options, steps, port backends, devices, speeds), so that a new row
// there is offered without touching the completion script. Each program
// answers a hidden `--complete WORD...` (the words typed so far, the one
// being completed last) with one candidate a line; "@files" asks the script
// for file names instead.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vexo {

// What an option's value, or a word in a step's argument list, is.
enum class WordKind { None, Text, File, Port, Device, Speed };

// The kind of a help text's value name: "FILE", "IN", "OUT", "FILE0",
// "[FILE2" -> File; "PORT", "SPEC" -> Port; "1|2|3" -> Text with choices;
// anything else Text. Device and speed names are told by their step.
WordKind KindOfValueName(std::string_view valueName);

struct CompletionOption {
    std::string name;  // "--trace"
    WordKind value;    // None: a flag
};

// A CLI11 application's options (any type with its get_options() shape),
// the hidden ones left out.
template <typename App>
std::vector<CompletionOption> CompletionOptionsOf(const App& app)
{
    std::vector<CompletionOption> out;
    for (const auto* option : app.get_options()) {
        if (option->get_group().empty()) continue;
        const WordKind kind =
            option->get_type_size_max() == 0 ? WordKind::None : KindOfValueName(option->get_type_name());
        for (const std::string& name : option->get_lnames()) out.push_back({"--" + name, kind});
    }
    return out;
}

// The line that asks the script for file names.
inline constexpr std::string_view kCompleteFiles = "@files";

// The candidates for a word of `kind`: backend names for a port, device
// types and part families for a device, speed names; "@files" for a file.
// Choices written "a|b|c" are offered as they are.
std::vector<std::string> ValueCandidates(WordKind kind, std::string_view valueName = {});

// The answer to `--complete` for a program with only options and files
// after them (vexo-hexbin, vexowriter): the value of the option before the
// word, else the options when the word starts with '-', else files.
std::vector<std::string> CompleteOptionsAndFiles(const std::vector<CompletionOption>& options,
                                                 const std::vector<std::string>& words);

// The candidates that start with `current` (case-insensitively), one a line.
// "@files" is kept whatever `current` is.
std::string CompletionLines(const std::vector<std::string>& candidates, std::string_view current);

}  // namespace vexo
