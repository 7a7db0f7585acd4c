// SPDX-License-Identifier: GPL-3.0-or-later
// The programming module with an EPROM in its socket, simulated at the level
// of the three port registers. Its data sheet, in register values as the
// program writes them:
//
//   status   bit 7   1 while the module is connected and powered
//            bit 6   the serial read line, inverted (0 = a data bit of 1)
//            others  0.  An absent module leaves the status at 0x7F.
//   data     bit 0   address clock: each rising edge shifts data bit 1 into
//                    the 24-bit address register, most significant bit first
//            bit 2   read clock: a 0-1-0 pulse while data bit 1 is 1 latches
//                    the byte at the address and puts its bit 7 on the read
//                    line; each later pulse with data bit 1 at 0 moves on to
//                    the next bit (after bit 0 the line idles at 1)
//            all     the byte to program, during a program pulse
//   control  bit 3   program strobe: a rising edge while bits 1 and 2 are 1
//                    and bit 0 is 0 is one program pulse of the data
//                    register's byte into the chip at the address
//
// A byte takes `pulses` program pulses, counted from the last address clock,
// before it changes; it then becomes old AND new, like a UV-EPROM cell, which
// only ever goes from 1 to 0. Addresses past the chip wrap (address modulo
// size), as in a socket whose upper address pins are not connected.
//
// Faults a real chip or socket shows (SimFaults, docs/simulator.md):
//   data line stuck   the chip's data bit reads the stuck level and is
//                     programmed as if the data register held that level
//   address line open the chip sees that address bit as 0, for reads and
//                     programming alike
//   weak cells        a share of the bytes, chosen by a seed, need twice the
//                     pulses; their pulses add up over the run, not only since
//                     the last address clock
//   flaky bits        a number of bytes, placed by the seed, each with one
//                     bit that reads as a coin toss on every read (seeded)
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "base/error.h"
#include "base/sizes.h"
#include "port/port.h"
#include "port/wire_lines.h"

namespace vexo {

inline constexpr std::uint32_t kMaxChipSize = kBufferSize;

struct SimFaults {
    int dataStuckBit = -1;          // 0..7; -1: every data line works
    bool dataStuckLevel = false;    // the level that line is stuck at
    int addressOpenBit = -1;        // 0..23; -1: every address line works
    std::uint32_t weakPercent = 0;  // 0..100: share of weak bytes
    std::uint64_t seed = 0;         // which bytes are weak or flaky
    std::uint32_t flakyBytes = 0;   // bytes with one bit that reads as a coin toss
};

struct SimConfig {
    std::string chipPath;     // empty: the chip lives in memory for the run
    std::uint32_t size = 0;   // size of a new chip; 0: the caller's default
    bool present = true;      // false: nothing is connected to the port
    std::uint32_t pulses = 1; // program pulses a byte needs, 1..1000
    SimFaults faults;         // none by default
    std::string trayDir;      // empty: no tray; else chips DIR/chip-N.bin for InsertNextChip
};

enum class SimState : std::uint8_t {
    Absent,       // no module on the port: nothing answers
    Idle,         // powered up, no address clocked in yet
    Addressing,   // address bits arriving; nothing latched since the last one
    Reading,      // a byte latched, its bits going out on the read line
    Programming,  // program pulses arriving for the current address
};

const char* SimStateName(SimState state);

class SimModule final : public IPort {
public:
    // An erased chip (all 0xFF) of `size` bytes in memory; size 1..kMaxChipSize.
    explicit SimModule(std::uint32_t size, std::uint32_t pulses = 1, bool present = true);
    ~SimModule() override;
    SimModule(const SimModule&) = delete;
    SimModule& operator=(const SimModule&) = delete;

    // A module as `config` describes it. With a chip file, the chip is read
    // into memory, which serves every read; programmed bytes go back to the
    // file in runs (when kWriteBackSize bytes wait, at the end of each pass,
    // when the chip leaves the socket and when the module closes), bytes
    // set otherwise at once. The file is never mapped: a file another
    // program shortens cannot bring the process down. Its blocks are allocated at open, so a full disk
    // is an open failure, and it is locked for the module's life ("chip file
    // in use by another program" for a second one). A missing file
    // is created erased at config.size (else defaultSize), an existing one
    // gives the chip its size. Fails with the file, the reason and the fix.
    static Result<std::unique_ptr<SimModule>> Open(const SimConfig& config, std::uint32_t defaultSize);

    std::uint8_t In(std::uint16_t address) override;
    void Out(std::uint16_t address, std::uint8_t value) override;
    // Writes the programmed bytes still waiting to the chip file.
    void EndOfPass() override { FlushProgrammed(); }

    // The most programmed bytes that wait in memory for the chip file.
    static constexpr std::uint32_t kWriteBackSize = 64 * 1024;

    // --- for tests and front ends ---
    SimState State() const { return m_state; }
    std::uint32_t AddressRegister() const { return m_address; }
    // Program pulses received since the last address clock.
    std::uint32_t PulseCount() const { return m_pulses; }
    std::uint32_t PulsesToProgram() const { return m_pulsesToProgram; }
    std::uint32_t Size() const { return m_size; }
    std::uint8_t ChipByte(std::uint32_t offset) const { return m_chip[offset % m_size]; }
    void SetChipByte(std::uint32_t offset, std::uint8_t value)
    {
        m_chip[offset % m_size] = value;
        StoreByte(offset % m_size);
    }
    std::span<const std::uint8_t> Chip() const { return {m_chip, m_size}; }
    void Erase();  // all 0xFF, as after UV light; weak bytes forget their pulses
    // Gives the chip and socket these faults from now on.
    void SetFaults(const SimFaults& faults);
    const SimFaults& Faults() const { return m_faults; }
    // True when the byte at `offset` is one of the weak ones.
    bool IsWeak(std::uint32_t offset) const
    {
        return !m_weakPulses.empty() && m_weakPulses[offset % m_size] != kStrong;
    }
    // The bits of the byte at `offset` that read as a coin toss (0: none).
    std::uint8_t FlakyBits(std::uint32_t offset) const
    {
        return m_flaky.empty() ? 0 : m_flaky[offset % m_size];
    }
    // Empty when the chip is in memory.
    const std::string& ChipPath() const { return m_chipPath; }
    // Ok, or the first write to the chip file that failed ("writing the chip
    // file chip.bin failed: No space left on device", with its errno).
    Status FileStatus() const;
    // Write calls made to the chip file since the module opened it.
    std::uint64_t FileWrites() const { return m_fileWrites; }
    // Bytes programmed since the last write-back, not yet in the file.
    std::uint32_t WaitingBytes() const { return m_runEnd - m_runStart; }

    // --- the tray: chips to program one after another ---
    // Chips for InsertNextChip are DIR/chip-1.bin, chip-2.bin, ...; a missing
    // one is created erased at `chipSize` bytes.
    void SetTray(std::string dir, std::uint32_t chipSize);
    bool HasTray() const { return !m_trayDir.empty(); }
    // Takes the chip out of the socket and puts the next one of the tray in,
    // as the operator does between two chips. Fails (socket unchanged) when
    // there is no tray or the chip file cannot be opened.
    Status InsertNextChip();
    // The number of the chip in the socket, 0 before the first.
    unsigned TrayChip() const { return m_trayChip; }

private:
    SimModule(std::uint8_t* chip, std::uint32_t size, int fd, std::string path,
              std::uint32_t pulses, bool present);
    // Puts the chip byte at `index` into the chip file, if there is one.
    void StoreByte(std::uint32_t index);
    // Programmed bytes wait in one span of the chip, written to the file in
    // one piece when it would grow past kWriteBackSize, at the end of a
    // pass, when the chip leaves the socket and when the module closes.
    // Bytes inside the span that did not change are written as they are.
    void MarkProgrammed(std::uint32_t index);
    void FlushProgrammed();
    // Puts chip bytes [start, start + size) into the file, each write call
    // counted; a failure is kept in m_fileError.
    void WriteToFile(std::uint32_t start, std::uint32_t size);

    static constexpr std::uint8_t kAddressClock = WireMask("D0");
    static constexpr std::uint8_t kAddressBit = WireMask("D1");
    static constexpr std::uint8_t kReadClock = WireMask("D2");
    static constexpr std::uint8_t kProgramStrobe = WireMask("C3");
    // The program enable lines as they stand during a program pulse: each on.
    static constexpr WireGroup kProgramEnableLines = WireLinesOn({"C0", "C1", "C2"});
    static constexpr std::uint8_t kProgramMask = kProgramEnableLines.mask;
    static constexpr std::uint8_t kProgramEnable = kProgramEnableLines.on;
    static constexpr std::uint8_t kPresent = WireMask("S7");
    static constexpr std::uint8_t kReadLine = WireMask("S6");
    // Nothing pulls the presence line up; the other bits float high.
    static constexpr std::uint8_t kAbsentStatus = std::uint8_t(~kPresent);

    void OnAddressClock(std::uint8_t data);
    void OnReadClock(std::uint8_t data);
    void OnProgramPulse();
    void PresentReadBit()
    {
        // The line carries bit 7 of the shift register, inverted.
        m_status = std::uint8_t(kPresent | ((~m_shift & 0x80u) >> 1));
    }
    std::uint32_t ChipIndex() const
    {
        const std::uint32_t address = m_address & m_addressMask;
        return address < m_size ? address : address % m_size;
    }
    // A byte as the chip's data lines carry it.
    std::uint8_t OnDataLines(std::uint8_t value) const
    {
        return std::uint8_t((value & m_dataAnd) | m_dataOr);
    }
    static_assert(kProgramMask == 0x07 && kProgramEnable == 0x06 && kAbsentStatus == 0x7F);
    static constexpr std::uint16_t kStrong = 0xFFFF;  // m_weakPulses: not a weak byte

    // Hot state first: the register images and what the status shows.
    std::uint8_t m_data = 0;
    std::uint8_t m_control = 0;
    std::uint8_t m_status;
    std::uint8_t m_shift = 0xFF;  // the latched byte, shifting out at bit 7
    SimState m_state;
    std::uint32_t m_address = 0;  // 24 bits
    std::uint32_t m_pulses = 0;
    std::uint32_t m_pulsesToProgram;
    std::uint8_t* m_chip;
    std::uint32_t m_size;
    int m_fd = -1;  // the chip file, locked; -1 when the chip is in memory only
    int m_fileError = 0;
    std::uint32_t m_runStart = 0;  // programmed bytes not yet in the file
    std::uint32_t m_runEnd = 0;
    std::uint64_t m_fileWrites = 0;
    std::string m_chipPath;
    // Faults: the data lines' forced bits, the address lines that reach the
    // chip, and per byte the pulses a weak byte has had (kStrong for the
    // others; empty when no byte is weak).
    SimFaults m_faults;
    std::uint8_t m_dataAnd = 0xFF;
    std::uint8_t m_dataOr = 0x00;
    std::uint32_t m_addressMask = 0xFFFFFF;
    std::vector<std::uint16_t> m_weakPulses;
    // Per byte the bits that read as a coin toss (empty when none), and the
    // tosses' generator state.
    std::vector<std::uint8_t> m_flaky;
    std::uint64_t m_toss = 0;
    std::string m_trayDir;
    std::uint32_t m_trayChipSize = 0;
    unsigned m_trayChip = 0;
};

}  // namespace vexo
