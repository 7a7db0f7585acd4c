// SPDX-License-Identifier: GPL-3.0-or-later
// UI services for tests: records every box and the last Hex Count text, and
// answers the file chooser from a queue.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "rom/info_panel.h"
#include "rom/ui_services.h"

namespace vexo::test {

// A panel model that counts its pushes.
class RecordingPanel : public InfoPanel {
public:
    RecordingPanel() { Listen([this](const InfoPanel&) { ++pushes; }); }
    int pushes = 0;
};

class UiRecorder : public IUiServices {
public:
    void RomMessageBox(std::string_view text) override { messages.emplace_back(text); }
    void AppMessageBox(std::string_view text) override { messages.emplace_back(text); }
    void SetHexCountText(std::string_view text) override
    {
        hexCount.assign(text);
        ++hexCountUpdates;
    }
    void SetNextBoxDetails(std::string_view text) override { details.emplace_back(text); }
    std::optional<std::string> ChooseFileToOpen() override
    {
        if (choices.empty()) return std::nullopt;
        auto c = choices.front();
        choices.pop_front();
        return c;
    }

    std::vector<std::string> Take()
    {
        auto out = std::move(messages);
        messages.clear();
        return out;
    }

    std::vector<std::string> messages;
    std::vector<std::string> details;  // every SetNextBoxDetails, in order
    std::string hexCount = "Hex Counter :                \n";
    long hexCountUpdates = 0;
    std::deque<std::optional<std::string>> choices;
    RecordingPanel panel;
};

}  // namespace vexo::test
