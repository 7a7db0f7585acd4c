// SPDX-License-Identifier: GPL-3.0-or-later
#include "port/port_check.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <optional>
#include <sstream>

#include "base/hex.h"
#include "base/numbers.h"
#include "base/text.h"

namespace vexo {
namespace {

constexpr std::uint16_t kStandardBases[] = {0x378, 0x278, 0x3BC};
constexpr int kCapSysRawio = 17;

std::optional<std::string> ReadText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool Exists(const std::string& path)
{
    struct stat st {};
    return stat(path.c_str(), &st) == 0;
}

std::vector<std::string> Lines(std::string_view text)
{
    std::vector<std::string> out;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        out.emplace_back(text.substr(0, end));
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return out;
}

std::vector<std::string> Split(std::string_view text, char by)
{
    std::vector<std::string> out;
    while (true) {
        const std::size_t at = text.find(by);
        out.emplace_back(text.substr(0, at));
        if (at == std::string_view::npos) return out;
        text.remove_prefix(at + 1);
    }
}

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

// Names in `dir` that start with `prefix` and go on in digits, sorted.
std::vector<std::string> NumberedEntries(const std::string& dir, std::string_view prefix)
{
    std::vector<std::string> out;
    DIR* d = opendir(dir.c_str());
    if (!d) return out;
    while (const dirent* entry = readdir(d)) {
        const std::string_view name = entry->d_name;
        if (name.size() <= prefix.size() || name.substr(0, prefix.size()) != prefix) continue;
        const std::string_view digits = name.substr(prefix.size());
        if (std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
            out.emplace_back(name);
    }
    closedir(d);
    std::sort(out.begin(), out.end());
    return out;
}

bool ModuleLoaded(const SystemPaths& paths, std::string_view module)
{
    if (Exists(Cat({paths.sys, "/module/", module}))) return true;
    const auto modules = ReadText(paths.proc + "/modules");
    if (!modules) return false;
    for (const std::string& line : Lines(*modules))
        if (line.size() > module.size() && line.compare(0, module.size(), module) == 0 &&
            line[module.size()] == ' ')
            return true;
    return false;
}

struct GroupEntry {
    std::string name;
    gid_t gid = 0;
    std::vector<std::string> members;
};

std::vector<GroupEntry> ReadGroups(const SystemPaths& paths)
{
    std::vector<GroupEntry> out;
    const auto text = ReadText(paths.etc + "/group");
    if (!text) return out;
    for (const std::string& line : Lines(*text)) {
        const auto fields = Split(line, ':');
        if (fields.size() < 4) continue;
        const auto gid = ParseUnsigned(fields[2], 0xFFFFFFFFu);
        if (!gid) continue;
        GroupEntry group{fields[0], gid_t(*gid), {}};
        if (!fields[3].empty()) group.members = Split(fields[3], ',');
        out.push_back(std::move(group));
    }
    return out;
}

// From /etc/passwd: the user name of `uid`, or the primary group of `name`.
std::optional<std::string> UserName(const SystemPaths& paths, uid_t uid)
{
    const auto text = ReadText(paths.etc + "/passwd");
    if (!text) return std::nullopt;
    for (const std::string& line : Lines(*text)) {
        const auto fields = Split(line, ':');
        if (fields.size() >= 4 && ParseUnsigned(fields[2]) == std::uint64_t(uid)) return fields[0];
    }
    return std::nullopt;
}

std::optional<gid_t> PrimaryGroup(const SystemPaths& paths, const std::string& name)
{
    const auto text = ReadText(paths.etc + "/passwd");
    if (!text || name.empty()) return std::nullopt;
    for (const std::string& line : Lines(*text)) {
        const auto fields = Split(line, ':');
        if (fields.size() < 4 || fields[0] != name) continue;
        if (const auto gid = ParseUnsigned(fields[3], 0xFFFFFFFFu)) return gid_t(*gid);
    }
    return std::nullopt;
}

std::string ModeText(mode_t mode)
{
    char text[8];
    std::snprintf(text, sizeof text, "%04o", unsigned(mode & 07777));
    return text;
}

CheckLine Ok(std::string what) { return {true, std::move(what), {}}; }
CheckLine Problem(std::string what, std::string fix) { return {false, std::move(what), std::move(fix)}; }

// Whether the running kernel can load `module` at all: it is built in, or
// its module tree lists it. Unknown (nullopt) when the release cannot be read.
std::optional<bool> ModuleAvailable(const SystemPaths& paths, std::string_view module)
{
    const auto release = ReadText(paths.proc + "/sys/kernel/osrelease");
    const std::vector<std::string> releaseLines = release ? Lines(*release) : std::vector<std::string>{};
    if (releaseLines.empty() || Trim(releaseLines[0]).empty()) return std::nullopt;
    const std::string tree = Cat({paths.modules, "/", Trim(releaseLines[0])});
    // "kernel/drivers/parport/parport_pc.ko" (.ko.xz, .ko.zst) in either list.
    const std::string file = Cat({"/", module, ".ko"});
    for (const char* list : {"/modules.builtin", "/modules.dep"}) {
        const auto text = ReadText(tree + list);
        if (!text) continue;
        for (const std::string& line : Lines(*text)) {
            const std::string_view path = std::string_view(line).substr(0, line.find(':'));
            const std::size_t at = path.rfind(file);
            if (at != std::string_view::npos &&
                (at + file.size() == path.size() || path[at + file.size()] == '.'))
                return true;
        }
    }
    return false;
}

void CheckModules(const SystemPaths& paths, std::vector<CheckLine>& out)
{
    for (const char* module : {"parport_pc", "ppdev"}) {
        if (ModuleLoaded(paths, module))
            out.push_back(Ok(Cat({"kernel module ", module, " is loaded"})));
        else if (ModuleAvailable(paths, module) == false)
            out.push_back(Problem(Cat({"kernel module ", module, " is not available in this kernel (no ",
                                       paths.modules, " entry for it)"}),
                                  "install the modules of the running kernel (linux-image-$(uname -r)) "
                                  "or boot a kernel that has them; a container or virtual machine "
                                  "needs its host to load the drivers and pass /dev/parport* in"));
        else
            out.push_back(Problem(Cat({"kernel module ", module, " is not loaded"}),
                                  Cat({"sudo modprobe ", module})));
    }
}

// PCI and PCIe cards of the parallel port class (0x0701xx): one without a
// driver is a port the kernel has not taken up.
void CheckPciCards(const SystemPaths& paths, bool portShown, std::vector<CheckLine>& out)
{
    const std::string bus = paths.sys + "/bus/pci/devices";
    std::vector<std::string> cards;
    if (DIR* d = opendir(bus.c_str())) {
        while (const dirent* entry = readdir(d))
            if (entry->d_name[0] != '.') cards.emplace_back(entry->d_name);
        closedir(d);
    }
    std::sort(cards.begin(), cards.end());
    bool found = false;
    constexpr std::string_view kSerialParallel =
        "a card with serial and parallel ports needs parport_serial (sudo modprobe parport_serial); "
        "lspci -k shows each card with the driver in use";
    for (const std::string& card : cards) {
        const auto cls = ReadText(Cat({bus, "/", card, "/class"}));
        if (!cls || Trim(*cls).substr(0, 6) != "0x0701") continue;
        found = true;
        char driver[256] = {};
        const ssize_t length = readlink(Cat({bus, "/", card, "/driver"}).c_str(), driver, sizeof driver - 1);
        if (length > 0) {
            const std::string_view target(driver, std::size_t(length));
            out.push_back(Ok(Cat({"PCI parallel port ", card, " uses driver ",
                                  target.substr(target.rfind('/') + 1)})));
        } else {
            out.push_back(Problem(Cat({"PCI parallel port ", card, " has no driver"}),
                                  Cat({"sudo modprobe parport_pc; ", kSerialParallel})));
        }
    }
    if (!found && !portShown)
        out.push_back(Problem("no PCI or PCIe parallel port card found", std::string(kSerialParallel)));
}

void CheckNode(const PortCheckOptions& options, const std::vector<GroupEntry>& groups,
               const std::string& path, std::vector<CheckLine>& out)
{
    const SystemPaths& paths = options.paths;
    const UserIdentity& user = options.user;
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) return;
    std::string group = std::to_string(st.st_gid);
    const GroupEntry* entry = nullptr;
    for (const GroupEntry& g : groups)
        if (g.gid == st.st_gid) {
            entry = &g;
            group = g.name;
        }
    const std::string owner = UserName(paths, st.st_uid).value_or(std::to_string(st.st_uid));
    const std::string shown = "/dev" + path.substr(paths.dev.size());
    const std::string described =
        Cat({shown, " (owner ", owner, ", group ", group, ", mode ", ModeText(st.st_mode), ")"});
    if (!S_ISCHR(st.st_mode)) {
        out.push_back(Problem(described + " is not a device node",
                              Cat({"remove it, then sudo modprobe ppdev so that the system makes "
                                   "the node"})));
        return;
    }
    NodeFacts facts;
    facts.shown = described;
    facts.owner = st.st_uid;
    facts.group = st.st_gid;
    facts.groupName = group;
    facts.mode = st.st_mode & 07777;
    facts.userListedInGroup =
        (entry && std::find(entry->members.begin(), entry->members.end(), user.name) !=
                      entry->members.end()) ||
        PrimaryGroup(paths, user.name) == st.st_gid;
    out.push_back(JudgeNodeAccess(facts, user));
}

void CheckPrinterDriver(const SystemPaths& paths, std::vector<CheckLine>& out)
{
    std::vector<std::string> held = NumberedEntries(paths.sys + "/class/printer", "lp");
    if (held.empty()) held = NumberedEntries(paths.dev, "lp");
    bool loaded = ModuleLoaded(paths, "lp");
    if (!loaded) {
        // A kernel with lp built in lists it among the character devices.
        if (const auto devices = ReadText(paths.proc + "/devices"))
            for (const std::string& line : Lines(*devices)) {
                const auto fields = Split(std::string(Trim(line)), ' ');
                if (fields.size() == 2 && fields[1] == "lp") loaded = true;
            }
    }
    if (!loaded) {
        out.push_back(Ok("the printer driver lp is not loaded"));
        return;
    }
    std::string what = "the printer driver lp is loaded";
    if (!held.empty()) what += " and holds the port as /dev/" + held.front();
    out.push_back(Problem(what, "sudo rmmod lp; to keep it off, put 'blacklist lp' in "
                                "/etc/modprobe.d/no-lp.conf"));
}

bool CheckIoports(const SystemPaths& paths, std::vector<CheckLine>& out)
{
    const auto text = ReadText(paths.proc + "/ioports");
    const std::vector<IoRange> ranges = text ? ParallelRanges(*text) : std::vector<IoRange>{};
    if (ranges.empty()) {
        out.push_back(Problem("the kernel lists no parallel port in /proc/ioports",
                              "sudo modprobe parport_pc; a machine without a port needs a PCI "
                              "or PCIe parallel port card"));
        return false;
    }
    for (const IoRange& r : ranges) {
        if (r.first == 0 && r.last == 0) {
            out.push_back(Ok(Cat({"the kernel lists parallel port ", r.name,
                                  " (its address shows to root only)"})));
            continue;
        }
        std::string what = Cat({"the kernel lists parallel port ", r.name, " at ",
                                Hex0x(r.first), "-", Hex0x(r.last)});
        if (std::find(std::begin(kStandardBases), std::end(kStandardBases), r.first) ==
            std::end(kStandardBases))
            what += Cat({" (away from 0x378: give direct:", Hex0x(r.first), " or use ppdev)"});
        out.push_back(Ok(what));
    }
    return true;
}

void CheckDirect(const SystemPaths& paths, std::vector<CheckLine>& out)
{
    bool rawio = false;
    if (const auto status = ReadText(paths.proc + "/self/status"))
        for (const std::string& line : Lines(*status))
            if (line.rfind("CapEff:", 0) == 0)
                if (const auto caps = ParseUnsigned("0x" + std::string(Trim(line.substr(7)))))
                    rawio = (*caps >> kCapSysRawio) & 1u;
    if (rawio)
        out.push_back(Ok("this process has CAP_SYS_RAWIO, which direct I/O needs"));
    else
        out.push_back(Problem("this process lacks CAP_SYS_RAWIO, which direct I/O needs",
                              "run it as root or sudo setcap cap_sys_rawio+ep on the program; "
                              "or use ppdev"));

    const auto lockdown = ReadText(paths.sys + "/kernel/security/lockdown");
    std::string mode = "none";
    if (lockdown) {
        const std::size_t open = lockdown->find('['), close = lockdown->find(']');
        if (open != std::string::npos && close != std::string::npos && close > open)
            mode = lockdown->substr(open + 1, close - open - 1);
    }
    if (mode == "none")
        out.push_back(Ok("the kernel is not in lockdown"));
    else
        out.push_back(Problem(Cat({"the kernel is in lockdown (", mode, ") and refuses direct I/O"}),
                              "use ppdev (lockdown comes with Secure Boot)"));
}

}  // namespace

CheckLine JudgeNodeAccess(const NodeFacts& node, const UserIdentity& user)
{
    const std::string& described = node.shown;
    const std::string& group = node.groupName;
    const bool inGroupNow =
        user.gid == node.group ||
        std::find(user.groups.begin(), user.groups.end(), node.group) != user.groups.end();
    const bool groupMay = (node.mode & 060) == 060;
    if (user.uid == 0) return Ok(described + "; root may open it");
    if (user.uid == node.owner && (node.mode & 0600) == 0600) return Ok(described + "; you own it");
    if (groupMay && inGroupNow) return Ok(Cat({described, "; you are in group ", group}));
    if ((node.mode & 06) == 06) return Ok(described + "; everyone may open it");
    if (groupMay && node.userListedInGroup)
        return Problem(Cat({described, "; you were added to group ", group,
                            " but this login does not have it yet"}),
                       Cat({"log out and in again, or run: newgrp ", group}));
    if (groupMay)
        return Problem(Cat({described, "; you may not open it: you are not in group ", group}),
                       Cat({"sudo usermod -aG ", group, " ",
                            user.name.empty() ? std::string("$USER") : user.name,
                            ", then log out and in again"}));
    return Problem(described + "; only its owner may open it",
                   "give its group read and write access (a udev rule with MODE=\"0660\", "
                   "GROUP=\"lp\")");
}

UserIdentity UserIdentity::Current()
{
    UserIdentity user;
    user.uid = getuid();
    user.gid = getgid();
    const int count = getgroups(0, nullptr);
    if (count > 0) {
        user.groups.resize(std::size_t(count));
        const int got = getgroups(count, user.groups.data());
        user.groups.resize(got > 0 ? std::size_t(got) : 0);
    }
    if (const auto name = UserName(SystemPaths{}, user.uid)) user.name = *name;
    return user;
}

std::string CheckLine::Text() const
{
    return ok ? "ok: " + what : Cat({"problem: ", what, " (", fix, ")"});
}

std::vector<IoRange> ParallelRanges(std::string_view ioports)
{
    std::vector<IoRange> out;
    for (const std::string& line : Lines(ioports)) {
        const std::size_t colon = line.find(" : ");
        const std::size_t dash = line.find('-');
        if (colon == std::string::npos || dash == std::string::npos || dash > colon) continue;
        const std::string name(Trim(std::string_view(line).substr(colon + 3)));
        if (name.rfind("parport", 0) != 0) continue;
        const auto first = ParseUnsigned("0x" + std::string(Trim(std::string_view(line).substr(0, dash))), 0xFFFF);
        const auto last =
            ParseUnsigned("0x" + std::string(Trim(std::string_view(line).substr(dash + 1, colon - dash - 1))), 0xFFFF);
        if (!first || !last) continue;
        out.push_back({std::uint32_t(*first), std::uint32_t(*last), name});
    }
    return out;
}

Status CheckParallelBase(std::uint16_t base, const std::string& ioportsPath)
{
    if (std::find(std::begin(kStandardBases), std::end(kStandardBases), base) !=
        std::end(kStandardBases))
        return {};
    std::string listed;
    bool hidden = false;
    if (const auto text = ReadText(ioportsPath)) {
        for (const IoRange& r : ParallelRanges(*text)) {
            if (r.first == 0 && r.last == 0) {
                hidden = true;
                continue;
            }
            if (r.first == base) return {};
            listed += (listed.empty() ? "" : ", ") + Hex0x(r.first);
        }
    }
    std::string message = Hex0x(base) + " is not a parallel port (see /proc/ioports)";
    if (!listed.empty())
        message += "; the kernel lists parallel ports at " + listed;
    else if (hidden)
        message += "; the kernel shows its parallel ports' addresses to root only: run as root";
    return Status::Fail(message);
}

std::vector<CheckLine> PortCheckSetupLines(const PortCheckOptions& options)
{
    const SystemPaths& paths = options.paths;
    std::vector<CheckLine> out;
    const std::vector<std::string> nodes = NumberedEntries(paths.dev, "parport");
    const auto ioports = ReadText(paths.proc + "/ioports");
    if (nodes.empty() && (!ioports || ParallelRanges(*ioports).empty()) &&
        NumberedEntries(paths.sys + "/class/parport", "parport").empty()) {
        out.push_back(Problem("this machine shows no parallel port: no /dev/parport*, none in "
                              "/proc/ioports",
                              "load the drivers with sudo modprobe parport_pc ppdev; without a "
                              "port on the board, fit a PCI or PCIe parallel port card; a USB "
                              "printer cable cannot drive the module"));
    }
    CheckModules(paths, out);
    CheckPciCards(paths, !nodes.empty() || (ioports && !ParallelRanges(*ioports).empty()), out);
    const std::vector<GroupEntry> groups = ReadGroups(paths);
    if (nodes.empty())
        out.push_back(Problem("no /dev/parport* node", "sudo modprobe ppdev"));
    for (const std::string& node : nodes) CheckNode(options, groups, paths.dev + "/" + node, out);
    CheckPrinterDriver(paths, out);
    CheckIoports(paths, out);
    if (options.direct) CheckDirect(paths, out);
    for (const std::string& usb : NumberedEntries(paths.dev + "/usb", "lp"))
        out.push_back(Problem(Cat({"/dev/usb/", usb,
                                   " is a USB printer adapter and cannot drive the module"}),
                              "it speaks only the printer protocol, not the port's lines; use a "
                              "parallel port on the board or on a PCI or PCIe card"));
    return out;
}

double MeasureAccessNanos(IPort& port, std::uint32_t reads)
{
    if (reads == 0) reads = 1;
    using Clock = std::chrono::steady_clock;
    std::uint8_t sink = 0;
    const auto start = Clock::now();
    for (std::uint32_t i = 0; i < reads; ++i) sink ^= port.In(kStatusPort);
    const auto elapsed = Clock::now() - start;
    // Keeps the reads from being folded away.
    volatile std::uint8_t keep = sink;
    (void)keep;
    return std::chrono::duration<double, std::nano>(elapsed).count() / reads;
}

}  // namespace vexo
