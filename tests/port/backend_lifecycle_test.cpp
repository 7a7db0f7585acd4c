// SPDX-License-Identifier: GPL-3.0-or-later
// Every row of the backend table through one life: open, the module check,
// a byte read, close, and each way its open can fail. The real backends run
// against stand-ins for the kernel and the processor with a simulated module
// behind them, so the whole path from the description to the wire is the
// one an operator's run takes.
#include <gtest/gtest.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "port/hardware_ports.h"
#include "port/port_open.h"
#include "support/sim_fixture.h"

namespace vexo::test {
namespace {

constexpr std::uint32_t kAddress = 0x123;
constexpr std::uint8_t kByte = 0x5A;

// The machine the real backends reach: one module on the port, a log of the
// system calls, and the one call that is to fail.
struct Machine {
    Machine()
    {
        module.SetChipByte(kAddress, kByte);
        s_current = this;
    }
    ~Machine() { s_current = nullptr; }

    SimModule module{0x8000};
    std::vector<std::string> calls;
    std::string refuse;  // "open", "PPEXCL", "PPCLAIM", "ioperm"
    int refuseErrno = 0;
    int held = 0;  // descriptors open and I/O ranges granted
    std::uint16_t base = 0;

    static inline Machine* s_current = nullptr;

    static int Refuse(Machine& m, const char* call)
    {
        if (m.refuse != call) return 0;
        errno = m.refuseErrno;
        return -1;
    }

    // --- ppdev ---
    static int Open(const char*, int)
    {
        Machine& m = *s_current;
        m.calls.push_back("open");
        if (Refuse(m, "open") != 0) return -1;
        ++m.held;
        return 7;
    }
    static int Close(int)
    {
        Machine& m = *s_current;
        m.calls.push_back("close");
        --m.held;
        return 0;
    }
    static int Ioctl(int, unsigned long request, void* argument)
    {
        Machine& m = *s_current;
        auto* byte = static_cast<unsigned char*>(argument);
        switch (request) {
        case PPEXCL: m.calls.push_back("PPEXCL"); return Refuse(m, "PPEXCL");
        case PPCLAIM: m.calls.push_back("PPCLAIM"); return Refuse(m, "PPCLAIM");
        case PPRELEASE: m.calls.push_back("PPRELEASE"); return 0;
        case PPWDATA: m.module.Out(kDataPort, *byte); return 0;
        case PPWCONTROL: m.module.Out(kControlPort, *byte & 0xEF); return 0;  // bit 4 is the kernel's
        case PPRDATA: *byte = m.module.In(kDataPort); return 0;
        case PPRSTATUS: *byte = m.module.In(kStatusPort); return 0;
        case PPRCONTROL: *byte = m.module.In(kControlPort); return 0;
        default: errno = ENOTTY; return -1;
        }
    }

    // --- direct I/O ---
    static int Ioperm(unsigned long from, unsigned long count, int turnOn)
    {
        Machine& m = *s_current;
        m.calls.push_back(turnOn ? "ioperm on" : "ioperm off");
        if (count != 3) return -1;
        if (turnOn) {
            if (Refuse(m, "ioperm") != 0) return -1;
            m.base = std::uint16_t(from);
        }
        m.held += turnOn ? 1 : -1;
        return 0;
    }
    static std::uint8_t In(std::uint16_t address)
    {
        Machine& m = *s_current;
        return m.module.In(std::uint16_t(kDataPort + (address - m.base)));
    }
    static void Out(std::uint16_t address, std::uint8_t value)
    {
        Machine& m = *s_current;
        m.module.Out(std::uint16_t(kDataPort + (address - m.base)), value);
    }
};

const PpdevCalls kFakePpdev{Machine::Open, Machine::Ioctl, Machine::Close};
const DirectCalls kFakeDirect{Machine::Ioperm, Machine::In, Machine::Out};

struct OpenFailure {
    std::string description;
    std::string refuse;  // the machine call that fails, if any
    int error = 0;
    std::string expected;  // how the message starts
    bool whileOpen = false;  // the rig's own port is open meanwhile
};

// How one row is exercised.
struct Rig {
    std::string description;
    bool moduleAnswers = true;
    std::vector<std::string> openCalls;   // the system calls the open makes
    std::vector<std::string> closeCalls;  // and the close
    std::vector<OpenFailure> failures;
};

std::optional<Rig> RigFor(std::string_view name, const TempDir& dir)
{
    if (name == "sim") {
        std::vector<std::uint8_t> chip(0x8000, 0xFF);
        chip[kAddress] = kByte;
        Rig rig{"sim:chip=" + dir.Write("chip.bin", chip), true, {}, {}, {}};
        rig.failures = {
            {"sim:chip=" + dir.Path(), "", 0, "cannot open chip file " + dir.Path() + ": Is a directory"},
            {"sim:chip=" + dir.File("no/chip.bin"), "", 0, "cannot create chip file " + dir.File("no/chip.bin")},
            {rig.description, "", 0, "chip file " + dir.File("chip.bin") + ": chip file in use by another program",
             true},
        };
        return rig;
    }
    if (name == "ppdev") {
        return Rig{"ppdev:/dev/parport7",
                   true,
                   {"open", "PPEXCL", "PPCLAIM"},
                   {"PPRELEASE", "close"},
                   {
                       {"ppdev:/dev/parport7", "open", ENOENT,
                        "cannot open /dev/parport7: No such file or directory; load the ppdev driver"},
                       {"ppdev:/dev/parport7", "PPEXCL", EBUSY,
                        "cannot get exclusive use of /dev/parport7: Device or resource busy; another driver"},
                       {"ppdev:/dev/parport7", "PPCLAIM", ENXIO,
                        "cannot claim /dev/parport7: No such device or address; no parallel port answers"},
                   }};
    }
    if (name == "direct") {
        return Rig{"direct:378",
                   true,
                   {"ioperm on"},
                   {"ioperm off"},
                   {
                       {"direct:378", "ioperm", EPERM,
                        "cannot get direct I/O access to 0x378-0x37A: Operation not permitted; run as root"},
                       {"direct:378", "ioperm", ENOSYS,
                        "cannot get direct I/O access to 0x378-0x37A: Function not implemented; "},
                       {"direct:888", "", 0, "direct:0x888: 0x888 is not a parallel port"},
                   }};
    }
    if (name == "none") return Rig{"none", false, {}, {}, {}};
    return std::nullopt;
}

// The rows by name, so that the test names and their parameters read well.
std::vector<std::string> RowNames()
{
    std::vector<std::string> names;
    for (const PortBackend* row : PortBackends()) names.emplace_back(row->name);
    return names;
}

class BackendLifecycle : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override
    {
        std::ofstream(ioports) << "0378-037a : parport0\n";
        options.ioportsPath = ioports;
        options.ppdevCalls = &kFakePpdev;
        options.directCalls = &kFakeDirect;
        row = FindPortBackend(GetParam());
        ASSERT_NE(row, nullptr);
        const std::optional<Rig> found = RigFor(row->name, dir);
        ASSERT_TRUE(found) << row->name << " has no rig here: add one";
        rig = *found;
    }

    TempDir dir;
    std::string ioports = dir.File("ioports");
    Machine machine;
    PortOptions options;
    const PortBackend* row = nullptr;
    Rig rig;
};

// As the read pass reads one byte.
std::uint8_t ReadAt(CRom& rom, std::uint32_t address)
{
    rom.ResetLines();
    rom.ShiftAddress(address);
    rom.SetControlBit3();
    return rom.ReadByte();
}

TEST_P(BackendLifecycle, OpensChecksTheModuleReadsAndCloses)
{
    ASSERT_EQ(FindPortBackend(rig.description), row);
    {
        OpenedPort opened = OpenPort(rig.description, options);
        ASSERT_TRUE(opened.status.ok()) << opened.status.message();
        ASSERT_NE(opened.port, nullptr);
        EXPECT_EQ(opened.simulated, row->simulated);
        EXPECT_EQ(machine.calls, rig.openCalls);
        machine.calls.clear();

        UiRecorder ui;
        CRom rom(*opened.port, ui);
        EXPECT_EQ(rom.ModulePresent(), rig.moduleAnswers);
        if (rig.moduleAnswers) {
            EXPECT_EQ(ReadAt(rom, kAddress), kByte);
        }
        if (opened.health) {
            EXPECT_TRUE(opened.health().ok()) << opened.health().message();
        }

        // What the row says of control bit 4 is what the register keeps.
        if (row->connects) {
            opened.port->Out(kControlPort, 0x10);
            EXPECT_EQ((opened.port->In(kControlPort) & 0x10) != 0, row->drivesControlBit4);
            opened.port->Out(kControlPort, 0x00);
        }
        machine.calls.clear();
    }
    EXPECT_EQ(machine.calls, rig.closeCalls);
    EXPECT_EQ(machine.held, 0);
    // Closed means given back: the same port opens again.
    EXPECT_TRUE(OpenPort(rig.description, options).status.ok());
    EXPECT_EQ(machine.held, 0);
}

TEST_P(BackendLifecycle, EachOpenFailureGivesTheDisconnectedPortAndHoldsNothing)
{
    for (const OpenFailure& failure : rig.failures) {
        SCOPED_TRACE(failure.description + " " + failure.refuse);
        machine.refuse = failure.refuse;
        machine.refuseErrno = failure.error;
        const OpenedPort holder = failure.whileOpen ? OpenPort(rig.description, options) : OpenedPort{};
        ASSERT_TRUE(holder.status.ok()) << holder.status.message();
        const int holderHeld = machine.held;
        const OpenedPort opened = OpenPort(failure.description, options);
        EXPECT_FALSE(opened.status.ok());
        EXPECT_EQ(opened.status.message().rfind(failure.expected, 0), 0u) << opened.status.message();
        EXPECT_EQ(opened.status.message().find('\n'), std::string::npos);
        ASSERT_NE(opened.port, nullptr);
        EXPECT_EQ(opened.port->In(kStatusPort), 0x7F);  // nothing answers
        EXPECT_EQ(opened.description, "disconnected (no port)");
        EXPECT_FALSE(opened.simulated);
        EXPECT_FALSE(opened.health);
        EXPECT_EQ(machine.held, failure.whileOpen ? holderHeld : 0);
    }
}

INSTANTIATE_TEST_SUITE_P(EveryRow, BackendLifecycle, ::testing::ValuesIn(RowNames()),
                         [](const ::testing::TestParamInfo<std::string>& name) { return name.param; });

// The capabilities are the rows', whatever the description says after the name.
TEST(PortBackendRows, CapabilitiesComeFromTheRowTheDescriptionNames)
{
    EXPECT_EQ(FindPortBackend("ppdev:/dev/parport1"), &kPpdevBackend);
    EXPECT_EQ(FindPortBackend("direct"), &kDirectBackend);
    EXPECT_EQ(FindPortBackend("sim:chip=direct.bin"), &kSimBackend);
    EXPECT_EQ(FindPortBackend("simulator"), nullptr);
    EXPECT_EQ(FindPortBackend(""), nullptr);
    int simulated = 0;
    for (const PortBackend* row : PortBackends()) simulated += row->simulated;
    EXPECT_EQ(simulated, 1);
    EXPECT_FALSE(kPpdevBackend.drivesControlBit4);
    EXPECT_TRUE(kDirectBackend.directIo);
    EXPECT_FALSE(kNoneBackend.connects);
}

}  // namespace
}  // namespace vexo::test
