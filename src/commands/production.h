// SPDX-License-Identifier: GPL-3.0-or-later
// A production run, one chip at a time: module check, blank check,
// programming with the chip's serial number patched in, verify; a result line
// and a log record per chip. The front ends ask for each chip (a prompt, a
// Next Chip button) and call RunChip.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <optional>
#include <string>

#include "base/error.h"
#include "rom/checksum.h"
#include "rom/production_log.h"
#include "rom/serial_number.h"

namespace vexo {

class CRom;

enum class ProductionStep : std::uint8_t { None, Module, Blank, Program, Verify };

// "module", "blank", "program", "verify" (empty for None).
const char* ProductionStepName(ProductionStep step);

struct ProductionSetup {
    std::string image;  // the image file as the operator named it, "a.bin+b.bin" for a merge (for the log)
    // The buffer was changed after that load (a patch, a fill, a load-at).
    bool imageEdited = false;
    std::optional<SerialPlan> serial;
    // False: no blank check before programming (a chip known to be erased,
    // or one topped up on purpose).
    bool blankCheck = true;
    // The programming pass leaves out bytes that are 0xFF in the image.
    bool skipBlank = false;
    // Extra pulse rounds within the programming pass for bytes still short
    // of their value (CRom::m_retries).
    unsigned retries = 0;
    // Puts the next chip in the socket before each chip (the simulator's
    // tray); unset for real modules, where the operator does it.
    std::function<Status()> insertChip;
    // A port that failed under a chip ends the run (the command line); the
    // window tells of the fault and leaves the run to the operator.
    bool stopOnPortFault = false;
    // The wall clock for the records; unset: time(nullptr).
    std::function<std::time_t()> clock;
    // Where the numbers come from instead of counting up from the plan's
    // start (a serial list, a shared database); `serial` still says where
    // and how they are written. Outlives the run.
    SerialSource* serials = nullptr;
    // Asked before each chip (a database still answers); a failure stops
    // the run before the chip.
    std::function<Status()> beforeChip;
    // Takes each chip's record instead of the log file (a database).
    std::function<Status(const ProductionRecord&)> record;
    // The number the run's first chip gets: a continued log goes on from its
    // last record.
    unsigned firstChip = 1;
    // Seconds spent so far waiting on the operator (boxes, questions), which
    // a chip's seconds leave out; unset: none.
    std::function<double()> operatorSeconds;
};

struct ChipResult {
    unsigned chip = 0;
    bool passed = false;
    ProductionStep failedStep = ProductionStep::None;
    std::optional<std::uint32_t> failedAddress;
    std::optional<std::uint8_t> bufferByte;  // what should be there (verify)
    std::optional<std::uint8_t> chipByte;    // what the chip held there
    std::optional<std::uint64_t> serial;
    Checksums programmed;  // the image with this chip's serial
    double seconds = 0;
    std::time_t started = 0;
    unsigned attempts = 0;  // 1 + the extra pulse rounds the pass used
    // A stop request (a signal) ended the chip's passes at failedAddress.
    bool stopped = false;
    // Whether the record reached the log (ok when there is no log).
    Status logged;
};

// What ends a run after a chip. A chip that failed does not: the operator
// decides whether the next one follows.
enum class RunEnd : std::uint8_t {
    None,        // the next chip may follow
    NotStarted,  // the chip never started (its serial does not fit, no tray): its failure says why
    NotLogged,   // the log did not take the chip's record: ChipResult::logged says why
    PortFault,   // the port failed under the chip, where the setup stops on that
};

// "chip 3: passed, serial 1002, crc32 0x1A2B3C4D, 21.4 s"
// "chip 4: failed at verify, first difference at 0x001A3: buffer 5A, chip 7B"
// "chip 5: failed at program, stopped at 0x04000"
std::string FormatChipLine(const ChipResult& result);

class ProductionRun {
public:
    // `rom` holds the loaded image; `log` may be null. Both outlive the run.
    ProductionRun(CRom& rom, ProductionSetup setup, ProductionLog* log);

    // Runs the next chip. A failure means the chip was not started: no image
    // in the buffer, a serial number that does not fit or lies outside the
    // chip, a tray that could not give a chip. The run should stop there.
    // The log record names the image, the CRC-32 of the device's range as
    // programmed before the serial, and whether the buffer was edited since
    // its load (or since the run started).
    Result<ChipResult> RunChip();

    // Whether the run ends after `chip` (RunChip's answer) and why, with
    // `portFailed` saying whether the port reported a fault meanwhile.
    RunEnd EndAfter(const Result<ChipResult>& chip, bool portFailed) const;

    unsigned Chips() const { return m_passed + m_failed; }
    // The number the next chip gets (its prompt, its result line, its record).
    unsigned NextChipNumber() const { return m_setup.firstChip + Chips(); }
    unsigned Passed() const { return m_passed; }
    unsigned Failed() const { return m_failed; }
    bool AllPassed() const { return m_failed == 0; }
    // A run that programmed no chip did nothing: no success either.
    bool Succeeded() const { return Chips() > 0 && AllPassed(); }
    // The number the next chip gets, if serials are written.
    std::optional<std::uint64_t> NextSerial() const;
    // CRC-32 of the device's range of the buffer as the run started, without
    // any serial number (what `checksum` prints).
    std::uint32_t ImageCrc32() const { return m_imageCrc32; }
    // "batch: 20 chips, 19 passed, 1 failed"
    std::string SummaryLine() const;

private:
    void RunPasses(ChipResult& result);

    CRom& m_rom;
    ProductionSetup m_setup;
    ProductionLog* m_log;
    std::optional<SerialCounter> m_serial;
    std::uint32_t m_imageCrc32 = 0;
    unsigned m_passed = 0;
    unsigned m_failed = 0;
};

}  // namespace vexo
