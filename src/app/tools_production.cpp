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
    // Created once, hidden; the frame owns it.
    auto* window = new ProductionWindow(app, frame);
    window->hide();
    QAction* action = frame.AddCommand(kProductionCommands, QObject::tr("Production\u2026"),
                                       [window] { window->Present(); });
    frame.m_pToolsMenu->addAction(action);
}

}  // namespace vexo::gui
