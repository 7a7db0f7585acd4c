// SPDX-License-Identifier: GPL-3.0-or-later
// The ppdev backend against a stand-in kernel: what it asks of the kernel
// when it opens, accesses and closes a port, what it says when the kernel
// refuses, and a whole Auto Write through it onto the simulated module.
#include <fcntl.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <optional>
#include <string>
#include <vector>

#include "port/hardware_ports.h"
#include "port/port_open.h"
#include "support/sim_fixture.h"

namespace vexo::test {
namespace {

constexpr int kFd = 42;

// One system call as the backend made it.
struct Call {
    std::string what;  // "open", "close" or the ioctl's name
    int fd = -1;
    std::optional<unsigned> byte;  // a register write's value
    bool operator==(const Call&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Call& call)
{
    out << call.what << "(" << call.fd;
    if (call.byte) out << ", 0x" << std::hex << *call.byte << std::dec;
    return out << ")";
}

const char* IoctlName(unsigned long request)
{
    switch (request) {
    case PPEXCL: return "PPEXCL";
    case PPCLAIM: return "PPCLAIM";
    case PPRELEASE: return "PPRELEASE";
    case PPRDATA: return "PPRDATA";
    case PPWDATA: return "PPWDATA";
    case PPRSTATUS: return "PPRSTATUS";
    case PPRCONTROL: return "PPRCONTROL";
    case PPWCONTROL: return "PPWCONTROL";
    default: return "unexpected ioctl";
    }
}

// The kernel's side of one parallel port. The registers are a module of our
// own when one is attached, else three plain bytes.
class FakeKernel {
public:
    FakeKernel() { s_current = this; }
    ~FakeKernel() { s_current = nullptr; }

    static PpdevCalls Calls() { return {Open, Ioctl, Close}; }

    // Refusals: errno for the call named ("open", "PPEXCL", ...), or for
    // every register access from the `failAfter`-th on.
    std::string refuse;
    int refuseErrno = 0;
    long failAfter = -1;
    int failErrno = EIO;

    IPort* module = nullptr;
    unsigned char data = 0, status = 0x80, control = 0;
    std::string openedPath;
    int openedFlags = 0;
    std::vector<Call> calls;
    long accesses = 0;

private:
    static int Refused(int error)
    {
        errno = error;
        return -1;
    }

    static int Open(const char* path, int flags)
    {
        FakeKernel& k = *s_current;
        k.openedPath = path;
        k.openedFlags = flags;
        k.calls.push_back({"open", -1, {}});
        return k.refuse == "open" ? Refused(k.refuseErrno) : kFd;
    }

    static int Close(int fd)
    {
        FakeKernel& k = *s_current;
        k.calls.push_back({"close", fd, {}});
        return k.refuse == "close" ? Refused(k.refuseErrno) : 0;
    }

    static int Ioctl(int fd, unsigned long request, void* argument)
    {
        FakeKernel& k = *s_current;
        auto* byte = static_cast<unsigned char*>(argument);
        if (!k.module) {  // a whole pass would be millions of lines
            const bool write = request == PPWDATA || request == PPWCONTROL;
            k.calls.push_back({IoctlName(request), fd, write ? std::optional<unsigned>(*byte) : std::nullopt});
        }
        if (!k.refuse.empty() && k.refuse == IoctlName(request)) return Refused(k.refuseErrno);
        if (request == PPEXCL || request == PPCLAIM || request == PPRELEASE) return 0;
        if (k.failAfter >= 0 && k.accesses >= k.failAfter) return Refused(k.failErrno);
        ++k.accesses;
        switch (request) {
        case PPWDATA: k.data = *byte; break;
        case PPWCONTROL: k.control = *byte & 0xEF; break;  // bit 4 stays the kernel's
        case PPRDATA: *byte = k.data; return 0;
        case PPRSTATUS: *byte = k.module ? k.module->In(kStatusPort) : k.status; return 0;
        case PPRCONTROL: *byte = k.control; return 0;
        default: return Refused(ENOTTY);
        }
        if (k.module) {
            if (request == PPWDATA) k.module->Out(kDataPort, k.data);
            else k.module->Out(kControlPort, k.control);
        }
        return 0;
    }

    static inline FakeKernel* s_current = nullptr;
};

// The port, or null with the failure's message in `error`.
std::unique_ptr<PpdevPort> OpenFake(std::string* error)
{
    Result<std::unique_ptr<PpdevPort>> port = PpdevPort::Open("/dev/parport7", FakeKernel::Calls());
    *error = port.message();
    return port ? std::move(*port) : nullptr;
}

TEST(PpdevPort, OpensReadWriteClaimsExclusivelyAndReleasesOnClose)
{
    FakeKernel kernel;
    std::string error = "unset";
    auto port = OpenFake(&error);
    ASSERT_NE(port, nullptr) << error;
    EXPECT_EQ(kernel.openedPath, "/dev/parport7");
    EXPECT_EQ(kernel.openedFlags & O_ACCMODE, O_RDWR);
    EXPECT_NE(kernel.openedFlags & O_CLOEXEC, 0);
    EXPECT_EQ(kernel.calls,
              (std::vector<Call>{{"open", -1, {}}, {"PPEXCL", kFd, {}}, {"PPCLAIM", kFd, {}}}));

    kernel.calls.clear();
    port.reset();
    EXPECT_EQ(kernel.calls, (std::vector<Call>{{"PPRELEASE", kFd, {}}, {"close", kFd, {}}}));
}

TEST(PpdevPort, EachRegisterMapsToItsRequestAndPassesValuesThrough)
{
    FakeKernel kernel;
    std::string error;
    auto port = OpenFake(&error);
    ASSERT_NE(port, nullptr) << error;
    kernel.calls.clear();

    port->Out(kDataPort, 0x5A);
    port->Out(kControlPort, 0x1B);  // bit 4 goes to the kernel, which keeps it
    port->Out(kStatusPort, 0x33);   // read-only: nothing asked
    port->Out(0x37B, 0x01);         // not one of ours: nothing asked
    kernel.status = 0xC7;
    EXPECT_EQ(port->In(kDataPort), 0x5A);
    EXPECT_EQ(port->In(kStatusPort), 0xC7);
    EXPECT_EQ(port->In(kControlPort), 0x0B);
    EXPECT_EQ(port->In(0x37B), 0xFF);
    EXPECT_EQ(port->Fault(), 0);
    EXPECT_EQ(kernel.calls, (std::vector<Call>{{"PPWDATA", kFd, 0x5A},
                                               {"PPWCONTROL", kFd, 0x1B},
                                               {"PPRDATA", kFd, {}},
                                               {"PPRSTATUS", kFd, {}},
                                               {"PPRCONTROL", kFd, {}}}));
}

TEST(PpdevPort, RefusedOpenNamesTheDeviceTheReasonAndTheFixAndLeavesNothingOpen)
{
    struct Case {
        const char* refuse;
        int error;
        const char* expected;
    };
    const Case cases[] = {
        {"open", ENOENT,
         "cannot open /dev/parport7: No such file or directory; load the ppdev driver (sudo "
         "modprobe ppdev) and check that the machine has a parallel port (ls /dev/parport*)"},
        {"open", EACCES,
         "cannot open /dev/parport7: Permission denied; add your user to group lp (sudo usermod "
         "-aG lp $USER) and log in again"},
        {"open", EBUSY,
         "cannot open /dev/parport7: Device or resource busy; another driver or program is "
         "using the port (often the printer driver: sudo rmmod lp); stop it and try again"},
        {"PPEXCL", EBUSY,
         "cannot get exclusive use of /dev/parport7: Device or resource busy; another driver or "
         "program is using the port (often the printer driver: sudo rmmod lp); stop it and try "
         "again"},
        {"PPCLAIM", EBUSY, "cannot claim /dev/parport7: Device or resource busy; another driver"},
        {"PPCLAIM", ENXIO, "cannot claim /dev/parport7: No such device or address; no parallel "
                           "port answers behind /dev/parport7; load parport_pc"},
        {"PPEXCL", ENOTTY, "cannot get exclusive use of /dev/parport7: Inappropriate ioctl for "
                           "device; /dev/parport7 is not a ppdev parallel port; give /dev/parportN"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.refuse) + " errno " + std::to_string(c.error));
        FakeKernel kernel;
        kernel.refuse = c.refuse;
        kernel.refuseErrno = c.error;
        std::string error;
        EXPECT_EQ(OpenFake(&error), nullptr);
        EXPECT_EQ(error.rfind(c.expected, 0), 0u) << error;
        // A descriptor that was opened is closed again, without a release.
        const bool opened = std::string(c.refuse) != "open";
        EXPECT_EQ(kernel.calls.back().what, opened ? "close" : "open");
        for (const Call& call : kernel.calls) EXPECT_NE(call.what, "PPRELEASE");
    }
}

TEST(PpdevPort, RefusedReleaseStillClosesTheDescriptor)
{
    FakeKernel kernel;
    std::string error;
    auto port = OpenFake(&error);
    ASSERT_NE(port, nullptr) << error;
    kernel.refuse = "PPRELEASE";
    kernel.refuseErrno = ENODEV;
    kernel.calls.clear();
    testing::internal::CaptureStderr();
    port.reset();
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(kernel.calls, (std::vector<Call>{{"PPRELEASE", kFd, {}}, {"close", kFd, {}}}));
    EXPECT_NE(said.find("releasing /dev/parport7: No such device"), std::string::npos) << said;
}

TEST(PpdevPort, PortThatStopsAnsweringReadsAsNoModuleAndIsNamedByTheHealthReport)
{
    FakeKernel kernel;
    const PpdevCalls calls = FakeKernel::Calls();
    PortOptions options;
    options.ppdevCalls = &calls;
    OpenedPort opened = OpenPort("ppdev:/dev/parport7", options);
    ASSERT_EQ(opened.status.message(), "");
    EXPECT_EQ(opened.description, "ppdev /dev/parport7 (control bit 4 is kept by the kernel)");
    EXPECT_FALSE(opened.simulated);
    ASSERT_TRUE(opened.health);

    opened.port->Out(kDataPort, 0x01);
    EXPECT_EQ(opened.port->In(kStatusPort), 0x80);
    EXPECT_EQ(opened.health().message(), "");

    // Unplugged mid-run: every access from now on is refused, the first
    // reason is the one kept.
    kernel.failAfter = kernel.accesses;
    kernel.failErrno = ENODEV;
    opened.port->Out(kControlPort, 0x04);
    kernel.failErrno = EIO;
    EXPECT_EQ(opened.port->In(kStatusPort), 0x7F);  // the device object's "no module"
    EXPECT_EQ(opened.port->In(kDataPort), 0xFF);
    EXPECT_EQ(opened.health().message(),
              "/dev/parport7: the port stopped answering (No such device); the results since are "
              "not the module's");

    kernel.calls.clear();
    opened.port.reset();
    EXPECT_EQ(kernel.calls, (std::vector<Call>{{"PPRELEASE", kFd, {}}, {"close", kFd, {}}}));
}

TEST(PpdevPort, RefusedOpenThroughTheDescriptionGivesTheDisconnectedPort)
{
    FakeKernel kernel;
    kernel.refuse = "PPCLAIM";
    kernel.refuseErrno = EBUSY;
    const PpdevCalls calls = FakeKernel::Calls();
    PortOptions options;
    options.ppdevCalls = &calls;
    OpenedPort opened = OpenPort("ppdev:/dev/parport7", options);
    ASSERT_NE(opened.port, nullptr);
    EXPECT_EQ(opened.description, "disconnected (no port)");
    EXPECT_EQ(opened.status.message().rfind("cannot claim /dev/parport7: Device or resource busy", 0), 0u)
        << opened.status.message();
    EXPECT_FALSE(opened.health);
}

// The device object's whole Auto Write through ppdev onto a simulated chip:
// every line it drives and every bit it reads crosses the ioctl boundary.
class AutoWriteThroughPpdev : public RomOnSim {
protected:
    void SetUp() override {}
};

TEST_F(AutoWriteThroughPpdev, ProgramsAndVerifiesTheChip)
{
    ResetShadows();
    sim = std::make_unique<SimModule>(kDevices[0].Size(), 1, true);
    FakeKernel kernel;
    kernel.module = sim.get();
    std::string error;
    auto port = OpenFake(&error);
    ASSERT_NE(port, nullptr) << error;
    ui = std::make_unique<UiRecorder>();
    rom = std::make_unique<CRom>(*port, *ui);
    Select(0);
    const auto image = RandomBytes(kDevices[0].Size(), 3);
    LoadImage(image);
    EXPECT_TRUE(rom->AutoWrite());
    const Messages said = ui->Take();
    ASSERT_FALSE(said.empty());
    EXPECT_EQ(said.back(), "Done!");
    EXPECT_TRUE(ChipEquals(image));
    EXPECT_EQ(port->Fault(), 0);
    rom.reset();
}

}  // namespace
}  // namespace vexo::test
