// SPDX-License-Identifier: GPL-3.0-or-later
// The programming commands as the operator runs them: order of steps,
// refusals and messages. Outcomes come from the error flag the passes leave.
#include <algorithm>

#include "rom/rom.h"

namespace vexo {

bool CRom::ReadRom()
{
    ClearControlBit3();
    SetControlBit1();
    m_ui.RomMessageBox("*** Start Reading ***");
    // Ask the module itself; a refused read leaves the buffer as it was.
    if (!ModulePresent()) {
        m_ui.RomMessageBox("ROM not found");
        return false;
    }
    m_nLength = 0x7FFF;
    std::fill_n(m_Buffer.get(), m_nLength + 1, std::uint8_t(0xFF));
    ReadAll();
    if (Stopped()) return false;  // the host says where
    if (m_bModuleLost) {
        m_ui.RomMessageBox("ROM not found");
        return false;
    }
    if (!ReadMorePasses()) {
        if (Stopped()) return false;
        m_ui.RomMessageBox("ROM not found");
        return false;
    }
    m_ui.RomMessageBox("Reading OK");
    return true;
}

bool CRom::BlankCheck()
{
    RunBlankCheck();
    if (Stopped()) return false;
    if (m_bError == 1) {
        SetFailureDetails();
        m_ui.RomMessageBox("Blank Check Failure !!");
        m_bError = 0;
        return false;
    }
    m_ui.RomMessageBox("EPROM Checking OK !!!");
    return true;
}

bool CRom::WriteRom()
{
    m_retriedPerRound.clear();
    if (!m_bImageLoaded) {
        m_ui.RomMessageBox("Sorry! Check file to buffer !!");
        return false;
    }
    m_ui.RomMessageBox("*** Start Writing ***");

    // Only address 0 is looked at before programming.
    ResetLines();
    ShiftAddress(0);
    SetControlBit3();
    if (const std::uint8_t first = ReadByte(); first != 0xFF) {
        m_lastFailure = {PassFailure::Pass::BlankCheck, 0, 0xFF, first, false};
        m_bError = 1;
        SetFailureDetails();
        m_ui.RomMessageBox("Failed");
        m_bError = 0;
        return false;
    }

    ProgramAll();
    RetryShortBytes();
    if (Stopped()) return false;
    m_ui.RomMessageBox("Done! -> Verify next!");
    m_bError = 0;
    VerifyAll();
    if (Stopped()) return false;
    AddRetryDetails(m_bError != 1);
    if (m_bError == 1) {
        m_bError = 0;
        SetFailureDetails();
        m_ui.RomMessageBox("Writing verify failure !!!");
        return false;
    }
    m_ui.RomMessageBox("*** Writing OK ***");
    return true;
}

bool CRom::VerifyRom()
{
    m_ui.RomMessageBox("*** Start Verify ***");
    if (!m_bImageLoaded) {
        m_ui.RomMessageBox("Sorry! file load to buffer. first!!");
        return false;
    }
    m_bError = 0;
    VerifyAll();
    if (Stopped()) return false;
    if (m_bError == 1) {
        m_bError = 0;
        SetFailureDetails();
        m_ui.RomMessageBox("verify failure !!!");
        return false;
    }
    m_ui.RomMessageBox("*** Verify OK ***");
    return true;
}

bool CRom::AutoWrite()
{
    m_retriedPerRound.clear();
    m_ui.RomMessageBox("Blank check !! Please wait...");
    RunBlankCheck();
    if (Stopped()) return false;
    if (m_bError == 1) {
        SetFailureDetails();
        m_ui.RomMessageBox("Blank check failure !!!");
        m_bError = 0;
        return false;
    }
    m_ui.RomMessageBox("Done !");
    if (!m_bImageLoaded) {
        m_ui.RomMessageBox("Sorry! load file to buffer..first!!");
        return false;
    }

    m_ui.RomMessageBox("Programming now!!  please wait... ");
    ProgramAll();
    ResetLines();
    if (Stopped()) return false;
    if (m_bError == 1) {
        m_ui.RomMessageBox("EPROM writing failure !!! \twriting terminated !!!");
        m_bError = 0;
        return false;
    }
    RetryShortBytes();
    if (Stopped()) return false;
    m_ui.RomMessageBox("Done");
    Delay(30000);

    m_ui.RomMessageBox("Verify now !!   please wait...");
    VerifyAll();
    if (Stopped()) return false;
    AddRetryDetails(m_bError != 1);
    if (m_bError == 1) {
        SetFailureDetails();
        m_ui.RomMessageBox("Writing verify failure !!!");
        m_bError = 0;
        return false;
    }
    m_ui.RomMessageBox("Done!");
    return true;
}

}  // namespace vexo
