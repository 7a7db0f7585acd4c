// SPDX-License-Identifier: GPL-3.0-or-later
// The simulated module's backend row: sim[:KEY=VALUE,...], its keys, how its
// description reads and how it opens.
#include <algorithm>
#include <optional>
#include <string>
#include <string_view>

#include "base/numbers.h"
#include "base/text.h"
#include "port/port_backend.h"
#include "port/sim_module.h"

namespace vexo {
namespace {

// --- the simulated module's keys ---

// The chip sizes the module's five EPROM types have, by name, for size=.
std::optional<std::uint32_t> EpromSize(std::string_view name)
{
    static constexpr std::pair<std::string_view, std::uint32_t> kSizes[] = {
        {"27C256", 0x8000}, {"27C512", 0x10000}, {"27C010", 0x20000}, {"27C020", 0x40000}, {"27C040", 0x80000}};
    for (const auto& [eprom, size] : kSizes)
        if (SameText(eprom, name)) return size;
    return std::nullopt;
}

struct SimKey {
    std::string_view name;
    std::string_view value;  // for the help text
    std::string_view help;
    // Reads `value` into the configuration; fails with the usage text's reason.
    Status (*parse)(std::string_view value, SimConfig& sim);
};

constexpr SimKey kSimKeys[] = {
    {"chip", "PATH", "keep the chip's contents in PATH",
     [](std::string_view v, SimConfig& s) -> Status {
         if (v.empty()) return Status::Fail("needs a file name");
         s.chipPath = v;
         return {};
     }},
    {"size", "NAME|BYTES", "chip size when PATH is new (27C040, 524288)",
     [](std::string_view v, SimConfig& s) -> Status {
         std::optional<std::uint64_t> bytes = EpromSize(v);
         if (!bytes) bytes = ParseUnsigned(v);
         if (!bytes) return Status::Fail("is not a chip size; give a device (27C256 to 27C040) or a byte count");
         if (*bytes == 0 || *bytes > kMaxChipSize)
             return Status::Fail("is out of range; a chip has 1 byte to 16 MiB");
         s.size = std::uint32_t(*bytes);
         return {};
     }},
    {"module", "absent", "no module on the port",
     [](std::string_view v, SimConfig& s) -> Status {
         if (v != "absent" && v != "present")
             return Status::Fail("is not understood; give module=absent or module=present");
         s.present = v == "present";
         return {};
     }},
    {"pulses", "N", "pulses a byte needs before it holds (1 to 1000)",
     [](std::string_view v, SimConfig& s) -> Status {
         const auto n = ParseUnsigned(v, 1000);
         if (!n || *n < 1) return Status::Fail("is not understood; give pulses= from 1 to 1000");
         s.pulses = std::uint32_t(*n);
         return {};
     }},
    {"data-stuck", "BIT:LEVEL", "data line BIT of the chip stuck at LEVEL",
     [](std::string_view v, SimConfig& s) -> Status {
         const std::size_t colon = v.find(':');
         const auto bit = ParseUnsigned(v.substr(0, colon), 7);
         const auto level = colon == std::string_view::npos ? std::nullopt : ParseUnsigned(v.substr(colon + 1), 1);
         if (!bit || !level)
             return Status::Fail("is not understood; give data-stuck=BIT:LEVEL, BIT 0 to 7 and LEVEL 0 or 1");
         s.faults.dataStuckBit = int(*bit);
         s.faults.dataStuckLevel = *level == 1;
         return {};
     }},
    {"addr-open", "BIT", "address line BIT not connected (the chip sees 0)",
     [](std::string_view v, SimConfig& s) -> Status {
         const auto bit = ParseUnsigned(v, 23);
         if (!bit) return Status::Fail("is not understood; give addr-open= an address line, 0 to 23");
         s.faults.addressOpenBit = int(*bit);
         return {};
     }},
    {"weak", "PERCENT", "that share of bytes needs twice the pulses",
     [](std::string_view v, SimConfig& s) -> Status {
         const auto percent = ParseUnsigned(v, 100);
         if (!percent) return Status::Fail("is not understood; give weak= a percentage, 0 to 100");
         s.faults.weakPercent = std::uint32_t(*percent);
         return {};
     }},
    {"seed", "N", "which bytes are weak or flaky",
     [](std::string_view v, SimConfig& s) -> Status {
         const auto seed = ParseUnsigned(v);
         if (!seed) return Status::Fail("is not understood; give seed= a whole number");
         s.faults.seed = *seed;
         return {};
     }},
    {"flaky", "N", "N bytes each with one bit that reads as a coin toss (placed by seed)",
     [](std::string_view v, SimConfig& s) -> Status {
         const auto n = ParseUnsigned(v, kMaxChipSize);
         if (!n) return Status::Fail("is not understood; give flaky= a number of bytes");
         s.faults.flakyBytes = std::uint32_t(*n);
         return {};
     }},
    {"tray", "DIR", "a tray of chips DIR/chip-N.bin, the next one per chip of a batch",
     [](std::string_view v, SimConfig& s) -> Status {
         if (v.empty()) return Status::Fail("needs a folder name");
         s.trayDir = v;
         return {};
     }},
};

std::string SimKeyList()
{
    std::string list;
    for (const SimKey& key : kSimKeys) list += Cat({list.empty() ? "" : ", ", key.name});
    return list;
}

Status ParseSim(std::string_view options, SimConfig* sim)
{
    unsigned seen = 0;
    while (true) {
        const std::size_t comma = options.find(',');
        const std::string_view item = options.substr(0, comma);
        const std::size_t equals = item.find('=');
        if (item.empty() || equals == std::string_view::npos || equals == 0) {
            return Status::Fail(item.empty() ? "sim: empty option; write sim:key=value,key=value"
                                             : "sim: '" + std::string(item) + "' is not key=value");
        }
        const std::string_view name = item.substr(0, equals);
        const std::string_view value = item.substr(equals + 1);
        const auto key = std::find_if(std::begin(kSimKeys), std::end(kSimKeys),
                                      [name](const SimKey& k) { return k.name == name; });
        if (key == std::end(kSimKeys)) {
            return Status::Fail(Cat({"sim: unknown key '", name, "'; the keys are ", SimKeyList()}));
        }
        const unsigned bit = 1u << unsigned(key - std::begin(kSimKeys));
        if (seen & bit) {
            return Status::Fail(Cat({"sim: ", name, "= is given twice"}));
        }
        seen |= bit;
        if (const Status parsed = key->parse(value, *sim); !parsed) {
            // "sim: chip= needs a file name", "sim: size=0 is out of range; …"
            const std::string& reason = parsed.message();
            const bool noValue = value.empty() && reason.rfind("needs", 0) == 0;
            return Status::Fail(noValue ? Cat({"sim: ", name, "= ", reason}) : Cat({"sim: ", item, " ", reason}));
        }
        if (comma == std::string_view::npos) return {};
        options.remove_prefix(comma + 1);
    }
}

std::string SimDescription(const SimModule& module)
{
    std::string text = module.ChipPath().empty()
                           ? "simulated module, chip in memory"
                           : "simulated module, chip file " + module.ChipPath();
    text += " (" + Count(module.Size(), "byte", "bytes") + ")";
    if (module.State() == SimState::Absent) text += ", module absent";
    if (module.PulsesToProgram() != 1)
        text += ", " + std::to_string(module.PulsesToProgram()) + " pulses per byte";
    const SimFaults& faults = module.Faults();
    if (faults.dataStuckBit >= 0)
        text += ", data line D" + std::to_string(faults.dataStuckBit) + " stuck at " +
                (faults.dataStuckLevel ? "1" : "0");
    if (faults.addressOpenBit >= 0)
        text += ", address line A" + std::to_string(faults.addressOpenBit) + " open";
    if (faults.weakPercent > 0)
        text += ", " + std::to_string(faults.weakPercent) + "% weak bytes (seed " +
                std::to_string(faults.seed) + ")";
    if (faults.flakyBytes > 0)
        text += ", " + Count(faults.flakyBytes, "flaky byte", "flaky bytes") + " (seed " +
                std::to_string(faults.seed) + ")";
    return text;
}

Result<OpenedPort> OpenSim(const SimConfig& config, const PortOptions& options)
{
    Result<std::unique_ptr<SimModule>> opened = SimModule::Open(config, options.defaultChipSize);
    if (!opened) return opened.status();
    std::unique_ptr<SimModule> module = std::move(*opened);
    OpenedPort port;
    module->SetFaults(config.faults);
    if (!config.trayDir.empty()) {
        module->SetTray(config.trayDir, config.size != 0 ? config.size : options.defaultChipSize);
        SimModule* sim = module.get();  // lives as long as the port
        port.nextChip = [sim] { return sim->InsertNextChip(); };
    }
    port.description = SimDescription(*module);
    if (!config.trayDir.empty()) port.description += ", tray " + config.trayDir;
    port.port = std::move(module);
    return port;
}

Result<ParsedPort> ParseSimArgument(std::string_view argument, bool given)
{
    SimConfig config;
    if (given)
        if (Status parsed = ParseSim(argument, &config); !parsed) return parsed;
    ParsedPort parsed;
    parsed.chipFile = config.chipPath;
    parsed.open = [config](const PortOptions& options) { return OpenSim(config, options); };
    return parsed;
}

std::string SimKeysHelp()
{
    std::string text = "                         keys:\n";
    for (const SimKey& key : kSimKeys) {
        std::string line = Cat({"    ", key.name, "=", key.value});
        line.resize(std::max(line.size() + 2, std::size_t(27)), ' ');
        text += Cat({line, key.help, "\n"});
    }
    return text;
}

}  // namespace

const PortBackend kSimBackend{
    .name = "sim",
    .synopsis = "sim[:KEY=VALUE,...]",
    .help = "the simulated module (the default)",
    .example = "sim:chip=chip.bin,size=27C040",
    .helpDetail = SimKeysHelp,
    .parse = ParseSimArgument,
    .simulated = true,
    .connects = true,
    .drivesControlBit4 = true,
    .directIo = false,
};

}  // namespace vexo
