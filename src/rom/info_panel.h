// The fields of the information panel. The device object and the settings
// dialogs write them and push; the GUI's panel shows them in its controls,
// the command line prints them.
#pragma once

#include <cstdint>
#include <string>

namespace vexo {

class CInfoPanel {
public:
    virtual ~CInfoPanel() = default;

    std::string m_strPort = "LPT1 Port";
    std::string m_strFileName = "default.bin";
    std::string m_strDevice = "27C256";
    std::string m_strSpeed = "Normal";
    std::string m_strStartAddr = "000000H";
    std::string m_strEndAddr = "007FFFH";
    std::int32_t m_nEndAddr = 0;

    // Writes every field into the panel's controls.
    virtual void Push() {}

    // m_nEndAddr, or m_nEndAddr - 1, as "%05X" of a 32-bit unsigned value.
    void ShowEndAddress();
    void ShowLastAddress();
};

}  // namespace vexo
