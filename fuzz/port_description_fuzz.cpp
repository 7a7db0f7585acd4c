// SPDX-License-Identifier: GPL-3.0-or-later
// The --port and --fault parsers: any text either parses or says why.
#include <cstdlib>
#include <string>

#include "port/fault_port.h"
#include "port/port_open.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    if (const vexo::Status port = vexo::ParsePortDescription(text); !port && port.message().empty()) std::abort();
    const vexo::Result<vexo::FaultConfig> fault = vexo::ParseFaultDescription(text);
    if (!fault && fault.message().empty()) std::abort();
    return 0;
}
