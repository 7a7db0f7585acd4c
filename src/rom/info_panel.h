// SPDX-License-Identifier: GPL-3.0-or-later
// The information panel's model: port, file, device, speed and the buffer's
// start and end addresses, as six lines of text. The device object and the
// operator's session write the fields and push; every view (the desktop
// program's panel, the command line's status text, tests) listens.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vexo {

class InfoPanel {
public:
    std::string m_strPort = "LPT1 Port";
    std::string m_strFileName = "default.bin";
    std::string m_strDevice = "27C256";
    std::string m_strSpeed = "Normal";
    std::string m_strStartAddr = "000000H";
    std::string m_strEndAddr = "007FFFH";
    std::int32_t m_nEndAddr = 0;

    // Tells every view that the fields changed.
    void Push();

    using Listener = std::function<void(const InfoPanel&)>;
    // Adds a view; the number takes it off again.
    int Listen(Listener listener);
    void Forget(int id);

    // m_nEndAddr, or m_nEndAddr - 1, as "%05X" of a 32-bit unsigned value.
    void ShowEndAddress();
    void ShowLastAddress();

private:
    std::vector<std::pair<int, Listener>> m_listeners;
    int m_nextId = 1;
};

}  // namespace vexo
