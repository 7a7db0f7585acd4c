// SPDX-License-Identifier: GPL-3.0-or-later
// The four whole-device passes. Each visits bank, page and byte in ascending
// order, byte innermost, and publishes the running count after every counted
// byte.
#include <charconv>
#include <string_view>

#include "rom/info_panel.h"
#include "rom/pass_order.h"
#include "rom/rom.h"

namespace vexo {
void CRom::ShowHexCount()
{
    char text[32] = "Hex Count: 0x";
    constexpr std::size_t prefix = sizeof "Hex Count: 0x" - 1;
    const auto end = std::to_chars(text + prefix, text + sizeof text,
                                   std::uint32_t(m_nHexCount), 16).ptr;
    m_ui.SetHexCountText(std::string_view(text, std::size_t(end - text)));
}

void CRom::RunBlankCheck()
{
    m_passName = "Blank checking";
    m_nHexCount = 0;
    m_lastFailure = {};
    ForEachAddress(m_nDevice, [this](std::uint32_t address) {
        if (StopBefore(m_passName, address)) return false;
        ++m_nHexCount;
        std::uint8_t value;
        // A module that stops answering fails the check like a programmed byte.
        const bool answered = ReadAt(address, value);
        if (!answered || value != 0xFF) {
            m_lastFailure = {PassFailure::Pass::BlankCheck, address, 0xFF, value, !answered};
            m_bError = 1;
            m_ui.FlushHexCount();
            m_ui.RomMessageBox("Error Occured");
            return false;
        }
        ShowHexCount();
        return true;
    });
    m_ui.FlushHexCount();
    m_port.EndOfPass();
}

void CRom::ProgramAll()
{
    m_passName = "Programming";
    m_nHexCount = 0;
    ForEachAddress(m_nDevice, [this](std::uint32_t address) {
        if (StopBefore(m_passName, address)) return false;
        if (m_skipBlank && m_Buffer[address] == 0xFF) { ++m_nHexCount; ShowHexCount(); return true; }
        ProgramAt(address);
        ++m_nHexCount;
        ShowHexCount();
        return true;
    });
    m_ui.FlushHexCount();
    m_port.EndOfPass();
}

void CRom::VerifyAll()
{
    m_passName = "Verifying";
    m_nHexCount = 0;
    m_lastFailure = {};
    ForEachAddress(m_nDevice, [this](std::uint32_t address) {
        if (StopBefore(m_passName, address)) return false;
        std::uint8_t value;
        const bool answered = VerifyReadAt(address, value);
        if (!answered || value != m_Buffer[address]) {
            m_lastFailure = {PassFailure::Pass::Verify, address, m_Buffer[address], value, !answered};
            m_bError = 1;
            return false;
        }
        ++m_nHexCount;
        ShowHexCount();
        return true;
    });
    m_ui.FlushHexCount();
    m_port.EndOfPass();
}

void CRom::ReadAll()
{
    m_passName = "Reading";
    m_nHexCount = 0;
    m_bModuleLost = false;
    InfoPanel& panel = m_panel;
    ForEachAddress(m_nDevice, [this, &panel](std::uint32_t address) {
        if (StopBefore(m_passName, address)) return false;
        std::uint8_t value;
        if (!ReadAt(address, value)) m_bModuleLost = true;
        m_Buffer[address] = value;
        if (value == 0xFF && m_bEndFound == 0) {
            panel.m_nEndAddr = std::int32_t(address);
            panel.ShowLastAddress();
            m_bEndFound = 1;
        }
        ++m_nHexCount;
        ShowHexCount();
        return true;
    });
    m_bEndFound = 0;
    // What was read while the module was gone, or only in part, is no image
    // of the chip.
    m_bImageLoaded = !m_bModuleLost && !Stopped();
    m_imagePath.clear();
    m_ui.FlushHexCount();
    m_port.EndOfPass();
}

}  // namespace vexo
