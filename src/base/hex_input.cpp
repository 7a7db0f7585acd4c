// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/hex_input.h"

#include <optional>

#include "base/hex.h"
#include "base/numbers.h"
#include "base/text.h"

namespace vexo {
namespace {

// Plain ASCII tests: the <cctype> ones follow the locale, which the desktop sets.
bool Blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

bool Digit(char c, int base)
{
    const int value = HexDigitValue(c);
    return value >= 0 && value < base;
}

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && Blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && Blank(text.back())) text.remove_suffix(1);
    return text;
}

bool AllDigits(std::string_view text, int base)
{
    if (text.empty()) return false;
    for (const char c : text)
        if (!Digit(c, base)) return false;
    return true;
}

// One word of hex bytes: "DEAD", "0xDE", "DEh"; nothing else.
bool HexWord(std::string_view word, std::vector<std::uint8_t>& out)
{
    if (word.size() > 2 && word[0] == '0' && (word[1] == 'x' || word[1] == 'X')) word.remove_prefix(2);
    else if (word.size() > 1 && (word.back() == 'h' || word.back() == 'H')) word.remove_suffix(1);
    if (word.size() % 2 != 0 || !AllDigits(word, 16)) return false;
    for (std::size_t i = 0; i < word.size(); i += 2)
        out.push_back(std::uint8_t(HexDigitValue(word[i]) << 4 | HexDigitValue(word[i + 1])));
    return true;
}

std::optional<std::vector<std::uint8_t>> HexBytes(std::string_view entry)
{
    std::vector<std::uint8_t> bytes;
    std::size_t i = 0;
    const auto separator = [](char c) { return c == ' ' || c == '\t' || c == ','; };
    while (i < entry.size()) {
        if (separator(entry[i])) {
            ++i;
            continue;
        }
        std::size_t j = i;
        while (j < entry.size() && !separator(entry[j])) ++j;
        if (!HexWord(entry.substr(i, j - i), bytes)) return std::nullopt;
        i = j;
    }
    if (bytes.empty()) return std::nullopt;
    return bytes;
}

}  // namespace

Result<std::uint64_t> ParseHexNumber(std::string_view text, std::uint64_t max, std::string_view what)
{
    const std::string_view t = Trim(text);
    std::optional<std::uint64_t> value;
    if (t.size() > 1 && t[0] == '#') value = ParseDigits(t.substr(1), 10);
    else if (t.size() > 1 && (t[0] == 'd' || t[0] == 'D') && AllDigits(t.substr(1), 10))
        value = ParseDigits(t.substr(1), 10);
    else if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) value = ParseDigits(t.substr(2), 16);
    else if (t.size() > 1 && (t.back() == 'h' || t.back() == 'H')) value = ParseDigits(t.substr(0, t.size() - 1), 16);
    else value = ParseDigits(t, 16);
    if (value && *value <= max) return *value;
    return Status::Fail(Cat({"Bad ", what, " \"", t, "\": give 0 .. ", Hex(max),
                             " (hexadecimal; #", std::to_string(max), " for decimal)."}));
}

std::string FindQuery::Describe() const
{
    if (text) {
        std::string shown(bytes.begin(), bytes.end());
        return Cat({"\"", shown, "\" (read as text", ignoreCase ? ", ignoring case" : "", ")"});
    }
    std::string shown;
    for (const std::uint8_t b : bytes) {
        if (!shown.empty()) shown += ' ';
        shown += HexByte(b);
    }
    return shown + " (read as hex bytes)";
}

Result<FindQuery> ParseFindQuery(std::string_view entry, FindMode mode, bool ignoreCase)
{
    FindQuery query;
    if (mode != FindMode::Text) {
        const std::string_view t = Trim(entry);
        const bool quoted = t.size() >= 2 && t.front() == '"' && t.back() == '"';
        if (!quoted) {
            if (auto bytes = HexBytes(t)) {
                query.bytes = std::move(*bytes);
                return query;
            }
        }
        if (mode == FindMode::Hex)
            return Status::Fail(Cat({"Not hex bytes: \"", t, "\" (give e.g. DE AD BE EF)."}));
        entry = quoted ? t.substr(1, t.size() - 2) : entry;
    }
    if (entry.empty()) return Status::Fail("Nothing to find.");
    query.bytes.assign(entry.begin(), entry.end());
    query.text = true;
    query.ignoreCase = ignoreCase;
    return query;
}

}  // namespace vexo
