// SPDX-License-Identifier: GPL-3.0-or-later
#include "session/session.h"

#include "rom/image_source.h"

#include "base/text.h"
#include "port/fault_port.h"
#include "rom/catalogue.h"
#include "rom/checksum.h"

namespace vexo {

Session::Session(IUiServices& ui) : m_ui(ui) {}

Session::~Session()
{
    // The device object goes before the port it drives.
    m_rom.reset();
    m_port.reset();
}

namespace {

std::vector<FileRole> HeldFiles(const PortSetup& setup)
{
    return {{"the chip file", ChipFileOf(setup.description).value_or(""), true, 0},
            {"--trace", setup.wrapping.tracePath, true, 0},
            {"--vcd", setup.wrapping.vcdPath, true, 0}};
}

}  // namespace

Status Session::CheckFiles(const PortSetup& setup, std::vector<FileRole> stepFiles)
{
    std::vector<FileRole> roles = HeldFiles(setup);
    for (FileRole& role : stepFiles) roles.push_back(std::move(role));
    return CheckFileRoles(roles);
}

Result<PortSetup> Session::MakePortSetup(const PortWords& words, std::uint32_t defaultChipSize,
                                         std::vector<FileRole> stepFiles)
{
    if (const Status port = ParsePortDescription(words.port); !port)
        return Status::Fail(Cat({"--port ", words.port, ": ", port.message()}));
    if (words.fault) {
        if (const Result<FaultConfig> fault = ParseFaultDescription(*words.fault); !fault)
            return Status::Fail(Cat({"--fault ", *words.fault, ": ", fault.message()}));
    }
    PortSetup setup;
    setup.description = words.port;
    setup.wrapping.fault = words.fault.value_or(std::string());
    setup.wrapping.tracePath = words.trace;
    setup.wrapping.vcdPath = words.vcd;
    setup.defaultChipSize = defaultChipSize;
    if (Status clash = CheckFiles(setup, std::move(stepFiles)); !clash) return clash;
    return setup;
}

Status Session::CheckSaveTarget(const std::string& path) const
{
    std::vector<FileRole> roles = m_heldFiles;
    roles.push_back({"save", OutputPath(path), false, 1});
    return CheckFileRoles(roles);
}

const PortOpenReport& Session::OpenPort(const PortSetup& setup)
{
    m_heldFiles = HeldFiles(setup);
    m_portText = setup.description;
    PortOptions options;
    options.defaultChipSize = setup.defaultChipSize;
    return AdoptPort(vexo::OpenPort(setup.description, options), setup.wrapping);
}

const PortOpenReport& Session::AdoptPort(OpenedPort opened, const PortWrapping& wrapping)
{
    m_report = {};
    m_report.description = opened.description;
    m_report.openStatus = opened.status;
    m_report.simulated = opened.simulated;
    m_report.opened = opened.status.ok();
    m_health = std::move(opened.health);
    m_nextChip = std::move(opened.nextChip);
    m_port = std::move(opened.port);
    m_report.wrapFailures = WrapPort(m_port, wrapping, &m_wrapped);
    return m_report;
}

void Session::Start()
{
    if (!m_port) OpenPort(PortSetup{"none", {}, 0x8000});
    m_rom = std::make_unique<CRom>(*m_port, m_ui, m_panel);
    static_cast<void>(SetProgramSettings(m_settings));  // checked when they were set
}

std::string RetriesRangeText()
{
    return "give a number of rounds from 0 to " + std::to_string(kMaxRetries);
}

std::string PulseRangeText()
{
    return "give microseconds from 0 to " + std::to_string(kMaxPulseMicroseconds);
}

Status Session::SetProgramSettings(const ProgramSettings& settings)
{
    if (settings.retries < 0 || unsigned(settings.retries) > kMaxRetries)
        return Status::Fail("retries: " + RetriesRangeText());
    if (settings.pulseMicros > kMaxPulseMicroseconds)
        return Status::Fail("pulse width: " + PulseRangeText());
    m_settings = settings;
    if (m_rom) {
        m_rom->m_retries = settings.retries;
        m_rom->SetSkipBlank(settings.skipBlank);
        if (Status s = m_rom->SetPulseMicros(settings.pulseMicros); !s) return s;
    }
    return Status::Ok();
}

Status Session::PortHealth() const { return m_health ? m_health() : Status::Ok(); }

Status Session::Shutdown()
{
    // A production run still going ends first; its log's failure is the run's.
    const Status logClosed = StopProduction();
    if (m_rom) {
        m_rom->Reset();
        m_rom.reset();
    }
    const Status wrappers = CloseWrapperFiles(m_wrapped);
    m_wrapped = {};
    if (logClosed && wrappers) return Status::Ok();
    if (!logClosed && !wrappers) return Status::Fail(logClosed.message() + "\n" + wrappers.message());
    return logClosed ? wrappers : logClosed;
}

void Session::SelectDevice(int index)
{
    m_rom->m_nDevice = std::int8_t(index);
    m_panel.m_strDevice = std::string(kDevices[std::size_t(index)].name);
    m_panel.Push();
}

void Session::SelectSpeed(int index)
{
    m_rom->m_nSpeed = std::int8_t(index);
    m_panel.m_strSpeed = std::string(kSpeeds[std::size_t(index)].name);
    m_panel.Push();
}

bool Session::SelectPort(int number)
{
    // LPT2 and LPT3 are checked with the error flag raised, so the module
    // answers "Module Not found!!" and the port is not taken; the flag is
    // cleared again at once.
    const bool guarded = number != 1;
    if (guarded) m_rom->m_bError = 1;
    const bool selected = m_rom->SelectPort(number);
    if (guarded) m_rom->m_bError = 0;
    // The panel names the port in use: a refused port leaves it as it was.
    m_panel.m_strPort = Cat({"LPT", std::to_string(m_rom->m_nPort + 1), " Port"});
    m_panel.Push();
    return selected;
}

bool Session::OpenImage()
{
    const bool loaded = m_rom->LoadFile();
    if (loaded) BufferReplaced();
    return loaded;
}

bool Session::OpenImage(const std::string& path, std::optional<ImageFormat> format)
{
    const bool loaded = m_rom->LoadFile(path, format);
    if (loaded) BufferReplaced();
    return loaded;
}

bool Session::SaveChip(const std::string& path, std::optional<ImageFormat> format)
{
    // A file the session holds (the chip file, the trace, the capture) is
    // never saved over; the chip is not even read then.
    if (const Status clash = CheckSaveTarget(path); !clash) {
        m_ui.AppMessageBox(clash.message());
        return false;
    }
    m_rom->m_strSaveName = path;
    m_rom->m_saveFormat = format;
    const bool saved = m_rom->SaveBuffer();
    m_rom->m_saveFormat.reset();
    BufferReplaced();  // the chip was read into the buffer first
    return saved;
}

bool Session::ReadRom() { return ReadRom(m_readPasses); }

ChecksumReport Session::Checksum() const
{
    return MakeChecksumReport(0, m_rom->m_Buffer.get(), m_rom->DeviceSize());
}

Result<Conversion> Session::Convert(const std::string& in, const std::string& out, const ConvertOptions& options)
{
    return ConvertImageFile(in, out, options);
}

std::vector<StatusField> Session::StatusFields(std::string_view hexCount) const
{
    const InfoPanel& p = m_panel;
    while (!hexCount.empty() && (hexCount.back() == ' ' || hexCount.back() == '\n' || hexCount.back() == '\r'))
        hexCount.remove_suffix(1);
    const auto field = [](std::string_view name, const std::string& value) {
        return StatusField{Cat({name, ": ", value}), std::string(name), value};
    };
    std::vector<StatusField> fields{field("Port Type", p.m_strPort),
                                    field("File Name", p.m_strFileName),
                                    field("Device Type", p.m_strDevice),
                                    field("Program Speed", p.m_strSpeed),
                                    field("Buffer Start Address", p.m_strStartAddr),
                                    field("Buffer end Address", p.m_strEndAddr)};
    // The Hex Count pane's text as the front end shows it ("Hex Count: 0x8000",
    // "Hex Counter :"): its field and value are what stands around the colon.
    StatusField count{std::string(hexCount), {}, {}};
    if (const std::size_t colon = hexCount.find(':'); colon != std::string_view::npos) {
        std::string_view name = hexCount.substr(0, colon), value = hexCount.substr(colon + 1);
        while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
        while (!value.empty() && value.front() == ' ') value.remove_prefix(1);
        count.name = name;
        count.value = value;
    }
    fields.push_back(std::move(count));
    return fields;
}

std::string Session::StatusText(std::string_view hexCount) const
{
    std::string text;
    for (const StatusField& field : StatusFields(hexCount)) text += field.line + "\n";
    return text;
}

}  // namespace vexo
