// SPDX-License-Identifier: GPL-3.0-or-later
#include "port/hardware_ports.h"

#include <fcntl.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>
#include <unistd.h>

#if defined(__x86_64__) || defined(__i386__)
#include <sys/io.h>
#define VEXO_HAVE_PORT_IO 1
#else
#define VEXO_HAVE_PORT_IO 0
#endif

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string_view>

#include "base/hex.h"
#include "base/numbers.h"
#include "port/port_backend.h"
#include "port/port_check.h"

namespace vexo {

// --- ppdev ---

namespace {

std::string PpdevFix(int error, const std::string& device)
{
    switch (error) {
    case ENOENT:
        return "load the ppdev driver (sudo modprobe ppdev) and check that the machine has a "
               "parallel port (ls /dev/parport*)";
    case EACCES:
    case EPERM:
        return "add your user to group lp (sudo usermod -aG lp $USER) and log in again";
    case ENXIO:
    case ENODEV:
        return "no parallel port answers behind " + device +
               "; load parport_pc (sudo modprobe parport_pc) or choose another /dev/parportN";
    case EBUSY:
        return "another driver or program is using the port (often the printer driver: "
               "sudo rmmod lp); stop it and try again";
    case ENOTTY:
    case EINVAL:
        return device + " is not a ppdev parallel port; give /dev/parportN";
    default:
        return "check the port, or choose another one (sim for the simulated module)";
    }
}

std::string PpdevError(const char* what, const std::string& device, int error)
{
    return std::string(what) + " " + device + ": " + std::strerror(error) + "; " +
           PpdevFix(error, device);
}

int SystemOpen(const char* path, int flags) { return ::open(path, flags); }
int SystemIoctl(int fd, unsigned long request, void* argument) { return ::ioctl(fd, request, argument); }
int SystemClose(int fd) { return ::close(fd); }

}  // namespace

const PpdevCalls& SystemPpdevCalls()
{
    static constexpr PpdevCalls calls{SystemOpen, SystemIoctl, SystemClose};
    return calls;
}

Result<std::unique_ptr<PpdevPort>> PpdevPort::Open(const std::string& device, const PpdevCalls& calls)
{
    const int fd = calls.open(device.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        return Status::Fail(PpdevError("cannot open", device, error), error);
    }
    const char* step = nullptr;
    if (calls.ioctl(fd, PPEXCL, nullptr) != 0)
        step = "cannot get exclusive use of";
    else if (calls.ioctl(fd, PPCLAIM, nullptr) != 0)
        step = "cannot claim";
    if (step) {
        const int error = errno;
        calls.close(fd);  // nothing was written; the open itself is what failed
        return Status::Fail(PpdevError(step, device, error), error);
    }
    return std::unique_ptr<PpdevPort>(new PpdevPort(fd, device, calls));
}

PpdevPort::~PpdevPort()
{
    // Too late to tell anyone: the kernel releases the claim when the
    // descriptor closes in any case, so a refusal here only gets a line. The
    // descriptor is closed whether or not the release was taken.
    if (m_calls.ioctl(m_fd, PPRELEASE, nullptr) != 0)
        std::fprintf(stderr, "vexo: releasing %s: %s\n", m_device.c_str(), std::strerror(errno));
    if (m_calls.close(m_fd) != 0)
        std::fprintf(stderr, "vexo: closing %s: %s\n", m_device.c_str(), std::strerror(errno));
}

std::uint8_t PpdevPort::In(std::uint16_t address)
{
    unsigned char value = 0;
    unsigned long request;
    switch (address) {
    case kDataPort: request = PPRDATA; break;
    case kStatusPort: request = PPRSTATUS; break;
    case kControlPort: request = PPRCONTROL; break;
    default: return 0xFF;
    }
    if (m_calls.ioctl(m_fd, request, &value) != 0) {
        NoteFault(errno);
        return address == kStatusPort ? 0x7F : 0xFF;
    }
    return value;
}

void PpdevPort::Out(std::uint16_t address, std::uint8_t value)
{
    unsigned char byte = value;
    unsigned long request;
    switch (address) {
    case kDataPort: request = PPWDATA; break;
    // Bit 4 (interrupt enable) is masked off by the kernel; it drives no pin.
    case kControlPort: request = PPWCONTROL; break;
    default: return;  // the status register is read-only
    }
    if (m_calls.ioctl(m_fd, request, &byte) != 0) NoteFault(errno);
}

// --- direct I/O ---

namespace {

#if VEXO_HAVE_PORT_IO
int SystemIoperm(unsigned long from, unsigned long count, int turnOn) { return ioperm(from, count, turnOn); }
std::uint8_t SystemInb(std::uint16_t address) { return inb(address); }
void SystemOutb(std::uint16_t address, std::uint8_t value) { outb(value, address); }
#else
int SystemIoperm(unsigned long, unsigned long, int)
{
    errno = ENOSYS;
    return -1;
}
std::uint8_t SystemInb(std::uint16_t) { return 0xFF; }
void SystemOutb(std::uint16_t, std::uint8_t) {}
#endif

}  // namespace

const DirectCalls& SystemDirectCalls()
{
    static constexpr DirectCalls calls{SystemIoperm, SystemInb, SystemOutb};
    return calls;
}

Result<std::unique_ptr<DirectPort>> DirectPort::Open(std::uint16_t base, const DirectCalls& calls)
{
    const std::string where = Hex0x(base) + "-" + Hex0x(unsigned(base) + 2);
    if (unsigned(base) + 3 <= 0x10000 && calls.ioperm(base, 3, 1) == 0)
        return std::unique_ptr<DirectPort>(new DirectPort(base, calls));
    const int failure = unsigned(base) + 3 > 0x10000 ? EINVAL : errno;
    std::string fix;
    switch (failure) {
    case EPERM:
        fix = "run as root or give the program CAP_SYS_RAWIO (sudo setcap cap_sys_rawio+ep "
              "PROGRAM); a kernel in lockdown (Secure Boot) refuses it anyway: use ppdev instead";
        break;
    case ENOSYS:
        fix = VEXO_HAVE_PORT_IO ? "this kernel has no ioperm: use ppdev instead"
                                : "direct port I/O exists only on x86 Linux: use ppdev instead";
        break;
    case EINVAL: fix = "give a base address from 0 to 0xFFFD"; break;
    default: fix = "use ppdev instead"; break;
    }
    return Status::Fail(std::string("cannot get direct I/O access to ") + where + ": " +
                            std::strerror(failure) + "; " + fix,
                        failure);
}

DirectPort::~DirectPort()
{
    // The permission ends with the process anyway.
    if (m_calls.ioperm(m_base, 3, 0) != 0) std::perror("vexo: giving up direct I/O access");
}

std::uint8_t DirectPort::In(std::uint16_t address)
{
    if (address < kDataPort || address > kControlPort) return 0xFF;
    return m_calls.in(std::uint16_t(m_base + (address - kDataPort)));
}

void DirectPort::Out(std::uint16_t address, std::uint8_t value)
{
    if (address < kDataPort || address > kControlPort) return;
    m_calls.out(std::uint16_t(m_base + (address - kDataPort)), value);
}

// --- the backend rows ---

namespace {

Result<OpenedPort> OpenPpdev(const std::string& device, const PortOptions& options)
{
    Result<std::unique_ptr<PpdevPort>> port =
        PpdevPort::Open(device, options.ppdevCalls ? *options.ppdevCalls : SystemPpdevCalls());
    if (!port) return port.status();
    OpenedPort opened;
    opened.description = "ppdev " + device + " (control bit 4 is kept by the kernel)";
    const PpdevPort* ppdev = port->get();  // lives as long as the port
    opened.health = [ppdev, device]() -> Status {
        if (ppdev->Fault() == 0) return {};
        return Status::Fail(device + ": the port stopped answering (" + std::strerror(ppdev->Fault()) +
                                "); the results since are not the module's",
                            ppdev->Fault());
    };
    opened.port = std::move(*port);
    return opened;
}

Result<ParsedPort> ParsePpdevArgument(std::string_view argument, bool given)
{
    std::string device = "/dev/parport0";
    if (given) {
        if (argument.empty() || argument[0] != '/')
            return Status::Fail("ppdev: '" + std::string(argument) +
                                "' is not a device path; write ppdev:/dev/parportN");
        device = argument;
    }
    ParsedPort parsed;
    parsed.open = [device](const PortOptions& options) { return OpenPpdev(device, options); };
    return parsed;
}

Result<OpenedPort> OpenDirect(std::uint16_t base, const PortOptions& options)
{
    if (const Status parallel = CheckParallelBase(base, options.ioportsPath); !parallel)
        return Status::Fail("direct:" + Hex0x(base) + ": " + parallel.message(), parallel.errnum());
    Result<std::unique_ptr<DirectPort>> port =
        DirectPort::Open(base, options.directCalls ? *options.directCalls : SystemDirectCalls());
    if (!port) return port.status();
    OpenedPort opened;
    opened.description = "direct I/O at " + Hex0x(base);
    opened.port = std::move(*port);
    return opened;
}

Result<ParsedPort> ParseDirectArgument(std::string_view argument, bool given)
{
    std::uint16_t base = 0x378;
    if (given) {
        // Firmware set-up screens print "378": the base is hexadecimal.
        std::string_view digits = argument;
        if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X'))
            digits.remove_prefix(2);
        const std::optional<std::uint64_t> number = digits.empty() || digits[0] == 'x' || digits[0] == 'X'
                                                        ? std::nullopt
                                                        : ParseUnsigned("0x" + std::string(digits), 0xFFFD);
        if (!number)
            return Status::Fail("direct: '" + std::string(argument) +
                                "' is not a port base address; give a hexadecimal address from 0x0 to "
                                "0xFFFD, e.g. 378 or 0x378");
        base = std::uint16_t(*number);
    }
    ParsedPort parsed;
    parsed.open = [base](const PortOptions& options) { return OpenDirect(base, options); };
    return parsed;
}

Result<ParsedPort> ParseNoArgument(std::string_view, bool given)
{
    if (given) return Status::Fail("none: takes no options");
    ParsedPort parsed;
    parsed.open = [](const PortOptions&) -> Result<OpenedPort> {
        OpenedPort opened;
        opened.port = std::make_unique<DisconnectedPort>();
        opened.description = "disconnected (no port)";
        return opened;
    };
    return parsed;
}

}  // namespace

const PortBackend kPpdevBackend{
    .name = "ppdev",
    .synopsis = "ppdev[:/dev/parportN]",
    .help = "Linux parallel port driver (default /dev/parport0)",
    .example = "ppdev:/dev/parport0",
    .helpDetail = nullptr,
    .parse = ParsePpdevArgument,
    .simulated = false,
    .connects = true,
    .drivesControlBit4 = false,  // PPWCONTROL masks it off
    .directIo = false,
};

const PortBackend kDirectBackend{
    .name = "direct",
    .synopsis = "direct[:0x378]",
    .help = "direct port I/O (x86, needs ioperm rights; base in hexadecimal)",
    .example = "direct:378",
    .helpDetail = nullptr,
    .parse = ParseDirectArgument,
    .simulated = false,
    .connects = true,
    .drivesControlBit4 = true,
    .directIo = true,
};

const PortBackend kNoneBackend{
    .name = "none",
    .synopsis = "none",
    .help = "a disconnected port",
    .example = "none",
    .helpDetail = nullptr,
    .parse = ParseNoArgument,
    .simulated = false,
    .connects = false,
    .drivesControlBit4 = true,
    .directIo = false,
};

}  // namespace vexo
