// SPDX-License-Identifier: GPL-3.0-or-later
// The command line's host of the device object: every message box becomes a
// line on standard output, and the Hex Count pane a progress bar on standard
// error (only when that is a terminal).
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "rom/ui_services.h"

namespace vexo {
class CRom;
}

namespace vexo::cli {

// Flushes `out`; a reader that went away (EPIPE) is a request to stop the
// run (kStopOutputClosed), as a signal is.
void FlushOutput(std::FILE* out);

// The one-line bar: "[#####-----]  50%  1.2 MiB/s  0:03 left".
std::string FormatProgress(std::uint32_t done, std::uint32_t total, double bytesPerSecond);
// The same with the time the pass has run in front of the time left:
// "[#####-----]  50%  1.2 MiB/s  0:03 elapsed  0:03 left".
std::string FormatProgress(std::uint32_t done, std::uint32_t total, double bytesPerSecond,
                           double elapsedSeconds);

class CliUi final : public IUiServices {
public:
    static constexpr std::string_view kInitialHexCount = "Hex Counter :                \n";

    // `out` receives the message boxes, `err` the progress bar when
    // `showProgress` is set.
    CliUi(std::FILE* out, std::FILE* err, bool showProgress);

    void RomMessageBox(std::string_view text) override { Message(text); }
    void AppMessageBox(std::string_view text) override { Message(text); }
    void SetHexCountText(std::string_view text) override
    {
        // Called once per counted byte: a short copy, and a look at the
        // clock only every few thousand calls.
        std::size_t n = text.size() < sizeof m_hexText ? text.size() : sizeof m_hexText;
        for (std::size_t i = 0; i < n; ++i) m_hexText[i] = text[i];
        m_hexLength = n;
        if (m_showProgress && ++m_callsSinceTick >= kCallsPerTick) Tick();
    }
    void FlushHexCount() override { EndPass(); }
    // The reason behind the next box, on standard error at once.
    void SetNextBoxDetails(std::string_view details) override;
    void Note(std::string_view text) override { PrintNote(text); }
    // A command line has no chooser: files come named with the `load` step.
    std::optional<std::string> ChooseFileToOpen() override { return std::nullopt; }

    // --json: every box as {"step":"verify","message":"*** Verify OK ***"}.
    void SetJson(bool json) { m_json = json; }
    // The step the boxes belong to ("start" before the first, "finish" after).
    void SetStep(std::string_view step)
    {
        m_step = step;
        m_stepDetails.clear();
        m_stepBox.clear();
    }
    // The last box details and the last box of the step (empty: none).
    const std::string& StepDetails() const { return m_stepDetails; }
    const std::string& StepBox() const { return m_stepBox; }

    // The device object whose size and count the bar shows (null: no bar).
    void AttachRom(const CRom* rom) { m_rom = rom; }
    // The Hex Count pane's text as it stands.
    std::string_view HexCountText() const { return {m_hexText, m_hexLength}; }
    // Takes the progress bar off the screen, if it is there.
    void EndPass();

private:
    static constexpr unsigned kCallsPerTick = 4096;
    using Clock = std::chrono::steady_clock;

    void Message(std::string_view text);
    void PrintNote(std::string_view text);
    void Tick();

    std::FILE* m_out;
    std::FILE* m_err;
    bool m_showProgress;
    const CRom* m_rom = nullptr;
    bool m_json = false;
    std::string m_step = "start";
    std::string m_stepDetails;
    std::string m_stepBox;

    char m_hexText[48];
    std::size_t m_hexLength = 0;

    unsigned m_callsSinceTick = 0;
    bool m_passActive = false;
    bool m_barShown = false;
    std::int32_t m_passStartCount = 0;
    std::int32_t m_lastCount = 0;
    Clock::time_point m_passStart{};
    Clock::time_point m_lastDraw{};
};

}  // namespace vexo::cli
