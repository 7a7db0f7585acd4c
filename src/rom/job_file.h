// SPDX-License-Identifier: GPL-3.0-or-later
// A job file (.vexojob): one JSON object that fixes what a production run
// programs and how, so that a released job runs the same on every station.
//
//   {"vexojob": 1, "image": "fw.bin", "image_sha256": "41aa…", "device": "27C512",
//    "speed": "Normal", "retries": 0, "pulse_us": 0, "skip_blank": false,
//    "serial": "0x7FF0:4:1000:1:le", "serial_list": null, "serial_at": null,
//    "log": "sqlite:line.db", "note": "station 2, left socket"}
//
// The image and a serial list are named relative to the job file's folder.
#pragma once

#include <string>

#include "base/error.h"

namespace vexo {

inline constexpr int kJobVersion = 1;

struct Job {
    std::string image;        // relative to the job file's folder (or absolute)
    std::string imageSha256;  // 64 lower-case hex digits
    std::string device;       // a type ("27C512") or a part number
    std::string speed;        // "Normal", "High", "Express"
    unsigned retries = 0;
    unsigned pulseMicros = 0;
    bool skipBlank = false;
    std::string serial;      // ADDR:WIDTH:START[:STEP[:FORMAT]]; empty: none
    std::string serialList;  // a CSV list, relative like the image; empty: none
    std::string serialAt;    // ADDR:WIDTH[:FORMAT] for the list's numbers
    std::string log;         // a log file or database; empty: none
    std::string note;        // the station's note
};

// Reads and checks a job file; the failure names the file and the reason
// ("job fw.vexojob: line 3: …", "job fw.vexojob: 'retries' must be a number from 0 to 10").
Result<Job> ReadJob(const std::string& path);
// The file's text (ends in '\n').
std::string JobText(const Job& job);
// Writes the file in one piece (a temporary file and a rename).
Status WriteJob(const std::string& path, const Job& job);

// `name` as the job at `jobPath` means it: relative to the job's folder.
std::string JobRelativeTo(const std::string& jobPath, const std::string& name);
// How a job at `jobPath` names `path` (a path from here): relative to its folder.
std::string NameForJob(const std::string& jobPath, const std::string& path);

}  // namespace vexo
