// The Tools menu's diagnosis commands.
#include "app/tools_menu.h"

#include "app/main_frame.h"
#include "app/vexowriter_app.h"

namespace vexo::gui {

void AddDiagnosisTools(CMainFrame& frame, CVexoWriterApp& app)
{
    static_cast<void>(frame);
    static_cast<void>(app);
}

}  // namespace vexo::gui
