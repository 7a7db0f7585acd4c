// SPDX-License-Identifier: GPL-3.0-or-later
// Open BIN File on arbitrary bytes: the buffer holds the file, the length
// word its size, and the panel the first 0xFF.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "port/sim_module.h"
#include "rom/info_panel.h"
#include "rom/rom.h"

namespace {

class Host : public vexo::IUiServices {
public:
    void RomMessageBox(std::string_view) override {}
    void AppMessageBox(std::string_view) override { ++boxes; }
    void SetHexCountText(std::string_view) override {}
    std::optional<std::string> ChooseFileToOpen() override { return path; }
    std::string path;
    vexo::InfoPanel panel;
    int boxes = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static vexo::SimModule sim(0x8000);
    static Host host;
    static vexo::CRom rom(sim, host, host.panel);
    static const int fd = ::memfd_create("image", 0);
    if (::ftruncate(fd, 0) != 0 || ::pwrite(fd, data, size, 0) != ssize_t(size)) std::abort();
    host.path = "/proc/self/fd/" + std::to_string(fd);
    host.panel.m_strEndAddr = "none";
    host.boxes = 0;

    if (!rom.LoadFile() || host.boxes != 0) std::abort();
    if (rom.m_nLength != std::int32_t(size) || std::memcmp(rom.m_Buffer.get(), data, size) != 0) std::abort();
    if (rom.ImageLoaded() != (size > 0) || rom.m_bEndFound != 0) std::abort();
    const void* erased = std::memchr(data, 0xFF, size);
    if (!erased && host.panel.m_strEndAddr != "none") std::abort();
    if (erased && host.panel.m_nEndAddr != static_cast<const std::uint8_t*>(erased) - data) std::abort();
    return 0;
}
