// SPDX-License-Identifier: GPL-3.0-or-later
// The device object's link to the module: line reset, module check, port
// selection, the serial primitives, and the object's construction and reset.
#include "rom/rom.h"

#include <algorithm>
#include <string>

#include "base/busy_wait.h"
#include "base/stop_request.h"

#include "rom/info_panel.h"

namespace vexo {
namespace {

constexpr const char* kModuleMissing =
    "Programming Module not found ! Please check connection of power Adapter.";

}  // namespace

CRom::CRom(IPort& port, IUiServices& ui) : CRom(port, ui, nullptr) {}

CRom::CRom(IPort& port, IUiServices& ui, InfoPanel& panel) : CRom(port, ui, &panel) {}

CRom::CRom(IPort& port, IUiServices& ui, InfoPanel* panel)
    : m_Buffer(new std::uint8_t[kBufferSize]),
      m_port(port),
      m_ui(ui),
      m_ownPanel(panel ? nullptr : std::make_unique<InfoPanel>()),
      m_panel(panel ? *panel : *m_ownPanel)
{
    // Bytes past the first 32 KiB are erased too, so that programming past a
    // short image never writes zeros into a chip.
    std::fill_n(m_Buffer.get(), kBufferSize, std::uint8_t(0xFF));
    m_nDevice = m_nPort = m_nSpeed = 0;
    m_bError = 0;
    InitModule();
    ClearBuffer();
    m_bEndFound = 0;
    m_nHexCount = 0;
}

CRom::~CRom() = default;

bool CRom::StopBefore(std::string_view pass, std::uint32_t address)
{
    if (!StopRequested() && !m_passStopAsked) return false;
    if (!m_stopPoint) m_stopPoint = StopPoint{pass, address};
    return true;
}

void CRom::ResetLines()
{
    SetControlBit0();
    ClearControlBit2();
    SetControlBit3();
    ClearControlBit1();
}

bool CRom::ModulePresent()
{
    SetControlBit2();
    ClearDataLine(kAddressClock);
    Delay(1500);
    ReadStatus();
    // The module pulls its presence line against the address clock, which is low here.
    return LineHigh(g_byStatus, kModulePresent) != LineHigh(g_byData, kAddressClock);
}

void CRom::InitModule()
{
    if (!ModulePresent()) m_ui.RomMessageBox(kModuleMissing);
}

bool CRom::DetectModule()
{
    const bool found = ModulePresent() && m_bError != 1;
    m_ui.RomMessageBox(found ? "Module found!!" : "Module Not found!!");
    return found;
}

bool CRom::SelectPort(int number)
{
    const bool found = DetectModule();
    if (m_bError == 1) return false;
    m_nPort = std::int8_t(number - 1);
    return found;
}

void CRom::ShiftAddress(std::uint32_t address)
{
    const std::uint8_t bytes[3] = {std::uint8_t(address >> 16), std::uint8_t(address >> 8),
                                   std::uint8_t(address)};
    for (std::uint8_t byte : bytes) {
        g_byAddrByte = byte;
        for (int bit = 0; bit < 8; ++bit) {
            ClearDataLine(kAddressClock);
            // Bit 7 of the address byte onto the address data line, without
            // a branch on the address.
            WriteData(ClearLine(g_byData, kAddressData) | kAddressData * ((g_byAddrByte >> 7) & 1u));
            SetDataLine(kAddressClock);
            g_byAddrByte = std::uint8_t(g_byAddrByte << 1);
        }
    }
    // The clock line stays high until the next data write takes it low.
    g_byData = std::uint8_t(ClearLine(g_byData, kAddressClock));
}

std::uint8_t CRom::ReadByte()
{
    auto sample = [this] {
        PulseDataLine(kReadClock);
        ReadStatus();
        // The read data line is on (low) for a 1.
        g_byReadByte = std::uint8_t((g_byReadByte & 0xFE) | (LineOn(g_byStatus, kReadDataLine) ? 1 : 0));
    };
    SetDataBit1();
    sample();
    g_byReadByte = std::uint8_t(g_byReadByte << 1);
    ClearDataBit1();
    for (int round = 1; round <= 7; ++round) {
        sample();
        if (round <= 6) g_byReadByte = std::uint8_t(g_byReadByte << 1);
    }
    return g_byReadByte;
}

void CRom::ProgramSetup()
{
    ClearControlBit0();
    SetControlBit2();
    ClearControlBit3();
    if (PulseUsesBit4(g_nLastBank[m_nDevice])) ClearControlBit4();
    ClearControlBit1();
}

void CRom::ProgramPulse()
{
    const int lastBank = g_nLastBank[m_nDevice];
    const int lastPage = g_nLastPage[m_nDevice];
    const bool fullPage = lastPage == 127 || lastPage == 255;
    SetControlBit3();
    if (PulseUsesBit4(lastBank)) {
        SetControlBit3();
        SetControlBit4();
    }
    if (fullPage) SetControlBit3();
    Delay(10000);
    BusyWaitMicros(m_pulseMicros);
    if (lastBank == 1 || lastBank == 3) ClearControlBit4();
    if (fullPage) ClearControlBit3();
    if (lastBank == 7) {
        ClearControlBit3();
        ClearControlBit4();
    }
}

void CRom::ProgramByte(std::uint8_t value)
{
    ++m_programmedCount;
    SetControlBit1();
    m_port.Out(kDataPort, value);  // straight to the lines; the shadow keeps the clock state
    for (int pulse = 0; pulse < g_nPulseCount[m_nSpeed]; ++pulse) ProgramPulse();
}

void CRom::VerifyReadSetup()
{
    const int lastBank = g_nLastBank[m_nDevice];
    const int lastPage = g_nLastPage[m_nDevice];
    if (lastPage == 127) ClearControlBit3();
    if (lastPage == 255) SetControlBit3();
    if (lastBank == 1 || lastBank == 3) {
        SetControlBit3();
        ClearControlBit4();
    }
    if (lastBank == 7) ClearControlBit3();
}

Status CRom::SetPulseMicros(std::uint32_t micros)
{
    if (micros > kMaxPulseMicros)
        return Status::Fail("a program pulse of " + std::to_string(micros) +
                            " us is out of range; give 0 to " + std::to_string(kMaxPulseMicros));
    m_pulseMicros = micros;
    return {};
}

void CRom::ClearBuffer()
{
    m_nLength = 0x7FFF;
    std::fill_n(m_Buffer.get(), m_nLength + 1, std::uint8_t(0xFF));
    m_bImageLoaded = false;
    m_imagePath.clear();
}

void CRom::Reset()
{
    m_nDevice = m_nPort = m_nSpeed = 0;
    m_bError = 0;
    InitModule();
    ClearBuffer();
    m_bEndFound = 0;
}

}  // namespace vexo
