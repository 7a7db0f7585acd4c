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

std::unique_ptr<PpdevPort> PpdevPort::Open(const std::string& device, std::string* error,
                                           const PpdevCalls& calls)
{
    const int fd = calls.open(device.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        *error = PpdevError("cannot open", device, errno);
        return nullptr;
    }
    const char* step = nullptr;
    if (calls.ioctl(fd, PPEXCL, nullptr) != 0)
        step = "cannot get exclusive use of";
    else if (calls.ioctl(fd, PPCLAIM, nullptr) != 0)
        step = "cannot claim";
    if (step) {
        *error = PpdevError(step, device, errno);
        calls.close(fd);  // nothing was written; the open itself is what failed
        return nullptr;
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

std::unique_ptr<DirectPort> DirectPort::Open(std::uint16_t base, std::string* error)
{
    char where[48];
    std::snprintf(where, sizeof where, "0x%X-0x%X", unsigned(base), unsigned(base) + 2);
#if VEXO_HAVE_PORT_IO
    if (unsigned(base) + 3 <= 0x10000 && ioperm(base, 3, 1) == 0)
        return std::unique_ptr<DirectPort>(new DirectPort(base));
    const int failure = unsigned(base) + 3 > 0x10000 ? EINVAL : errno;
    std::string fix;
    switch (failure) {
    case EPERM:
        fix = "run as root or give the program CAP_SYS_RAWIO (sudo setcap cap_sys_rawio+ep "
              "PROGRAM); a kernel in lockdown (Secure Boot) refuses it anyway: use ppdev instead";
        break;
    case ENOSYS: fix = "this kernel has no ioperm: use ppdev instead"; break;
    case EINVAL: fix = "give a base address from 0 to 0xFFFD"; break;
    default: fix = "use ppdev instead"; break;
    }
    *error = std::string("cannot get direct I/O access to ") + where + ": " +
             std::strerror(failure) + "; " + fix;
#else
    *error = std::string("cannot get direct I/O access to ") + where + ": " +
             std::strerror(ENOSYS) + "; direct port I/O exists only on x86 Linux: use ppdev instead";
#endif
    return nullptr;
}

DirectPort::~DirectPort()
{
#if VEXO_HAVE_PORT_IO
    // The permission ends with the process anyway.
    if (ioperm(m_base, 3, 0) != 0) std::perror("vexo: giving up direct I/O access");
#endif
}

std::uint8_t DirectPort::In(std::uint16_t address)
{
    if (address < kDataPort || address > kControlPort) return 0xFF;
#if VEXO_HAVE_PORT_IO
    return inb(std::uint16_t(m_base + (address - kDataPort)));
#else
    return 0xFF;
#endif
}

void DirectPort::Out(std::uint16_t address, std::uint8_t value)
{
    if (address < kDataPort || address > kControlPort) return;
#if VEXO_HAVE_PORT_IO
    outb(value, std::uint16_t(m_base + (address - kDataPort)));
#else
    (void)value;
#endif
}

}  // namespace vexo
