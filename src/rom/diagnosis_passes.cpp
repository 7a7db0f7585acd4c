// SPDX-License-Identifier: GPL-3.0-or-later
// The device object's part in diagnosis: the scratch read for compare and
// erase check, the failing pass's line for the failure box, and the extra
// programming rounds for bytes that came out short.

#include "base/text.h"
#include "rom/diagnosis.h"
#include "rom/pass_order.h"
#include "rom/rom.h"

namespace vexo {

std::string CRom::FailureDetails() const
{
    const PassFailure& f = m_lastFailure;
    const std::string at = FormatAddress(f.address);
    switch (f.pass) {
    case PassFailure::Pass::None: return {};
    case PassFailure::Pass::BlankCheck:
        if (f.moduleLost) return Cat({"blank check: the module stopped answering at ", at});
        return Cat({"blank check: first programmed byte at ", at, ": chip ", FormatByte(f.actual)});
    case PassFailure::Pass::Verify:
        if (f.moduleLost) return Cat({"verify: the module stopped answering at ", at});
        return Cat({"verify: first difference at ", at, ": buffer ", FormatByte(f.expected), ", chip ",
                    FormatByte(f.actual)});
    }
    return {};
}

void CRom::SetFailureDetails()
{
    const std::string line = FailureDetails();
    if (!line.empty()) m_ui.SetNextBoxDetails(line);
}

bool CRom::ReadDevice(std::span<std::uint8_t> out)
{
    if (out.size() < DeviceSize()) return false;
    m_nHexCount = 0;
    bool lost = false;
    ForEachAddress(m_nDevice, [this, &out, &lost](std::uint32_t address) {
        if (StopBefore("Reading", address)) return false;
        std::uint8_t value;
        if (!ReadAt(address, value)) lost = true;
        out[address] = value;
        ++m_nHexCount;
        ShowHexCount();
        return true;
    });
    m_bModuleLost = lost;
    m_ui.FlushHexCount();
    m_port.EndOfPass();
    return !lost && !Stopped();
}

Status CRom::CheckModule(std::string_view step)
{
    // The lines as Read ROM leaves them before its module check.
    ClearControlBit3();
    SetControlBit1();
    if (!ModulePresent()) return Status::Fail(Cat({step, ": no module answers on the port"}));
    return Status::Ok();
}

Status CRom::ReadChip(std::span<std::uint8_t> out, std::string_view step)
{
    if (out.size() < DeviceSize())
        return Status::Fail(Cat({step, ": no room for the ", Device().name, "'s contents"}));
    if (Status module = CheckModule(step); !module) return module;
    if (!ReadDevice(out)) {
        if (Stopped())
            return Status::Fail(Cat({step, ": the read stopped at ", FormatAddress(m_stopPoint->address)}));
        return Status::Fail(Cat({step, ": no module answers on the port"}));
    }
    return Status::Ok();
}

void CRom::AddRetryDetails(bool written)
{
    if (m_retries <= 0) return;
    if (m_retriedPerRound.empty()) {
        // A write that stopped before programming ran no round either.
        if (written) m_ui.SetNextBoxDetails("retries: no byte needed another round");
        return;
    }
    std::string lines;
    for (std::size_t i = 0; i < m_retriedPerRound.size(); ++i) {
        const std::uint32_t n = m_retriedPerRound[i];
        if (i) lines += '\n';
        lines += Cat({"retries: round ", std::to_string(i + 1), " programmed ", std::to_string(n),
                      n == 1 ? " byte" : " bytes", " again"});
    }
    m_ui.SetNextBoxDetails(lines);
}

void CRom::RetryShortBytes()
{
    m_retriedPerRound.clear();
    if (m_retries <= 0) return;

    bool lost = false;
    // True when the byte at `address` still lacks programmed bits and has no
    // bit that would need erasing: another pulse train can still mend it.
    auto isShort = [this, &lost](std::uint32_t address) {
        std::uint8_t value;
        if (!VerifyReadAt(address, value)) {
            lost = true;
            return false;
        }
        const std::uint8_t want = m_Buffer[address];
        return value != want && (value & want) == want;
    };

    std::vector<std::uint32_t> shortBytes;
    m_nHexCount = 0;
    ForEachAddress(m_nDevice, [&](std::uint32_t address) {
        if (StopBefore("Checking for short bytes", address)) return false;
        if (isShort(address)) shortBytes.push_back(address);
        ++m_nHexCount;
        ShowHexCount();
        return !lost;
    });
    m_ui.FlushHexCount();

    for (int round = 0; round < m_retries && !shortBytes.empty() && !lost && !Stopped(); ++round) {
        m_retriedPerRound.push_back(std::uint32_t(shortBytes.size()));
        m_nHexCount = 0;
        for (std::uint32_t address : shortBytes) {
            if (StopBefore("Programming again", address)) break;
            ProgramAt(address);
            ++m_nHexCount;
            ShowHexCount();
        }
        m_ui.FlushHexCount();
        m_port.EndOfPass();
        if (round + 1 == m_retries || Stopped()) break;  // the verify that follows decides
        std::vector<std::uint32_t> still;
        for (std::uint32_t address : shortBytes) {
            if (StopBefore("Checking for short bytes", address)) break;
            if (isShort(address)) still.push_back(address);
            if (lost) break;
        }
        shortBytes.swap(still);
    }
    ResetLines();
}

}  // namespace vexo
