#include "dialogs/buffer_dialogs.h"

#include <QInputDialog>
#include <QLineEdit>
#include <QRegularExpression>

#include "base/numbers.h"
#include "base/sizes.h"
#include "dialogs/core_text.h"

namespace vexo::gui {
namespace {

std::optional<QString> AskLine(QWidget* parent, const QString& title, const QString& label,
                               const QString& preset)
{
    bool ok = false;
    const QString text =
        QInputDialog::getText(parent, title, label, QLineEdit::Normal, preset, &ok);
    if (!ok) return std::nullopt;
    return text;
}

QString Hex6(std::uint32_t value)
{
    return QStringLiteral("0x") +
           QString::number(value, 16).rightJustified(6, QLatin1Char('0')).toUpper();
}

}  // namespace

std::vector<std::string> Words(const QString& line)
{
    std::vector<std::string> out;
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    for (const QString& w : line.split(blanks, Qt::SkipEmptyParts)) out.push_back(ToCore(w));
    return out;
}

QString FillPreset(std::optional<BufferRange> selection)
{
    if (!selection) return {};
    return Hex6(selection->first) + QLatin1Char(' ') + Hex6(selection->last) + QLatin1Char(' ');
}

std::optional<Result<FillArgs>> AskFillArgs(QWidget* parent, std::optional<BufferRange> selection)
{
    const std::optional<QString> line =
        AskLine(parent, QStringLiteral("Fill"),
                QStringLiteral("START END BYTE (decimal or 0x hex):"), FillPreset(selection));
    if (!line) return std::nullopt;
    return ParseFillArgs(Words(*line));
}

std::optional<std::uint64_t> ParseHexOffset(const QString& text, std::uint64_t max)
{
    const std::string word = ToCore(text.trimmed());
    if (word.empty()) return std::nullopt;
    if (word[0] == '#') return ParseUnsigned(std::string_view(word).substr(1), max);
    const bool prefixed = word.size() > 2 && word[0] == '0' && (word[1] == 'x' || word[1] == 'X');
    const bool suffixed = word.back() == 'h' || word.back() == 'H';
    if (prefixed || suffixed) return ParseAddress(word, max);
    return ParseAddress("0x" + word, max);
}

std::optional<Result<std::uint32_t>> AskOffset(QWidget* parent)
{
    const std::optional<QString> line =
        AskLine(parent, QStringLiteral("Load at Offset"),
                QStringLiteral("Offset (hexadecimal, as 4000 or 0x4000; #16384 for decimal):"), QString());
    if (!line) return std::nullopt;
    const std::optional<std::uint64_t> offset = ParseHexOffset(*line, kBufferSize - 1);
    if (!offset)
        return Result<std::uint32_t>(
            Status::Fail("Bad offset: give 0 .. FFFFFF in hexadecimal (#decimal)."));
    return Result<std::uint32_t>(std::uint32_t(*offset));
}

std::optional<Result<BufferRange>> AskRange(QWidget* parent, BufferRange preset)
{
    const std::optional<QString> line = AskLine(
        parent, QStringLiteral("Checksum"), QStringLiteral("START END (decimal or 0x hex):"),
        Hex6(preset.first) + QLatin1Char(' ') + Hex6(preset.last));
    if (!line) return std::nullopt;
    return ParseRangeArgs(Words(*line));
}

}  // namespace vexo::gui
