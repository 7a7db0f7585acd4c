// Small prompts for the buffer commands: one line of numbers each, read with
// the same parsers as the command line's steps.
#pragma once

#include <QString>

#include <optional>
#include <string>
#include <vector>

#include "base/error.h"
#include "rom/buffer_ops.h"

class QWidget;

namespace vexo::gui {

// The words of a line, split at blanks.
std::vector<std::string> Words(const QString& line);

// "0x000100 0x0001FF " for a selection (the byte left to type); empty without one.
QString FillPreset(std::optional<BufferRange> selection);

// Each asks for one line; nullopt when the operator cancels, otherwise the
// arguments or the sentence saying why the line cannot be used.
std::optional<Result<FillArgs>> AskFillArgs(QWidget* parent, std::optional<BufferRange> selection);
std::optional<Result<std::uint32_t>> AskOffset(QWidget* parent);
// An offset as the Tools windows take it: hexadecimal ("4000", "0x4000",
// "4000h"), or decimal after '#' ("#16384"); at most `max`.
std::optional<std::uint64_t> ParseHexOffset(const QString& text, std::uint64_t max);
std::optional<Result<BufferRange>> AskRange(QWidget* parent, BufferRange preset);

}  // namespace vexo::gui
