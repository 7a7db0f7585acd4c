// The session's production actions.
#include "session/session.h"

#include <algorithm>
#include <cstdio>

#include "base/text.h"

namespace vexo {

Status Session::StartProduction(const ProductionOptions& options)
{
    if (m_production) return Status::Fail("batch: a production run is going already");
    if (!m_rom || !m_rom->ImageLoaded())
        return Status::Fail("batch: no image in the buffer; load one first");
    if (options.serial) {
        if (Status within = CheckSerialWithin(*options.serial, m_rom->DeviceSize(), m_rom->Device().name); !within)
            return Status::Fail(Cat({"batch: ", within.message()}));
    }

    std::unique_ptr<ProductionLog> log;
    std::vector<LoggedChip> earlier;
    if (!options.logPath.empty()) {
        // Records appended to the image would spoil it.
        std::vector<FileRole> roles = m_heldFiles;
        roles.push_back({"load", m_rom->ImagePath(), false, 0});
        roles.push_back({"--log", options.logPath, true, 0, true});
        if (Status clash = CheckFileRoles(roles); !clash) return clash;
        // A continued log's numbering goes on: never two records of one number.
        auto read = ReadProductionLog(options.logPath);
        if (!read) return Status::Fail(Cat({"batch: ", read.message()}), read.status().errnum());
        earlier = std::move(*read);
        auto opened = ProductionLog::Open(options.logPath);
        if (!opened) return Status::Fail(Cat({"batch: ", opened.message()}), opened.status().errnum());
        log = std::move(*opened);
        m_heldFiles.push_back({"--log", options.logPath, true, 0});
    }

    if (options.serial) {
        const std::string over =
            SerialOverlap(*options.serial, {m_rom->m_Buffer.get(), std::size_t(m_rom->DeviceSize())});
        if (!over.empty()) m_ui.Note(over);
    }

    const ImageSource source = Source();
    ProductionSetup setup;
    setup.image = source.name;
    setup.imageEdited = source.edited;
    setup.serial = options.serial;
    setup.blankCheck = options.blankCheck;
    setup.skipBlank = options.skipBlank || m_settings.skipBlank;
    setup.retries = options.retries ? *options.retries : unsigned(m_settings.retries);
    setup.insertChip = m_nextChip;
    setup.stopOnPortFault = options.stopOnPortFault;
    setup.firstChip = std::max({1u, options.firstChip, LastLoggedChip(earlier) + 1});
    setup.operatorSeconds = [this] { return m_ui.OperatorSeconds(); };
    m_productionEarlier = std::move(earlier);
    m_productionLog = std::move(log);
    m_production = std::make_unique<ProductionRun>(*m_rom, std::move(setup), m_productionLog.get());
    return Status::Ok();
}

Result<ChipResult> Session::ProductionChip()
{
    if (!m_production) return Status::Fail("batch: no production run is going");
    return m_production->RunChip();
}

RunEnd Session::ProductionEndAfter(const Result<ChipResult>& chip) const
{
    if (!m_production) return RunEnd::NotStarted;
    return m_production->EndAfter(chip, !PortFault().empty());
}

Status Session::StopProduction()
{
    m_production.reset();
    if (!m_productionLog) return Status::Ok();
    const std::string path = m_productionLog->Path();
    Status closed = m_productionLog->Close();
    m_productionLog.reset();
    m_heldFiles.erase(std::remove_if(m_heldFiles.begin(), m_heldFiles.end(),
                                     [&](const FileRole& r) { return r.role == "--log" && r.path == path; }),
                      m_heldFiles.end());
    return closed;
}

std::string Session::PassStopQuestion() const
{
    const std::string_view pass = m_rom ? m_rom->PassName() : std::string_view();
    if (pass == "Programming" || pass == "Programming again")
        return Cat({"Stop ", pass, "? The chip will be partly programmed."});
    return Cat({"Stop ", pass.empty() ? std::string_view("the pass") : pass, "?"});
}

void Session::StopPass()
{
    if (m_rom) m_rom->RequestPassStop();
}

std::optional<std::string> Session::EndStoppedPass()
{
    if (!m_rom || !m_rom->PassStopAsked()) return std::nullopt;
    const std::optional<CRom::StopPoint> where = m_rom->WhereStopped();
    m_rom->ForgetStop();
    // Asked for after the pass had ended: nothing stopped.
    if (!where) return std::nullopt;
    m_rom->ResetLines();
    const std::uint32_t done = m_rom->m_nHexCount > 0 ? std::uint32_t(m_rom->m_nHexCount) : 0;
    const std::string_view pass = where->pass;
    std::string_view what = "bytes done";
    if (pass == "Programming" || pass == "Programming again") what = "bytes programmed";
    else if (pass == "Reading") what = "bytes read";
    else if (pass == "Verifying") what = "bytes verified";
    else if (pass == "Blank checking" || pass == "Checking for short bytes") what = "bytes checked";
    char at[16], count[16];
    std::snprintf(at, sizeof at, "0x%X", unsigned(where->address));
    std::snprintf(count, sizeof count, "0x%X", unsigned(done));
    return Cat({"Stopped at ", at, ": ", count, " ", what});
}

}  // namespace vexo
