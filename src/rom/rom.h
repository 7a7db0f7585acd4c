// SPDX-License-Identifier: GPL-3.0-or-later
// CRom, the device object: the programming module on the parallel port and
// the image buffer that is programmed into or read out of the EPROM.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/error.h"
#include "base/sizes.h"
#include "port/port.h"
#include "port/wire_lines.h"
#include "rom/catalogue.h"
#include "rom/image_formats.h"
#include "rom/info_panel.h"
#include "rom/read_vote.h"
#include "rom/shadows.h"
#include "rom/ui_services.h"

namespace vexo {

class CRom {
public:
    // Runs the power-on module check and the buffer reset. The device object
    // writes the information panel's file name and end address into `panel`;
    // without one it keeps a panel of its own.
    CRom(IPort& port, IUiServices& ui, InfoPanel& panel);
    CRom(IPort& port, IUiServices& ui);
    ~CRom();
    CRom(const CRom&) = delete;
    CRom& operator=(const CRom&) = delete;

    // --- port lines (one register write each) ---
    void SetControlBit0() { SetControlLine(WireMask("C0")); }
    void ClearControlBit0() { ClearControlLine(WireMask("C0")); }
    void SetControlBit1() { SetControlLine(WireMask("C1")); }
    void ClearControlBit1() { ClearControlLine(WireMask("C1")); }
    void SetControlBit2() { SetControlLine(WireMask("C2")); }
    void ClearControlBit2() { ClearControlLine(WireMask("C2")); }
    void SetControlBit3() { SetControlLine(WireMask("C3")); }
    void ClearControlBit3() { ClearControlLine(WireMask("C3")); }
    void SetControlBit4() { SetControlLine(WireMask("C4")); }
    void ClearControlBit4() { ClearControlLine(WireMask("C4")); }
    void SetDataBit1() { SetDataLine(WireMask("D1")); }
    void ClearDataBit1() { ClearDataLine(WireMask("D1")); }
    // One register write with the line's bit (WireMask) set or cleared.
    void SetControlLine(unsigned mask) { WriteControl(SetLine(g_byControl, mask)); }
    void ClearControlLine(unsigned mask) { WriteControl(ClearLine(g_byControl, mask)); }
    void SetDataLine(unsigned mask) { WriteData(SetLine(g_byData, mask)); }
    void ClearDataLine(unsigned mask) { WriteData(ClearLine(g_byData, mask)); }
    // A 0-1-0 pulse on a data line: two register writes.
    void PulseDataLine(unsigned mask)
    {
        SetDataLine(mask);
        ClearDataLine(mask);
    }
    void ResetLines();
    static void Delay(int count) { (void)count; }

    // The lines the serial primitives and the module check work on.
    static constexpr std::uint8_t kAddressClock = WireMask("D0");
    static constexpr std::uint8_t kAddressData = WireMask("D1");
    static constexpr std::uint8_t kReadClock = WireMask("D2");
    static constexpr std::uint8_t kReadData = WireMask("S6");
    static constexpr std::uint8_t kModulePresent = WireMask("S7");

    // --- module check and port selection ---
    void InitModule();    // check; "Programming Module not found ..." when absent
    // Check with its answer, "Module found!!" or "Module Not found!!"; true on the first.
    bool DetectModule();
    // Returns true when the port number was stored and a module answered.
    bool SelectPort(int number);
    // The module check alone, no message: true when a module answers.
    bool ModulePresent();

    // --- serial primitives ---
    void ShiftAddress(std::uint32_t address);
    std::uint8_t ReadByte();
    void ProgramSetup();
    void ProgramByte(std::uint8_t value);

    // --- whole-device passes ---
    void RunBlankCheck();
    void ProgramAll();
    void VerifyAll();
    void ReadAll();
    void ShowHexCount();

    // --- image buffer and files ---
    void ClearBuffer();
    void Reset();
    // Open BIN File: the chooser, then the file it names.
    bool LoadFile();
    // Open BIN File with the file already chosen.
    // Open BIN File with the file already chosen; `format` as the operator
    // gave it (vexo load --format), else by extension or content.
    bool LoadFile(const std::string& path, std::optional<ImageFormat> format = std::nullopt);
    // Reads the device and writes it to m_strSaveName ("-": standard
    // output), raw unless m_saveFormat names a text format.
    bool SaveBuffer();

    // --- operator commands; true when the command ended in success ---
    bool ReadRom();
    bool BlankCheck();
    bool WriteRom();
    bool VerifyRom();
    bool AutoWrite();

    // --- diagnosis (rom/diagnosis_passes.cpp) ---
    // Where the last blank check or verify pass stopped; pass None when it
    // ran to the end. Recorded from the bytes the pass read anyway.
    struct PassFailure {
        enum class Pass : std::uint8_t { None, BlankCheck, Verify };
        Pass pass = Pass::None;
        std::uint32_t address = 0;
        std::uint8_t expected = 0;  // the buffer's byte, 0xFF for a blank check
        std::uint8_t actual = 0;    // what the chip read
        bool moduleLost = false;    // the module stopped answering there
    };
    const PassFailure& LastFailure() const { return m_lastFailure; }
    // "verify: first difference at 0x001A3: buffer 5A, chip 7B", "blank
    // check: first programmed byte at 0x00100: chip 7F"; empty after a pass
    // that ran to the end.
    std::string FailureDetails() const;
    // Reads the whole selected device into `out` (at least DeviceSize()
    // bytes) with the read pass's own traffic and Hex Count, leaving the
    // buffer, the panel and the image flag alone. False when the module
    // stopped answering during the read.
    bool ReadDevice(std::span<std::uint8_t> out);
    // The module check as a read begins it. Fails with "<step>: no module
    // answers on the port".
    Status CheckModule(std::string_view step);
    // The module check, then ReadDevice. Fails with "<step>: no module
    // answers on the port" when the module is absent or stops answering.
    Status ReadChip(std::span<std::uint8_t> out, std::string_view step);
    // After a programming pass: up to m_retries rounds of reading back and
    // programming again the bytes that still need programming (never those
    // that need erasing). Fills m_retriedPerRound. Nothing at m_retries 0.
    void RetryShortBytes();
    // --- read passes (rom/read_passes.cpp) ---
    // How many times Read ROM and the save read the device; 1 is the
    // module's own single read. Further passes are the read pass's traffic
    // and Hex Count, without boxes, and the buffer then holds each bit's
    // majority (m_readVote says which bits disagreed).
    unsigned m_readPasses = 1;
    ReadVote m_readVote;
    // After the first read pass: the other m_readPasses - 1 passes and the
    // vote. False when a stop request or a module that stopped answering
    // ended them (the buffer keeps the first pass).
    bool ReadMorePasses();
    // Extra programming rounds Write ROM and Auto Write may give; 0 is the
    // module's own behaviour.
    int m_retries = 0;
    // Bytes programmed again in each extra round of the last write.
    std::vector<std::uint32_t> m_retriedPerRound;
    // With m_retries set, the rounds of the last write as the result box's
    // details, one line each ("retries: round 1 programmed 3 bytes again";
    // "retries: no byte needed another round" after a write that verified).
    void AddRetryDetails(bool written);

    const DeviceInfo& Device() const { return kDevices[m_nDevice]; }
    std::uint32_t DeviceSize() const { return Device().Size(); }
    bool ImageLoaded() const { return m_bImageLoaded; }
    // For the buffer operations: a changed buffer holds an image as a load does.
    void SetImageLoaded(bool loaded) { m_bImageLoaded = loaded; }
    bool ModuleLost() const { return m_bModuleLost; }
    IUiServices& Ui() { return m_ui; }
    InfoPanel& Panel() { return m_panel; }
    // The file the buffer was last loaded from; empty after a read or a reset.
    const std::string& ImagePath() const { return m_imagePath; }

    // --- programming settings; both off by default ---
    static constexpr std::uint32_t kMaxPulseMicros = 10000;
    // A pause of this many microseconds inside every program pulse, where
    // the pulse's own Delay sits. The wire's byte sequence is the same at any
    // width; 0 keeps the pulse as short as the port accesses make it.
    Status SetPulseMicros(std::uint32_t micros);
    std::uint32_t PulseMicros() const { return m_pulseMicros; }
    // The programming pass leaves out bytes whose buffer value is 0xFF (an
    // erased cell already reads so); the Hex Count still counts them.
    void SetSkipBlank(bool skip) { m_skipBlank = skip; }
    bool SkipBlank() const { return m_skipBlank; }
    // The whole-device pass running or run last ("Programming", "Verifying",
    // "Reading", "Blank checking"), for a host that shows the time left.
    std::string_view PassName() const { return m_passName; }
    // Bytes given to the chip since the device object started: a report on
    // the chip's contents is out of date once this has moved.
    std::uint64_t ProgrammedCount() const { return m_programmedCount; }

    // --- a stop request (base/stop_request.h) ---
    // Every pass looks for one before each byte and ends there; the
    // commands then return false without a box of their own, and the host
    // says what stopped. Where the first pass stopped, once one did.
    struct StopPoint {
        std::string_view pass;  // "Programming"
        std::uint32_t address = 0;
    };
    bool Stopped() const { return m_stopPoint.has_value(); }
    const std::optional<StopPoint>& WhereStopped() const { return m_stopPoint; }
    // The operator's stop, for this device object alone: the pass that runs
    // ends before its next byte as on a stop request, and the program goes
    // on. ForgetStop clears it and where it stopped, for the next command.
    void RequestPassStop() { m_passStopAsked = true; }
    bool PassStopAsked() const { return m_passStopAsked; }
    void ForgetStop()
    {
        m_passStopAsked = false;
        m_stopPoint.reset();
    }

    // Fields in the order the device object has always declared them.
    std::int32_t m_nLength = 0;
    std::unique_ptr<std::uint8_t[]> m_Buffer;
    std::string m_strSaveName;
    std::optional<ImageFormat> m_saveFormat;  // our own: vexo save --format
    std::int8_t m_nDevice = 0;
    std::int8_t m_nPort = 0;
    std::int8_t m_nSpeed = 0;
    std::uint8_t m_bError = 0;
    std::int32_t m_nHexCount = 0;
    std::int32_t m_bEndFound = 0;

private:
    std::uint64_t m_programmedCount = 0;
    void WriteControl(unsigned value)
    {
        g_byControl = std::uint8_t(value);
        m_port.Out(kControlPort, g_byControl);
    }
    void WriteData(unsigned value)
    {
        g_byData = std::uint8_t(value);
        m_port.Out(kDataPort, g_byData);
    }
    std::uint8_t ReadStatus()
    {
        g_byStatus = m_port.In(kStatusPort);
        m_byStatusSeen &= g_byStatus;
        return g_byStatus;
    }
    // Reads one byte for a pass; false when the module stopped answering on
    // any of its samples (status bit 7 low).
    bool ReadPassByte(std::uint8_t& value)
    {
        m_byStatusSeen = 0xFF;
        value = ReadByte();
        return LineOn(m_byStatusSeen, kModulePresentLine);
    }
    void VerifyReadSetup();
    void ProgramPulse();
    // The byte recipes every pass is made of, one byte each: a read as Read
    // ROM and the blank check do it, a read as verify does it, and the
    // programming of the buffer's byte. The reads are ReadPassByte's.
    bool ReadAt(std::uint32_t address, std::uint8_t& value)
    {
        ResetLines();
        ShiftAddress(address);
        SetControlBit3();
        return ReadPassByte(value);
    }
    bool VerifyReadAt(std::uint32_t address, std::uint8_t& value)
    {
        ResetLines();
        ShiftAddress(address);
        VerifyReadSetup();
        Delay(10);
        return ReadPassByte(value);
    }
    void ProgramAt(std::uint32_t address)
    {
        ProgramSetup();
        ShiftAddress(address);
        ProgramByte(m_Buffer[address]);
    }
    // True when a stop was requested: the pass `pass` ends before the byte
    // at `address`, which is recorded if nothing stopped before.
    bool StopBefore(std::string_view pass, std::uint32_t address);

    CRom(IPort& port, IUiServices& ui, InfoPanel* panel);
    bool LoadChosenFile(const std::optional<std::string>& chosen,
                        std::optional<ImageFormat> format = std::nullopt);

    IPort& m_port;
    IUiServices& m_ui;
    std::unique_ptr<InfoPanel> m_ownPanel;  // only without a caller's panel
    InfoPanel& m_panel;
    std::string m_imagePath;
    // True while the buffer holds an image: a loaded non-empty file or a
    // completed device read. Cleared by the buffer reset.
    bool m_bImageLoaded = false;
    // Set by a read pass during which the module stopped answering.
    bool m_bModuleLost = false;
    std::uint8_t m_byStatusSeen = 0xFF;
    PassFailure m_lastFailure;
    // Gives the next box the failing pass's line, when there is one.
    void SetFailureDetails();
    std::uint32_t m_pulseMicros = 0;
    bool m_skipBlank = false;
    std::string_view m_passName;
    std::optional<StopPoint> m_stopPoint;
    bool m_passStopAsked = false;
};

}  // namespace vexo
