// SPDX-License-Identifier: GPL-3.0-or-later
// The Tools menu: each capability adds its commands to CMainFrame::m_pToolsMenu
// from a file of its own, with ids from its block in command_ids.h.
#pragma once

namespace vexo::gui {

class CMainFrame;
class CVexoWriterApp;

void AddDiagnosisTools(CMainFrame& frame, CVexoWriterApp& app);   // tools_diagnosis.cpp
void AddRealPortTools(CMainFrame& frame, CVexoWriterApp& app);    // tools_real_port.cpp
void AddBufferTools(CMainFrame& frame, CVexoWriterApp& app);      // tools_buffer.cpp
void AddProductionTools(CMainFrame& frame, CVexoWriterApp& app);  // tools_production.cpp

}  // namespace vexo::gui
