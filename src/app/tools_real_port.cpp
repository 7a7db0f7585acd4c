// The Tools menu's real port commands.
#include "app/tools_menu.h"

#include "app/main_frame.h"
#include "app/vexowriter_app.h"

namespace vexo::gui {

void AddRealPortTools(CMainFrame& frame, CVexoWriterApp& app)
{
    static_cast<void>(frame);
    static_cast<void>(app);
}

}  // namespace vexo::gui
