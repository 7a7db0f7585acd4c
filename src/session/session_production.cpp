// SPDX-License-Identifier: GPL-3.0-or-later
// The session's production actions.
#include "session/session.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "base/hex.h"
#include "base/text.h"
#include "rom/serial_list.h"
#include "rom/sha256.h"

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

    if (!options.serialList.empty() && !options.serial)
        return Status::Fail("batch: a serial list needs --serial-at ADDR:WIDTH[:FORMAT]");
    std::unique_ptr<SerialSource> serials;
    if (!options.serialList.empty()) {
        auto list = SerialList::Open(options.serialList);
        if (!list) return Status::Fail(Cat({"batch: ", list.message()}), list.status().errnum());
        serials = std::make_unique<SerialList>(std::move(*list));
    }

    const DatabaseKind database = DatabaseKindOf(options.logPath);
    std::unique_ptr<ProductionDatabase> db;
    std::unique_ptr<ProductionLog> log;
    std::vector<LoggedChip> earlier;
    if (database != DatabaseKind::None) {
        if (database == DatabaseKind::Sqlite) {
            std::vector<FileRole> roles = m_heldFiles;
            roles.push_back({"load", m_rom->ImagePath(), false, 0});
            roles.push_back({"--log", SqlitePathOf(options.logPath), true, 0, true});
            if (Status clash = CheckFileRoles(roles); !clash) return clash;
        }
        auto opened = ProductionDatabase::Open(options.logPath);
        if (!opened) return Status::Fail(Cat({"batch: ", opened.message()}));
        db = std::move(*opened);
        if (options.serial && !serials) {
            // The plan's numbers belong to this image: the device's range as it is now.
            const std::string image =
                Sha256Hex({m_rom->m_Buffer.get(), std::size_t(m_rom->DeviceSize())});
            serials = std::make_unique<DatabaseSerials>(*db, *options.serial, image);
        }
    } else if (!options.logPath.empty()) {
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
    setup.serials = serials.get();
    if (db) {
        ProductionDatabase* target = db.get();
        setup.beforeChip = [target] { return target->Reachable(); };
        setup.record = [target, station = options.station.empty() ? DefaultStation() : options.station,
                        job = m_jobSha256](const ProductionRecord& record) -> Status {
            Status written = target->Append({record, {}, station, job});
            if (written) return written;
            const std::string which = record.serial ? "serial " + std::to_string(*record.serial)
                                                    : "chip " + std::to_string(record.chip);
            return Status::Fail(Cat({written.message(), "; ", which, " is unlogged"}));
        };
    }
    m_productionDb = std::move(db);
    m_productionSerials = std::move(serials);
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
    return m_production->EndAfter(chip, !PortHealth().ok());
}

Status Session::StopProduction()
{
    m_production.reset();
    m_productionSerials.reset();
    m_productionDb.reset();
    if (!m_productionLog) return Status::Ok();
    const std::string path = m_productionLog->Path();
    Status closed = m_productionLog->Close();
    m_productionLog.reset();
    m_heldFiles.erase(std::remove_if(m_heldFiles.begin(), m_heldFiles.end(),
                                     [&](const FileRole& r) { return r.role == "--log" && r.path == path; }),
                      m_heldFiles.end());
    return closed;
}

std::string Session::DefaultStation()
{
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0 || name[0] == 0) return "station";
    return name;
}

Result<std::vector<ChipRow>> Session::ReadLogRows(const std::string& target)
{
    if (DatabaseKindOf(target) == DatabaseKind::None)
        return Status::Fail(Cat({"log-report: ", target, " is not a database log (sqlite:PATH or postgresql://…)"}));
    if (DatabaseKindOf(target) == DatabaseKind::Sqlite && !std::filesystem::exists(SqlitePathOf(target)))
        return Status::Fail(Cat({"log-report: ", SqlitePathOf(target), ": No such file or directory"}));
    auto db = ProductionDatabase::Open(target);
    if (!db) return Status::Fail(Cat({"log-report: ", db.message()}));
    auto rows = (*db)->Rows();
    if (!rows) return Status::Fail(Cat({"log-report: ", rows.message()}));
    return rows;
}

Status Session::OpenJob(const std::string& path)
{
    auto job = ReadJob(path);
    if (!job) return job.status();
    auto jobSha = FileSha256(path);
    if (!jobSha) return Status::Fail(Cat({"job ", jobSha.message()}));
    const std::string image = JobRelativeTo(path, job->image);
    auto sha = FileSha256(image);
    if (!sha) return Status::Fail(Cat({"job: ", sha.message()}), sha.status().errnum());
    if (*sha != job->imageSha256)
        return Status::Fail(Cat({"job: ", job->image, " changed since the job was made (sha256 ", *sha,
                                 ", the job says ", job->imageSha256, ")"}));
    auto part = LookUpPart(job->device);
    if (!part) return Status::Fail(Cat({"job ", path, ": ", part.message()}));
    std::optional<int> speed;
    if (!job->speed.empty()) {
        speed = FindSpeed(job->speed);
        if (!speed) return Status::Fail(Cat({"job ", path, ": unknown speed '", job->speed, "'"}));
    }
    ProgramSettings settings;
    settings.retries = int(job->retries);
    settings.pulseMicros = job->pulseMicros;
    settings.skipBlank = job->skipBlank;
    if (settings.retries < 0 || job->retries > kMaxRetries)
        return Status::Fail(Cat({"job ", path, ": retries: ", RetriesRangeText()}));
    if (job->pulseMicros > kMaxPulseMicroseconds)
        return Status::Fail(Cat({"job ", path, ": pulse width: ", PulseRangeText()}));

    if (!SelectPart(job->device)) return Status::Fail(Cat({"job ", path, ": ", part.message()}));
    if (speed) SelectSpeed(*speed);
    if (Status s = SetProgramSettings(settings); !s) return Status::Fail(Cat({"job ", path, ": ", s.message()}));
    // The load's own box says why it failed.
    if (!OpenImage(image)) return Status::Fail(Cat({"job: cannot load ", image}));
    m_job = std::move(*job);
    m_jobPath = path;
    m_jobSha256 = std::move(*jobSha);
    return {};
}

Result<Session::ProductionOptions> Session::JobProductionOptions() const
{
    if (!m_job) return Status::Fail("no job is open");
    ProductionOptions options;
    if (!m_job->serial.empty()) {
        auto plan = ParseSerialPlan(m_job->serial);
        if (!plan) return Status::Fail(Cat({"job ", m_jobPath, ": ", plan.message()}));
        options.serial = *plan;
    }
    if (!m_job->serialList.empty()) {
        auto plan = ParseSerialAt(m_job->serialAt);
        if (!plan) return Status::Fail(Cat({"job ", m_jobPath, ": ", plan.message()}));
        options.serial = *plan;
        options.serialList = JobRelativeTo(m_jobPath, m_job->serialList);
    }
    options.logPath = m_job->log;
    return options;
}

void Session::CloseJob()
{
    m_job.reset();
    m_jobPath.clear();
    m_jobSha256.clear();
}

Result<Job> Session::MakeJob(const std::string& path, const Job& production) const
{
    if (!m_rom || !m_rom->ImageLoaded() || ImagePath().empty())
        return Status::Fail("job-save: no image in the buffer; load one first");
    const ImageSource source = Source();
    if (source.name != ImagePath())
        return Status::Fail("job-save: the buffer holds more than one file; save it and load that file");
    if (source.edited)
        return Status::Fail("job-save: the buffer was changed after its load; save it and load that file");
    auto sha = FileSha256(ImagePath());
    if (!sha) return Status::Fail(Cat({"job-save: ", sha.message()}), sha.status().errnum());
    Job job = production;
    job.image = NameForJob(path, ImagePath());
    job.imageSha256 = std::move(*sha);
    job.device = std::string(m_rom->Device().name);
    job.speed = std::string(kSpeeds[std::size_t(m_rom->m_nSpeed)].name);
    job.retries = unsigned(m_settings.retries);
    job.pulseMicros = m_settings.pulseMicros;
    job.skipBlank = m_settings.skipBlank;
    if (!job.serialList.empty()) job.serialList = NameForJob(path, job.serialList);
    return job;
}

Status Session::SaveJob(const std::string& path, const Job& production)
{
    if (Status clash = CheckSaveTarget(path); !clash) return clash;
    auto job = MakeJob(path, production);
    if (!job) return job.status();
    return WriteJob(path, *job);
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
    return Cat({"Stopped at ", Hex0x(where->address), ": ", Hex0x(done), " ", what});
}

}  // namespace vexo
