// SPDX-License-Identifier: GPL-3.0-or-later
// The Tools menu: each capability adds its commands to CMainFrame::m_pToolsMenu
// from a file of its own, with ids from its block in command_ids.h.
#pragma once

class QDir;

namespace vexo::gui {

class CMainFrame;
class CVexoWriterApp;

void AddDiagnosisTools(CMainFrame& frame, CVexoWriterApp& app);   // tools_diagnosis.cpp
void AddRealPortTools(CMainFrame& frame, CVexoWriterApp& app);    // tools_real_port.cpp
void AddBufferTools(CMainFrame& frame, CVexoWriterApp& app);      // tools_buffer.cpp
void AddProductionTools(CMainFrame& frame, CVexoWriterApp& app);  // tools_production.cpp
void AddDumpTools(CMainFrame& frame, CVexoWriterApp& app);        // tools_dumps.cpp

class OptionsDialog;
// The dump settings of the Options dialog (read passes, DAT paths): put in
// before it opens, and kept (session and profile) after its OK. False, with
// the reason told, when a value is refused.
void LoadDumpOptions(CVexoWriterApp& app, OptionsDialog& options);
bool ApplyDumpOptions(CVexoWriterApp& app, const OptionsDialog& options);
// The progress window with Stop that a long pass shows.
void AddPassProgress(CMainFrame& frame, CVexoWriterApp& app);     // tools_production.cpp
// --screenshot-dir: the Production window after a failed chip, beside the
// records of a continued log, and the progress window of a pass; false when
// a picture could not be saved.
bool SaveProductionScreenshots(CVexoWriterApp& app, const QDir& folder);

}  // namespace vexo::gui
