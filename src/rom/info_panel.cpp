#include "rom/info_panel.h"

#include <cstdio>

namespace vexo {
namespace {

std::string Hex05(std::uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "%05X", value);
    return text;
}

}  // namespace

void CInfoPanel::ShowEndAddress()
{
    m_strEndAddr = Hex05(std::uint32_t(m_nEndAddr));
    Push();
}

void CInfoPanel::ShowLastAddress()
{
    m_strEndAddr = Hex05(std::uint32_t(m_nEndAddr) - 1u);
    Push();
}

}  // namespace vexo
