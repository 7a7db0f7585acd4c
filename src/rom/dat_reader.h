// SPDX-License-Identifier: GPL-3.0-or-later
// DAT files: the lists of known ROM images that archives and emulators keep,
// read as a stream one game at a time (a full machine listing is over
// 100 MB). Four formats, told apart by content:
//
//   software list   <softwarelist><software name><description/>
//                   <part><dataarea><rom name size crc sha1 offset/>
//   machine listing <mame><machine name><description/><rom name size crc sha1 status/>
//   Logiqx XML      <datafile><game name><description/><rom name size crc md5 sha1 status/>
//   ClrMamePro      game ( name x description "y" rom ( name a size 1 crc 0a1b2c3d sha1 ... ) )
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/error.h"
#include "rom/rom_hashes.h"

namespace vexo {

enum class DatFormat : std::uint8_t { SoftwareList, MachineList, Logiqx, ClrMamePro };

std::string_view DatFormatName(DatFormat format);  // "software list", ...

struct DatRom {
    std::string name;
    std::optional<std::uint64_t> size;
    std::optional<std::uint32_t> crc32;
    std::optional<Sha1Digest> sha1;
    bool badDump = false;  // status or flags "baddump"
    bool noDump = false;   // "nodump": no hashes known
};

struct DatGame {
    std::string name;
    std::string description;
    std::vector<DatRom> roms;
};

// Reads `path` and hands each game, with its roms, to `game` as its end is
// read. Fails with "PATH: reason" ("PATH: line 3: not well-formed (invalid
// token)", "PATH: is none of the DAT formats (...)").
Result<DatFormat> ReadDat(const std::string& path, const std::function<void(const DatGame&)>& game);

// The same over text in memory (`name` stands for the path in messages).
Result<DatFormat> ReadDatText(std::string_view text, const std::string& name,
                              const std::function<void(const DatGame&)>& game);

}  // namespace vexo
