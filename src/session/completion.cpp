// SPDX-License-Identifier: GPL-3.0-or-later
#include "session/completion.h"

#include <algorithm>
#include <cctype>

#include "port/port_backend.h"
#include "port/port_open.h"
#include "rom/catalogue.h"
#include "rom/part_numbers.h"

namespace vexo {
namespace {

bool StartsWithNoCase(std::string_view text, std::string_view prefix)
{
    if (prefix.size() > text.size()) return false;
    return std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
    });
}

void AddOnce(std::vector<std::string>& out, std::string word)
{
    if (std::find(out.begin(), out.end(), word) == out.end()) out.push_back(std::move(word));
}

}  // namespace

WordKind KindOfValueName(std::string_view valueName)
{
    std::string name;
    for (const char ch : valueName)
        if (ch != '[' && ch != ']' && ch != '.') name += ch;
    if (name.find("FILE") != std::string::npos || name == "IN" || name == "OUT") return WordKind::File;
    if (name == "PORT" || name == "SPEC") return WordKind::Port;
    return WordKind::Text;
}

std::vector<std::string> ValueCandidates(WordKind kind, std::string_view valueName)
{
    std::vector<std::string> out;
    switch (kind) {
    case WordKind::None:
        break;
    case WordKind::Text: {
        // "1|2|3": the choices themselves.
        if (valueName.find('|') == std::string_view::npos) break;
        std::size_t start = 0;
        while (start <= valueName.size()) {
            const std::size_t end = std::min(valueName.find('|', start), valueName.size());
            if (end > start) out.emplace_back(valueName.substr(start, end - start));
            start = end + 1;
        }
        break;
    }
    case WordKind::File:
        out.emplace_back(kCompleteFiles);
        break;
    case WordKind::Port:
        for (const PortBackend* backend : PortBackends()) out.emplace_back(backend->name);
        break;
    case WordKind::Device:
        for (const DeviceInfo& device : kDevices) AddOnce(out, std::string(device.name));
        for (std::string& family : KnownPartFamilies()) AddOnce(out, std::move(family));
        break;
    case WordKind::Speed:
        for (const SpeedInfo& speed : kSpeeds) {
            std::string name(speed.name);
            std::transform(name.begin(), name.end(), name.begin(),
                           [](unsigned char ch) { return char(std::tolower(ch)); });
            out.push_back(std::move(name));
        }
        break;
    }
    return out;
}

std::vector<std::string> CompleteOptionsAndFiles(const std::vector<CompletionOption>& options,
                                                 const std::vector<std::string>& words)
{
    const std::string current = words.empty() ? std::string() : words.back();
    if (words.size() >= 2) {
        const std::string& previous = words[words.size() - 2];
        for (const CompletionOption& option : options)
            if (option.name == previous && option.value != WordKind::None)
                return ValueCandidates(option.value);
    }
    if (!current.empty() && current[0] == '-') {
        std::vector<std::string> out;
        for (const CompletionOption& option : options) out.push_back(option.name);
        return out;
    }
    return {std::string(kCompleteFiles)};
}

std::string CompletionLines(const std::vector<std::string>& candidates, std::string_view current)
{
    std::string out;
    for (const std::string& word : candidates)
        if (word == kCompleteFiles || StartsWithNoCase(word, current)) out += word + "\n";
    return out;
}

}  // namespace vexo
