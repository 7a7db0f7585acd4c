// SPDX-License-Identifier: GPL-3.0-or-later
#include "port/sim_module.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "base/file_io.h"

namespace vexo {
namespace {

// Writes `size` bytes of 0xFF to `fd`. The failure carries the errno.
Status FillErasedTo(int fd, std::uint32_t size)
{
    const std::vector<std::uint8_t> block(64 * 1024, 0xFF);
    std::uint32_t left = size;
    while (left > 0) {
        const std::size_t chunk = left < block.size() ? left : block.size();
        const ssize_t n = write(fd, block.data(), chunk);
        if (n < 0) {
            if (errno == EINTR) continue;
            const int error = errno;
            return Status::Fail(std::strerror(error), error);
        }
        left -= std::uint32_t(n);
    }
    return Status::Ok();
}

}  // namespace

const char* SimStateName(SimState state)
{
    switch (state) {
    case SimState::Absent: return "absent";
    case SimState::Idle: return "idle";
    case SimState::Addressing: return "addressing";
    case SimState::Reading: return "reading";
    case SimState::Programming: return "programming";
    }
    return "?";
}

SimModule::SimModule(std::uint32_t size, std::uint32_t pulses, bool present)
    : SimModule(new std::uint8_t[size == 0 ? 1 : size], size == 0 ? 1 : size, -1, {}, pulses,
                present)
{
    Erase();
}

SimModule::SimModule(std::uint8_t* chip, std::uint32_t size, int fd, std::string path,
                     std::uint32_t pulses, bool present)
    : m_status(present ? kPresent : kAbsentStatus),
      m_state(present ? SimState::Idle : SimState::Absent),
      m_pulsesToProgram(pulses == 0 ? 1 : pulses),
      m_chip(chip),
      m_size(size),
      m_fd(fd),
      m_chipPath(std::move(path))
{
    if (present) PresentReadBit();
}

SimModule::~SimModule()
{
    if (m_fd >= 0) {
        FlushProgrammed();
        // Every changed byte is in the file now; closing drops the lock.
        if (const Status file = FileStatus(); !file) std::fprintf(stderr, "vexo: %s\n", file.message().c_str());
        close(m_fd);
    }
    delete[] m_chip;
}

Status SimModule::FileStatus() const
{
    if (m_fileError == 0) return Status::Ok();
    return Status::Fail("writing the chip file " + m_chipPath + " failed: " + std::strerror(m_fileError),
                        m_fileError);
}

void SimModule::Erase()
{
    m_runStart = m_runEnd = 0;
    std::memset(m_chip, 0xFF, m_size);
    if (m_fd >= 0 && m_fileError == 0) {
        if (lseek(m_fd, 0, SEEK_SET) != 0)
            m_fileError = errno;
        else if (const Status filled = FillErasedTo(m_fd, m_size); !filled)
            m_fileError = filled.errnum();
    }
    for (std::uint16_t& pulses : m_weakPulses)
        if (pulses != kStrong) pulses = 0;
}

namespace {

// A well-mixed 64-bit hash (splitmix64's finaliser): picks weak bytes.
std::uint64_t Mix(std::uint64_t x)
{
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

}  // namespace

void SimModule::SetFaults(const SimFaults& faults)
{
    m_faults = faults;
    m_dataAnd = 0xFF;
    m_dataOr = 0x00;
    if (faults.dataStuckBit >= 0 && faults.dataStuckBit <= 7) {
        const std::uint8_t bit = std::uint8_t(1u << faults.dataStuckBit);
        if (faults.dataStuckLevel) m_dataOr = bit;
        else m_dataAnd = std::uint8_t(~bit);
    }
    m_addressMask = 0xFFFFFF;
    if (faults.addressOpenBit >= 0 && faults.addressOpenBit <= 23)
        m_addressMask &= ~(1u << faults.addressOpenBit);
    m_weakPulses.clear();
    if (faults.weakPercent > 0) {
        m_weakPulses.assign(m_size, kStrong);
        const std::uint64_t seed = Mix(faults.seed);
        for (std::uint32_t i = 0; i < m_size; ++i)
            if (Mix(seed ^ i) % 100 < faults.weakPercent) m_weakPulses[i] = 0;
    }
    m_flaky.clear();
    m_toss = Mix(faults.seed ^ 0x666C616B79ull);
    if (faults.flakyBytes > 0) {
        m_flaky.assign(m_size, 0);
        const std::uint32_t want = std::min(faults.flakyBytes, m_size);
        std::uint64_t pick = Mix(faults.seed + 0x464C414Bull);
        for (std::uint32_t placed = 0; placed < want;) {
            pick = Mix(pick);
            const auto index = std::uint32_t(pick % m_size);
            if (m_flaky[index] != 0) continue;
            m_flaky[index] = std::uint8_t(1u << ((pick >> 32) % 8));
            ++placed;
        }
    }
}

void SimModule::MarkProgrammed(std::uint32_t index)
{
    if (m_fd < 0) return;
    if (m_runEnd != m_runStart) {
        const std::uint32_t start = index < m_runStart ? index : m_runStart;
        const std::uint32_t end = index >= m_runEnd ? index + 1 : m_runEnd;
        if (end - start <= kWriteBackSize) {
            m_runStart = start;
            m_runEnd = end;
            if (end - start == kWriteBackSize) FlushProgrammed();
            return;
        }
        FlushProgrammed();
    }
    m_runStart = index;
    m_runEnd = index + 1;
}

void SimModule::WriteToFile(std::uint32_t start, std::uint32_t size)
{
    std::uint32_t done = 0;
    while (done < size) {
        ++m_fileWrites;
        const ssize_t put = pwrite(m_fd, m_chip + start + done, size - done, off_t(start + done));
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) {
            m_fileError = put < 0 ? errno : EIO;
            return;
        }
        done += std::uint32_t(put);
    }
}

void SimModule::FlushProgrammed()
{
    const std::uint32_t start = m_runStart, size = m_runEnd - m_runStart;
    m_runStart = m_runEnd = 0;
    if (size == 0 || m_fd < 0 || m_fileError != 0) return;
    WriteToFile(start, size);
}

void SimModule::StoreByte(std::uint32_t index)
{
    FlushProgrammed();
    if (m_fd < 0 || m_fileError != 0) return;
    WriteToFile(index, 1);
}

// The common case, a line change that is no clock edge for the module, must
// stay a few instructions: this runs hundreds of millions of times per pass.
void SimModule::Out(std::uint16_t address, std::uint8_t value)
{
    if (address == kDataPort) {
        const std::uint8_t was = m_data;
        m_data = value;
        const std::uint8_t changed = was ^ value;
        if (!(changed & (kAddressClock | kReadClock))) return;
        if (changed & value & kAddressClock) OnAddressClock(value);
        if (changed & was & kReadClock) OnReadClock(value);
    } else if (address == kControlPort) {
        const std::uint8_t was = m_control;
        m_control = value;
        if ((value & ~was & kProgramStrobe) && (value & kProgramMask) == kProgramEnable)
            OnProgramPulse();
    }
}

std::uint8_t SimModule::In(std::uint16_t address)
{
    if (address == kStatusPort) return m_status;
    if (address == kDataPort) return m_data;
    if (address == kControlPort) return m_control;
    return 0xFF;  // nothing decodes other addresses
}

void SimModule::OnAddressClock(std::uint8_t data)
{
    if (m_state == SimState::Absent) return;
    m_address = ((m_address << 1) | ((data & kAddressBit) >> 1)) & 0xFFFFFFu;
    m_pulses = 0;  // a new address starts a new programming
    m_state = SimState::Addressing;
}

void SimModule::OnReadClock(std::uint8_t data)
{
    if (m_state == SimState::Absent) return;
    if (data & kAddressBit) {
        const std::uint32_t index = ChipIndex();
        m_shift = OnDataLines(m_chip[index]);
        if (!m_flaky.empty() && m_flaky[index] != 0) {
            // A coin toss for the flaky bit, on every read of the byte.
            m_toss = Mix(m_toss);
            const std::uint8_t bit = m_flaky[index];
            m_shift = std::uint8_t((m_toss & 1u) ? (m_shift | bit) : (m_shift & ~bit));
        }
        m_state = SimState::Reading;
    } else if (m_state == SimState::Reading) {
        m_shift = std::uint8_t((m_shift << 1) | 1u);
    } else {
        return;  // no byte latched: the read line stays as it is
    }
    PresentReadBit();
}

void SimModule::OnProgramPulse()
{
    if (m_state == SimState::Absent) return;
    m_state = SimState::Programming;
    if (m_pulses < 0xFFFFFFFFu) ++m_pulses;
    const std::uint32_t index = ChipIndex();
    const std::uint8_t was = m_chip[index];
    if (!m_weakPulses.empty() && m_weakPulses[index] != kStrong) {
        // A weak byte holds after twice the pulses, counted over the run.
        std::uint16_t& had = m_weakPulses[index];
        if (had < kStrong - 1) ++had;
        if (had >= 2 * m_pulsesToProgram) m_chip[index] &= OnDataLines(m_data);
    } else if (m_pulses >= m_pulsesToProgram) {
        m_chip[index] &= OnDataLines(m_data);
    }
    if (m_chip[index] != was) MarkProgrammed(index);
}

// --- chip files ---

namespace {

std::string Errno(int error) { return std::strerror(error); }


// Creates `path` as an erased chip. The file is filled under a temporary name
// and then moved into place, so a crash never leaves a half-erased chip file
// behind; if another run created the file meanwhile, that one is kept.
Status CreateErasedChip(const std::string& path, std::uint32_t size)
{
    const std::string temp = path + ".new-" + std::to_string(getpid());
    const int fd = open(temp.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        const int error = errno;
        return Status::Fail("cannot create chip file " + path + ": " + Errno(error) +
                                "; check that its folder exists and is writable",
                            error);
    }
    const Status filled = FillErasedTo(fd, size);
    int failure = filled.errnum();
    bool ok = filled.ok();
    if (close(fd) != 0 && ok) {
        failure = errno;
        ok = false;
    }
    if (ok && renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE) != 0) {
        if (errno == EEXIST) {
            // Someone else's chip arrived first; use it.
        } else if ((errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP) &&
                   rename(temp.c_str(), path.c_str()) == 0) {
            return {};  // a file system without no-replace renames
        } else {
            failure = errno;
            ok = false;
        }
    } else if (ok) {
        return {};
    }
    const int unlinkError = unlink(temp.c_str()) == 0 ? 0 : errno;
    if (!ok) {
        return Status::Fail("cannot create chip file " + path + ": " + Errno(failure) +
                                (failure == ENOSPC ? "; free some disk space" : "; check the folder") +
                                (unlinkError != 0 ? " (and remove " + temp + ")" : ""),
                            failure);
    }
    return {};
}

}  // namespace

Result<std::unique_ptr<SimModule>> SimModule::Open(const SimConfig& config, std::uint32_t defaultSize)
{
    const std::uint32_t newSize = config.size != 0 ? config.size : defaultSize;
    if (config.pulses < 1 || config.pulses > 1000) {
        return Status::Fail("simulated module: pulses=" + std::to_string(config.pulses) +
                            " is out of range; give 1 to 1000");
    }
    const auto sizeUsable = [&]() -> Status {
        if (newSize != 0 && newSize <= kMaxChipSize) return {};
        return Status::Fail("simulated module: a chip of " + std::to_string(newSize) +
                            " bytes cannot be made; give size= from 1 byte to 16 MiB");
    };
    if (config.chipPath.empty()) {
        if (Status usable = sizeUsable(); !usable) return usable;
        return std::make_unique<SimModule>(newSize, config.pulses, config.present);
    }

    const std::string& path = config.chipPath;
    int fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT) {
        if (Status usable = sizeUsable(); !usable) return usable;
        if (Status created = CreateErasedChip(path, newSize); !created) return created;
        fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
    }
    if (fd < 0) {
        const int error = errno;
        return Status::Fail("cannot open chip file " + path + ": " + Errno(error) +
                                "; check the path and that the file is readable and writable",
                            error);
    }

    std::string problem;
    struct stat st {};
    std::uint8_t* chip = nullptr;
    if (fstat(fd, &st) != 0) {
        problem = "cannot open chip file " + path + ": " + Errno(errno) + "; check the path";
    } else if (!S_ISREG(st.st_mode)) {
        problem = "chip file " + path + " is not a regular file; give the name of a file";
    } else if (st.st_size == 0) {
        problem = "chip file " + path +
                  " is empty; delete it to start with an erased chip, or give another file";
    } else if (st.st_size > off_t(kMaxChipSize)) {
        problem = "chip file " + path + " holds " + std::to_string(st.st_size) +
                  " bytes, more than the 16 MiB a chip may have; give a smaller chip file";
    } else if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        problem = errno == EWOULDBLOCK ? "chip file " + path + ": chip file in use by another program"
                                       : "cannot lock chip file " + path + ": " + Errno(errno);
    } else if (const int failure = posix_fallocate(fd, 0, st.st_size);
               failure != 0 && failure != EOPNOTSUPP && failure != EINVAL) {
        // Every block is there before the first byte is programmed: a full
        // disk shows now, not halfway through a write.
        problem = "cannot allocate chip file " + path + ": " + Errno(failure) +
                  (failure == ENOSPC ? "; free some disk space" : "; check the disk");
    } else {
        chip = new std::uint8_t[std::size_t(st.st_size)];
        if (lseek(fd, 0, SEEK_SET) != 0 || !ReadAllBytes(fd, chip, std::size_t(st.st_size)))
            problem = "cannot read chip file " + path + ": " + Errno(errno) + "; check the file";
    }
    if (!problem.empty()) {
        delete[] chip;
        close(fd);
        return Status::Fail(problem);
    }
    return std::unique_ptr<SimModule>(new SimModule(chip, std::uint32_t(st.st_size), fd, path,
                                                    config.pulses, config.present));
}

// --- the tray ---

void SimModule::SetTray(std::string dir, std::uint32_t chipSize)
{
    m_trayDir = std::move(dir);
    m_trayChipSize = chipSize;
}

Status SimModule::InsertNextChip()
{
    if (m_trayDir.empty()) return Status::Fail("simulated module: no tray; give sim:tray=DIR");
    if (mkdir(m_trayDir.c_str(), 0777) != 0 && errno != EEXIST) {
        const int error = errno;
        return Status::Fail("cannot create tray folder " + m_trayDir + ": " + Errno(error), error);
    }
    SimConfig config;
    config.chipPath = m_trayDir + "/chip-" + std::to_string(m_trayChip + 1) + ".bin";
    config.size = m_trayChipSize;
    config.present = m_state != SimState::Absent;
    config.pulses = m_pulsesToProgram;
    Result<std::unique_ptr<SimModule>> opened = Open(config, m_trayChipSize != 0 ? m_trayChipSize : m_size);
    if (!opened) return opened.status();
    std::unique_ptr<SimModule> next = std::move(*opened);
    // The old chip's last bytes go to its file; then the new chip's storage,
    // file and lock come over, and the old ones leave with `next`.
    FlushProgrammed();
    std::swap(m_chip, next->m_chip);
    std::swap(m_size, next->m_size);
    std::swap(m_fd, next->m_fd);
    std::swap(m_fileError, next->m_fileError);
    std::swap(m_chipPath, next->m_chipPath);
    // Faults belong to the socket's wiring; weak cells to the chip.
    SetFaults(m_faults);
    // A chip fresh in the socket: nothing addressed, nothing latched.
    m_address = 0;
    m_pulses = 0;
    m_shift = 0xFF;
    if (m_state != SimState::Absent) {
        m_state = SimState::Idle;
        PresentReadBit();
    }
    ++m_trayChip;
    return {};
}

}  // namespace vexo
