// SPDX-License-Identifier: GPL-3.0-or-later
// What the device object may ask of whoever hosts it: the GUI, the command
// line and the tests each implement this.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vexo {

class IUiServices {
public:
    virtual ~IUiServices() = default;

    // The device object's own box: OK only, the application's title.
    virtual void RomMessageBox(std::string_view text) = 0;
    // The application-wide box (owned by the main window), OK only.
    virtual void AppMessageBox(std::string_view text) = 0;
    // The Hex Count pane. Called after every counted byte of a pass; the host
    // decides how often the screen follows.
    virtual void SetHexCountText(std::string_view text) = 0;
    // A pass has ended (or is about to show a box): bring the screen up to date.
    virtual void FlushHexCount() {}
    // Why the next box is shown, in one or more lines (where a verify failed,
    // why a save failed). The GUI puts them in that box's details, the
    // command line on standard error. The next box consumes them.
    virtual void SetNextBoxDetails(std::string_view details) { static_cast<void>(details); }
    // A line for the operator that is no box (how many bytes each retry
    // round took, how long a pass has left): the command line writes it on
    // standard error, the GUI in the status bar's message pane.
    virtual void Note(std::string_view text) { static_cast<void>(text); }
    // Seconds spent so far waiting on the operator (a box up, a question
    // asked), for timings that leave them out; 0 where nothing waits.
    virtual double OperatorSeconds() const { return 0; }
    // Open BIN File's chooser: the chosen path, or nothing on Cancel.
    virtual std::optional<std::string> ChooseFileToOpen() = 0;
};

}  // namespace vexo
