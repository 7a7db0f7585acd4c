// SPDX-License-Identifier: GPL-3.0-or-later
#include "commands/production.h"

#include <algorithm>
#include <chrono>
#include <charconv>
#include <vector>

#include "base/hex.h"
#include "base/text.h"
#include "rom/rom.h"

namespace vexo {
namespace {

// Puts a chip's serial number into the buffer for the length of a scope and
// the loaded bytes back afterwards, however the chip ends.
class SerialPatch {
public:
    SerialPatch(std::uint8_t* buffer, std::uint32_t address, const std::vector<std::uint8_t>& bytes)
        : m_at(buffer + address), m_saved(m_at, m_at + bytes.size())
    {
        std::copy(bytes.begin(), bytes.end(), m_at);
    }
    ~SerialPatch() { std::copy(m_saved.begin(), m_saved.end(), m_at); }
    SerialPatch(const SerialPatch&) = delete;
    SerialPatch& operator=(const SerialPatch&) = delete;

private:
    std::uint8_t* m_at;
    std::vector<std::uint8_t> m_saved;
};

}  // namespace

const char* ProductionStepName(ProductionStep step)
{
    switch (step) {
    case ProductionStep::None: return "";
    case ProductionStep::Module: return "module";
    case ProductionStep::Blank: return "blank";
    case ProductionStep::Program: return "program";
    case ProductionStep::Verify: return "verify";
    }
    return "";
}

std::string FormatChipLine(const ChipResult& r)
{
    std::string line = Cat({"chip ", std::to_string(r.chip), ": "});
    if (r.passed) {
        char seconds[64];
        const auto end = std::to_chars(seconds, seconds + sizeof seconds, r.seconds,
                                       std::chars_format::fixed, 1);
        const std::string_view secondsText =
            end.ec == std::errc() ? std::string_view(seconds, std::size_t(end.ptr - seconds)) : "0.0";
        return Cat({line, "passed", r.serial ? ", serial " + std::to_string(*r.serial) : "",
                    ", crc32 0x", Hex(r.programmed.crc32, 8), ", ", secondsText, " s"});
    }
    line += Cat({"failed at ", ProductionStepName(r.failedStep)});
    if (r.stopped && r.failedAddress) return Cat({line, ", stopped at 0x", Hex(*r.failedAddress, 5)});
    // A pass that stopped where the module stopped answering read no byte there.
    if (r.failedAddress && !r.chipByte &&
        (r.failedStep == ProductionStep::Blank || r.failedStep == ProductionStep::Verify))
        return Cat({line, ", the module stopped answering at 0x", Hex(*r.failedAddress, 5)});
    switch (r.failedStep) {
    case ProductionStep::Module: return line + ", no module answers";
    case ProductionStep::Program: return line + ", the module stopped answering";
    case ProductionStep::Blank:
        if (r.failedAddress)
            line += Cat({", not blank at 0x", Hex(*r.failedAddress, 5), ": chip ", Hex(*r.chipByte, 2)});
        return line;
    case ProductionStep::Verify:
        if (r.failedAddress) {
            line += Cat({", first difference at 0x", Hex(*r.failedAddress, 5), ":"});
            if (r.bufferByte) line += Cat({" buffer ", Hex(*r.bufferByte, 2), ","});
            line += Cat({" chip ", Hex(*r.chipByte, 2)});
        }
        return line;
    case ProductionStep::None: break;
    }
    return line;
}

ProductionRun::ProductionRun(CRom& rom, ProductionSetup setup, ProductionLog* log)
    : m_rom(rom), m_setup(std::move(setup)), m_log(log)
{
    if (m_setup.serial) m_serial.emplace(*m_setup.serial);
    m_imageCrc32 = Crc32(m_rom.m_Buffer.get(), m_rom.DeviceSize());
}

RunEnd ProductionRun::EndAfter(const Result<ChipResult>& chip, bool portFailed) const
{
    if (!chip) return RunEnd::NotStarted;
    if (!chip->logged) return RunEnd::NotLogged;
    if (portFailed && m_setup.stopOnPortFault) return RunEnd::PortFault;
    return RunEnd::None;
}

std::optional<std::uint64_t> ProductionRun::NextSerial() const
{
    if (!m_serial || m_setup.serials) return std::nullopt;
    return m_serial->Current();
}

std::string ProductionRun::SummaryLine() const
{
    return Cat({"batch: ", std::to_string(Chips()), Chips() == 1 ? " chip, " : " chips, ",
                std::to_string(m_passed), " passed, ", std::to_string(m_failed), " failed"});
}

void ProductionRun::RunPasses(ChipResult& result)
{
    const auto fail = [&](ProductionStep step) {
        result.passed = false;
        result.failedStep = step;
    };
    // Where the last blank check or verify stopped, as the pass read it.
    const auto failedAt = [&](ProductionStep step) {
        const CRom::PassFailure& f = m_rom.LastFailure();
        m_rom.m_bError = 0;
        result.failedAddress = f.address;
        if (step == ProductionStep::Verify) result.bufferByte = f.expected;
        if (!f.moduleLost) result.chipByte = f.actual;
        fail(step);
    };
    // A stop request ended the pass: the chip is whatever the pass left.
    const auto stopped = [&](ProductionStep step) {
        m_rom.m_bError = 0;
        result.stopped = true;
        result.failedAddress = m_rom.WhereStopped()->address;
        fail(step);
    };
    if (!m_rom.ModulePresent()) return fail(ProductionStep::Module);

    if (m_setup.blankCheck) {
        m_rom.m_bError = 0;
        m_rom.RunBlankCheck();
        if (m_rom.Stopped()) return stopped(ProductionStep::Blank);
        if (m_rom.m_bError == 1) return failedAt(ProductionStep::Blank);
    }

    // The extra pulse rounds for bytes still short come inside the one
    // programming pass, as Write ROM gives them.
    const int savedRetries = m_rom.m_retries;
    const bool savedSkip = m_rom.SkipBlank();
    m_rom.m_retries = int(m_setup.retries);
    m_rom.SetSkipBlank(m_setup.skipBlank);
    ++result.attempts;
    m_rom.m_bError = 0;
    m_rom.ProgramAll();
    m_rom.RetryShortBytes();
    result.attempts += unsigned(m_rom.m_retriedPerRound.size());
    m_rom.ResetLines();
    m_rom.m_retries = savedRetries;
    m_rom.SetSkipBlank(savedSkip);
    if (m_rom.Stopped()) return stopped(ProductionStep::Program);
    if (m_rom.m_bError == 1 || !m_rom.ModulePresent()) {
        m_rom.m_bError = 0;
        return fail(ProductionStep::Program);
    }
    m_rom.m_bError = 0;
    m_rom.VerifyAll();
    if (m_rom.Stopped()) return stopped(ProductionStep::Verify);
    if (m_rom.m_bError == 1) return failedAt(ProductionStep::Verify);
    result.passed = true;
}

Result<ChipResult> ProductionRun::RunChip()
{
    if (!m_rom.ImageLoaded())
        return Status::Fail("batch: no image in the buffer; load one first");
    const std::uint32_t size = m_rom.DeviceSize();

    if (m_setup.beforeChip) {
        if (Status s = m_setup.beforeChip(); !s) return Status::Fail(Cat({"batch: ", s.message()}));
    }
    std::vector<std::uint8_t> serialBytes;
    std::optional<std::uint64_t> sourced;  // the number the source gave this chip
    if (m_serial && m_setup.serials) {
        if (Status within = CheckSerialWithin(m_serial->Plan(), size, m_rom.Device().name); !within)
            return Status::Fail(Cat({"batch: ", within.message()}));
        auto taken = m_setup.serials->Take();
        if (!taken) return Status::Fail(Cat({"batch: ", taken.message()}));
        auto bytes = EncodeSerial(m_serial->Plan(), *taken);
        // A number this chip will not get stays free for another.
        const auto giveBack = [&](const Status& why) {
            Status back = m_setup.serials->Done(*taken, SerialOutcome::Unused);
            return Status::Fail(Cat({"batch: ", why.message(), back ? "" : "; ", back ? "" : back.message()}));
        };
        if (!bytes) return giveBack(bytes.status());
        if (m_setup.insertChip) {
            if (Status s = m_setup.insertChip(); !s) return giveBack(s);
        }
        sourced = *taken;
        serialBytes = std::move(*bytes);
    } else {
        if (m_serial) {
            auto bytes = m_serial->CurrentBytes();
            if (!bytes) return Status::Fail(Cat({"batch: ", bytes.message()}));
            if (Status within = CheckSerialWithin(m_serial->Plan(), size, m_rom.Device().name); !within)
                return Status::Fail(Cat({"batch: ", within.message()}));
            serialBytes = std::move(*bytes);
        }
        if (m_setup.insertChip) {
            if (Status s = m_setup.insertChip(); !s) return Status::Fail(Cat({"batch: ", s.message()}));
        }
    }

    // The image as it is programmed, before this chip's serial goes in.
    const std::uint32_t imageCrc32 = Crc32(m_rom.m_Buffer.get(), size);
    ChipResult result;
    result.chip = NextChipNumber();
    result.started = m_setup.clock ? m_setup.clock() : std::time(nullptr);
    const auto begin = std::chrono::steady_clock::now();
    const double waitedBefore = m_setup.operatorSeconds ? m_setup.operatorSeconds() : 0.0;
    {
        std::optional<SerialPatch> patch;
        if (m_serial) {
            result.serial = sourced ? *sourced : m_serial->Current();
            patch.emplace(m_rom.m_Buffer.get(), m_serial->Plan().address, serialBytes);
        }
        result.programmed = ComputeChecksums(m_rom.m_Buffer.get(), size);
        RunPasses(result);
    }
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    if (m_setup.operatorSeconds)
        result.seconds = std::max(0.0, result.seconds - (m_setup.operatorSeconds() - waitedBefore));

    (result.passed ? m_passed : m_failed) += 1;
    // The source learns the chip's outcome before the next prompt.
    Status serialSaved;
    if (sourced)
        serialSaved = m_setup.serials->Done(*sourced, result.passed ? SerialOutcome::Passed : SerialOutcome::Failed);
    else if (m_serial)
        m_serial->ChipDone(result.passed);

    if (m_log || m_setup.record) {
        ProductionRecord record;
        record.time = result.started;
        record.chip = result.chip;
        record.device = std::string(m_rom.Device().name);
        record.image = m_setup.image;
        record.imageCrc32 = imageCrc32;
        record.imageEdited = m_setup.imageEdited || imageCrc32 != m_imageCrc32;
        record.serial = result.serial;
        record.sum16 = result.programmed.sum16;
        record.crc32 = result.programmed.crc32;
        record.passed = result.passed;
        record.failedStep = ProductionStepName(result.failedStep);
        record.failedAddress = result.failedAddress;
        record.seconds = result.seconds;
        result.logged = m_log ? m_log->Append(record) : m_setup.record(record);
    }
    if (result.logged && !serialSaved) result.logged = serialSaved;
    return result;
}

}  // namespace vexo
