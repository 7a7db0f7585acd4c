// SPDX-License-Identifier: GPL-3.0-or-later
// The cheapest host a pass can have: boxes go nowhere, the Hex Count text is
// copied as a real pane would take it.
#pragma once

#include <optional>
#include <string>

#include "rom/ui_services.h"

namespace vexo::bench {

class QuietUi : public IUiServices {
public:
    void RomMessageBox(std::string_view) override {}
    void AppMessageBox(std::string_view) override {}
    void SetHexCountText(std::string_view text) override { m_length = text.copy(m_text, sizeof m_text); }
    std::optional<std::string> ChooseFileToOpen() override { return std::nullopt; }

private:
    char m_text[32];
    std::size_t m_length = 0;
};

}  // namespace vexo::bench
