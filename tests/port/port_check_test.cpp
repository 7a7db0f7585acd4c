// SPDX-License-Identifier: GPL-3.0-or-later
// The port check on made-up machines, and the direct I/O address rules.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "port/port_check.h"
#include "port/port_open.h"
#include "port/recorder.h"
#include "support/sim_fixture.h"

namespace vexo {
namespace {

using test::TempDir;

// A machine under a scratch folder: proc, sys, dev and etc.
class FakeMachine {
public:
    FakeMachine()
    {
        for (const char* dir : {"proc/self", "sys/module", "dev/usb", "etc", "sys/class/printer",
                                "sys/kernel/security"})
            std::filesystem::create_directories(m_dir.File(dir));
        Put("etc/passwd", "root:x:0:0::/root:/bin/sh\nann:x:1000:1000::/home/ann:/bin/sh\n");
        Put("etc/group", "root:x:0:\nlp:x:7:\nann:x:1000:\n");
    }
    void Put(const std::string& path, const std::string& text)
    {
        std::filesystem::create_directories(std::filesystem::path(m_dir.File(path)).parent_path());
        std::ofstream(m_dir.File(path)) << text;
    }
    std::string File(const std::string& path) const { return m_dir.File(path); }
    PortCheckOptions Options(bool direct = false) const
    {
        PortCheckOptions options;
        options.paths = {m_dir.File("proc"), m_dir.File("sys"), m_dir.File("dev"), m_dir.File("etc")};
        options.user.uid = 1000;
        options.user.gid = 1000;
        options.user.name = "ann";
        options.user.groups = {1000};
        options.direct = direct;
        return options;
    }

private:
    TempDir m_dir;
};

std::vector<std::string> Report(const PortCheckOptions& options)
{
    std::vector<std::string> out;
    for (const CheckLine& line : PortCheckSetupLines(options)) out.push_back(line.Text());
    return out;
}

// The line that starts with `start`, or "".
std::string LineStarting(const std::vector<std::string>& lines, const std::string& start)
{
    for (const std::string& line : lines)
        if (line.rfind(start, 0) == 0) return line;
    return {};
}

TEST(PortCheck, MachineWithoutAPortSaysSoPlainly)
{
    FakeMachine machine;
    machine.Put("proc/ioports", "0000-0cf7 : PCI Bus 0000:00\n  0060-0060 : keyboard\n");
    machine.Put("proc/modules", "snd 1 0 - Live 0x0\n");
    const auto lines = Report(machine.Options());
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0].rfind("problem: this machine shows no parallel port", 0), 0u) << lines[0];
    EXPECT_NE(lines[0].find("sudo modprobe parport_pc ppdev"), std::string::npos);
    EXPECT_EQ(LineStarting(lines, "problem: kernel module parport_pc"),
              "problem: kernel module parport_pc is not loaded (sudo modprobe parport_pc)");
    EXPECT_NE(LineStarting(lines, "problem: kernel module ppdev"), "");
    EXPECT_NE(LineStarting(lines, "problem: no /dev/parport* node"), "");
    EXPECT_NE(LineStarting(lines, "problem: the kernel lists no parallel port"), "");
    EXPECT_EQ(LineStarting(lines, "ok: the printer driver lp is not loaded"),
              "ok: the printer driver lp is not loaded");
    // Direct I/O's needs are looked at only when direct is chosen.
    EXPECT_EQ(LineStarting(lines, "problem: this process lacks"), "");
    for (const std::string& line : lines)
        EXPECT_TRUE(line.rfind("ok: ", 0) == 0 || (line.rfind("problem: ", 0) == 0 && line.back() == ')'))
            << line;
}

TEST(PortCheck, ModulesPortsAndThePrinterDriver)
{
    FakeMachine machine;
    machine.Put("proc/modules", "ppdev 24576 0 - Live 0x0\nlp 20480 0 - Live 0x0\n");
    machine.Put("sys/module/parport_pc/uevent", "");  // built in: only under /sys/module
    machine.Put("sys/class/printer/lp0/dev", "6:0\n");
    machine.Put("proc/ioports",
                "0000-0cf7 : PCI Bus 0000:00\n  0378-037a : parport0\n  0778-077a : parport0\n"
                "d010-d017 : parport1\n");
    machine.Put("dev/usb/lp0", "");
    const auto lines = Report(machine.Options());
    EXPECT_EQ(LineStarting(lines, "problem: this machine"), "");
    EXPECT_NE(LineStarting(lines, "ok: kernel module parport_pc is loaded"), "");
    EXPECT_NE(LineStarting(lines, "ok: kernel module ppdev is loaded"), "");
    EXPECT_EQ(LineStarting(lines, "problem: the printer driver lp"),
              "problem: the printer driver lp is loaded and holds the port as /dev/lp0 (sudo rmmod "
              "lp; to keep it off, put 'blacklist lp' in /etc/modprobe.d/no-lp.conf)");
    EXPECT_EQ(LineStarting(lines, "ok: the kernel lists parallel port parport0 at 0x378"),
              "ok: the kernel lists parallel port parport0 at 0x378-0x37A");
    EXPECT_EQ(LineStarting(lines, "ok: the kernel lists parallel port parport1"),
              "ok: the kernel lists parallel port parport1 at 0xD010-0xD017 (away from 0x378: give "
              "direct:0xD010 or use ppdev)");
    EXPECT_NE(LineStarting(lines, "problem: /dev/usb/lp0 is a USB printer adapter"), "");
}

TEST(PortCheck, AddressesHiddenFromUsersAreNamedSo)
{
    FakeMachine machine;
    machine.Put("proc/ioports", "0000-0000 : parport0\n");
    const auto lines = Report(machine.Options());
    EXPECT_NE(LineStarting(lines, "ok: the kernel lists parallel port parport0 (its address shows to root only)"), "");
}

// A kernel whose module tree lacks the drivers (a container, a trimmed
// kernel) is told apart from drivers that are there but not loaded.
TEST(PortCheck, DriversMissingFromTheKernelAreNotCalledUnloaded)
{
    FakeMachine machine;
    machine.Put("proc/sys/kernel/osrelease", "6.1.0-test\n");
    PortCheckOptions options = machine.Options();
    options.paths.modules = machine.File("lib/modules");
    // No entry for the release at all.
    auto lines = Report(options);
    EXPECT_NE(LineStarting(lines, "problem: kernel module parport_pc is not available in this kernel"), "");
    EXPECT_NE(LineStarting(lines, "problem: kernel module ppdev is not available in this kernel"), "");
    EXPECT_EQ(LineStarting(lines, "problem: kernel module parport_pc is not loaded"), "");

    // The tree lists parport_pc (compressed) but not ppdev.
    machine.Put("lib/modules/6.1.0-test/modules.dep",
                "kernel/drivers/parport/parport_pc.ko.xz: kernel/drivers/parport/parport.ko.xz\n"
                "kernel/drivers/parport/parport.ko.xz:\n");
    machine.Put("lib/modules/6.1.0-test/modules.builtin", "kernel/drivers/char/ppdev_extra.ko\n");
    lines = Report(options);
    EXPECT_EQ(LineStarting(lines, "problem: kernel module parport_pc"),
              "problem: kernel module parport_pc is not loaded (sudo modprobe parport_pc)");
    EXPECT_NE(LineStarting(lines, "problem: kernel module ppdev is not available in this kernel"), "");

    // Built in counts as available.
    machine.Put("lib/modules/6.1.0-test/modules.builtin", "kernel/drivers/char/ppdev.ko\n");
    lines = Report(options);
    EXPECT_EQ(LineStarting(lines, "problem: kernel module ppdev"),
              "problem: kernel module ppdev is not loaded (sudo modprobe ppdev)");
}

// Parallel-class PCI cards: one without a driver is named, with the way to
// load one; a machine with no port and no card hears about combined cards.
TEST(PortCheck, PciParallelCardsWithoutADriver)
{
    FakeMachine machine;
    machine.Put("sys/bus/pci/devices/0000:00:1f.0/class", "0x060100\n");
    machine.Put("sys/bus/pci/devices/0000:03:00.0/class", "0x070102\n");
    machine.Put("sys/bus/pci/devices/0000:04:00.0/class", "0x070100\n");
    std::filesystem::create_directories(machine.File("sys/bus/pci/drivers/parport_pc"));
    std::filesystem::create_symlink(machine.File("sys/bus/pci/drivers/parport_pc"),
                                    machine.File("sys/bus/pci/devices/0000:04:00.0/driver"));
    auto lines = Report(machine.Options());
    const std::string bare = LineStarting(lines, "problem: PCI parallel port 0000:03:00.0 has no driver");
    EXPECT_NE(bare, "");
    EXPECT_NE(bare.find("parport_serial"), std::string::npos) << bare;
    EXPECT_NE(bare.find("lspci -k"), std::string::npos) << bare;
    EXPECT_EQ(LineStarting(lines, "ok: PCI parallel port 0000:04:00.0"),
              "ok: PCI parallel port 0000:04:00.0 uses driver parport_pc");
    EXPECT_EQ(LineStarting(lines, "problem: PCI parallel port 0000:04"), "");
    EXPECT_EQ(LineStarting(lines, "problem: no PCI or PCIe parallel port card"), "");

    FakeMachine bare_machine;
    lines = Report(bare_machine.Options());
    const std::string none = LineStarting(lines, "problem: no PCI or PCIe parallel port card found");
    EXPECT_NE(none.find("parport_serial"), std::string::npos) << none;
    // A machine that shows its port needs no card.
    bare_machine.Put("proc/ioports", "0378-037a : parport0\n");
    EXPECT_EQ(LineStarting(Report(bare_machine.Options()), "problem: no PCI"), "");
}

TEST(PortCheck, NodeOwnershipAndGroups)
{
    FakeMachine machine;
    machine.Put("dev/parport0", "");
    const std::string node = machine.File("dev/parport0");
    // A regular file where the node should be is named as such.
    auto lines = Report(machine.Options());
    EXPECT_NE(LineStarting(lines, "problem: /dev/parport0 (owner").find("is not a device node"),
              std::string::npos);

    // /dev/null stands in for a character device node we cannot make here.
    std::filesystem::remove(node);
    std::filesystem::create_symlink("/dev/null", node);
    struct stat st {};
    ASSERT_EQ(stat("/dev/null", &st), 0);
    const std::string group = std::to_string(st.st_gid);
    machine.Put("etc/group", "lpgroup:x:" + group + ":ann\n");
    PortCheckOptions options = machine.Options();
    options.user.uid = 4321;  // not the owner
    options.user.name = "ann";
    // /dev/null is 0666: everyone may open it.
    lines = Report(options);
    EXPECT_NE(LineStarting(lines, "ok: /dev/parport0 (owner").find("everyone may open it"),
              std::string::npos);
    options.user.uid = 0;
    lines = Report(options);
    EXPECT_NE(LineStarting(lines, "ok: /dev/parport0").find("root may open it"), std::string::npos);
}

TEST(PortCheck, WhoMayOpenANode)
{
    NodeFacts node;
    node.shown = "/dev/parport0 (owner root, group lp, mode 0660)";
    node.owner = 0;
    node.group = 7;
    node.groupName = "lp";
    node.mode = 0660;
    UserIdentity ann;
    ann.uid = 1000;
    ann.gid = 1000;
    ann.name = "ann";
    ann.groups = {1000, 24};

    EXPECT_EQ(JudgeNodeAccess(node, ann).Text(),
              "problem: /dev/parport0 (owner root, group lp, mode 0660); you may not open it: you "
              "are not in group lp (sudo usermod -aG lp ann, then log out and in again)");
    node.userListedInGroup = true;  // added, but this login started before
    EXPECT_EQ(JudgeNodeAccess(node, ann).Text(),
              "problem: /dev/parport0 (owner root, group lp, mode 0660); you were added to group "
              "lp but this login does not have it yet (log out and in again, or run: newgrp lp)");
    ann.groups.push_back(7);
    EXPECT_EQ(JudgeNodeAccess(node, ann).Text(),
              "ok: /dev/parport0 (owner root, group lp, mode 0660); you are in group lp");
    // Group members get nothing from a 0600 node.
    node.mode = 0600;
    EXPECT_FALSE(JudgeNodeAccess(node, ann).ok);
    node.owner = 1000;
    EXPECT_TRUE(JudgeNodeAccess(node, ann).ok);
}

TEST(PortCheck, DirectNeedsTheCapabilityAndNoLockdown)
{
    FakeMachine machine;
    machine.Put("proc/self/status", "Name:\tvexo\nCapEff:\t0000000000000000\n");
    machine.Put("sys/kernel/security/lockdown", "none [integrity] confidentiality\n");
    auto lines = Report(machine.Options(true));
    EXPECT_NE(LineStarting(lines, "problem: this process lacks CAP_SYS_RAWIO"), "");
    EXPECT_EQ(LineStarting(lines, "problem: the kernel is in lockdown"),
              "problem: the kernel is in lockdown (integrity) and refuses direct I/O (use ppdev "
              "(lockdown comes with Secure Boot))");
    machine.Put("proc/self/status", "CapEff:\t000001ffffffffff\n");
    machine.Put("sys/kernel/security/lockdown", "[none] integrity confidentiality\n");
    lines = Report(machine.Options(true));
    EXPECT_NE(LineStarting(lines, "ok: this process has CAP_SYS_RAWIO"), "");
    EXPECT_NE(LineStarting(lines, "ok: the kernel is not in lockdown"), "");
}

TEST(PortCheck, AccessTimeIsMeasuredWithStatusReadsOnly)
{
    RecordingPort port;
    const double nanos = MeasureAccessNanos(port, 3000);
    EXPECT_GT(nanos, 0.0);
    EXPECT_EQ(port.CountReads(), 3000u);
    EXPECT_EQ(port.CountWrites(), 0u);
}

TEST(DirectAddress, ParallelPortsOnly)
{
    TempDir dir;
    const std::string ioports = dir.File("ioports");
    std::ofstream(ioports) << "0000-0cf7 : PCI Bus 0000:00\n  0cf8-0cff : PCI conf1\n"
                              "d010-d017 : parport1\n";
    // The three standard bases, and the kernel's listed one.
    for (std::uint16_t base : {0x378, 0x278, 0x3BC, 0xD010})
        EXPECT_TRUE(CheckParallelBase(base, ioports).ok()) << base;
    const Status refused = CheckParallelBase(0xCF7, ioports);
    EXPECT_EQ(refused.message(),
              "0xCF7 is not a parallel port (see /proc/ioports); the kernel lists parallel ports at 0xD010");
    // Without a readable list only the standard bases pass.
    EXPECT_EQ(CheckParallelBase(0xD010, dir.File("missing")).message(),
              "0xD010 is not a parallel port (see /proc/ioports)");

    const std::string hidden = dir.File("ioports-user");
    std::ofstream(hidden) << "0000-0000 : parport0\n";
    EXPECT_NE(CheckParallelBase(0xD010, hidden).message().find("to root only"), std::string::npos);
    EXPECT_TRUE(CheckParallelBase(0x378, hidden).ok());

    PortOptions options;
    options.ioportsPath = ioports;
    const OpenedPort opened = OpenPort("direct:0xCF7", options);
    EXPECT_EQ(opened.status.message(),
              "direct:0xCF7: 0xCF7 is not a parallel port (see /proc/ioports); the kernel lists "
              "parallel ports at 0xD010");
    // Read as hexadecimal without a prefix: 888 is 0x888, not 0x378.
    EXPECT_EQ(OpenPort("direct:888", options).status.message().rfind("direct:0x888: 0x888 is not", 0), 0u);
    // 378 is the standard base; whether it opens depends on the rights here,
    // but it is never refused as an address.
    EXPECT_EQ(OpenPort("direct:378", options).status.message().find("is not a parallel port"), std::string::npos);
}

TEST(DirectAddress, FormIsHexadecimal)
{
    for (const char* text : {"direct:378", "direct:0x378", "direct:3bc", "direct:FFFD"}) {
        const Status parsed = ParsePortDescription(text);
        const std::string reason = parsed.message();
        EXPECT_TRUE(parsed.ok()) << text << ": " << reason;
    }
    for (const char* text : {"direct:10000", "direct:0x", "direct:0x0x378", "direct:x378",
                              "direct:37g", "direct:-378"}) {
        const Status parsed = ParsePortDescription(text);
        const std::string reason = parsed.message();
        EXPECT_FALSE(parsed.ok()) << text;
        EXPECT_NE(reason.find("e.g. 378 or 0x378"), std::string::npos) << reason;
    }
}

}  // namespace
}  // namespace vexo
