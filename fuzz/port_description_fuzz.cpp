// The --port and --fault parsers: any text either parses or says why.
#include <cstdlib>
#include <string>

#include "port/fault_port.h"
#include "port/port_open.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::string reason;
    if (!vexo::ParsePortDescription(text, &reason) && reason.empty()) std::abort();
    reason.clear();
    vexo::FaultConfig fault;
    if (!vexo::ParseFaultDescription(text, &fault, &reason) && reason.empty()) std::abort();
    return 0;
}
