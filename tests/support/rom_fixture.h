// SPDX-License-Identifier: GPL-3.0-or-later
// A device object on a recording port, with the shadows back at their
// process-start values.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "port/recorder.h"
#include "rom/rom.h"
#include "support/ui_recorder.h"

namespace vexo::test {

class RomOnRecorder : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetShadows();
        rom = std::make_unique<CRom>(port, ui, ui.panel);
        port.Clear();
        ui.Take();
    }

    RecordingPort port;  // status 0x80: module present, every bit reads 1
    UiRecorder ui;
    std::unique_ptr<CRom> rom;
};

}  // namespace vexo::test
