// SPDX-License-Identifier: GPL-3.0-or-later
// The Tools menu's production commands.
#include "app/tools_menu.h"

#include <QMenu>

#include "app/command_ids.h"
#include "app/main_frame.h"
#include "app/vexowriter_app.h"
#include "dialogs/production_dlg.h"

namespace vexo::gui {

void AddProductionTools(CMainFrame& frame, CVexoWriterApp& app)
{
    // Created once, hidden; the frame owns it. While a chip is programmed the
    // main window stays and, after it, the port's health is looked at, as
    // for every command.
    auto* window = new ProductionWindow(app.TheSession(), app.Ui(), &frame);
    window->hide();
    QObject::connect(window, &ProductionWindow::chipStarted, &app, &CVexoWriterApp::BeginCommand);
    QObject::connect(window, &ProductionWindow::chipFinished, &app, &CVexoWriterApp::EndCommand);
    QAction* action = frame.AddCommand(kProductionCommands, QObject::tr("Production\u2026"),
                                       [window] { window->Present(); });
    frame.m_pToolsMenu->addAction(action);
}

}  // namespace vexo::gui
