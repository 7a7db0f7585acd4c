// SPDX-License-Identifier: GPL-3.0-or-later
#include "rom/info_panel.h"

#include "base/hex.h"

namespace vexo {

void InfoPanel::Push()
{
    // A view may leave while being told; tell those on the list at the start.
    const auto listeners = m_listeners;
    for (const auto& [id, listener] : listeners) listener(*this);
}

int InfoPanel::Listen(Listener listener)
{
    const int id = m_nextId++;
    m_listeners.emplace_back(id, std::move(listener));
    return id;
}

void InfoPanel::Forget(int id)
{
    std::erase_if(m_listeners, [id](const auto& entry) { return entry.first == id; });
}

void InfoPanel::ShowEndAddress()
{
    m_strEndAddr = HexAddress(std::uint32_t(m_nEndAddr));
    Push();
}

void InfoPanel::ShowLastAddress()
{
    m_strEndAddr = HexAddress(std::uint32_t(m_nEndAddr) - 1u);
    Push();
}

}  // namespace vexo
