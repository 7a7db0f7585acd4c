// SPDX-License-Identifier: GPL-3.0-or-later
// Read ROM and the save with more than one read pass: the first pass is the
// usual one into the buffer; the others read into scratch memory, and the
// buffer ends with each bit's majority.
#include <algorithm>
#include <vector>

#include "rom/rom.h"

namespace vexo {

bool CRom::ReadMorePasses()
{
    const std::uint32_t size = DeviceSize();
    const unsigned passes = std::clamp(m_readPasses, kMinReadPasses, kMaxReadPasses);
    m_readVote = {};
    if (passes <= 1) {
        m_readVote.passes = 1;
        return true;
    }
    // Every pass whole: the unstable bytes list what each pass read.
    std::vector<std::vector<std::uint8_t>> more(passes - 1, std::vector<std::uint8_t>(size));
    for (std::vector<std::uint8_t>& pass : more)
        if (!ReadDevice(pass)) {
            m_bImageLoaded = false;  // as after a first pass that lost the module
            return false;
        }
    const std::vector<std::uint8_t> first(m_Buffer.get(), m_Buffer.get() + size);
    std::vector<std::span<const std::uint8_t>> reads{first};
    for (const std::vector<std::uint8_t>& pass : more) reads.emplace_back(pass);
    m_readVote = VoteReads(reads, {m_Buffer.get(), size});
    return true;
}

}  // namespace vexo
