// SPDX-License-Identifier: GPL-3.0-or-later
// The Tools menu's diagnosis commands: Compare Chip with Buffer and Erase
// Check, each reading the chip with the Hex Count running and showing the
// result in the report window.
#include "app/tools_menu.h"

#include <QMenu>
#include <QString>

#include "app/command_ids.h"
#include "app/main_frame.h"
#include "app/qt_ui_services.h"
#include "app/vexowriter_app.h"
#include "dialogs/diagnosis_report.h"
#include "session/session.h"
#include "view/vexowriter_view.h"

namespace vexo::gui {

inline constexpr int ID_TOOLS_COMPARE = kDiagnosisCommands;
inline constexpr int ID_TOOLS_ERASE_CHECK = kDiagnosisCommands + 1;

void AddDiagnosisTools(CMainFrame& frame, CVexoWriterApp& app)
{
    // One window for each kind of report, created once, hidden; each report
    // shows its window again. The frame owns them.
    auto* report = new DiagnosisReport(app.TheSession(), app.Ui(), &frame, DiagnosisReport::Kind::Compare);
    auto* erased = new DiagnosisReport(app.TheSession(), app.Ui(), &frame, DiagnosisReport::Kind::EraseCheck);
    // A difference double-clicked, a cell of the map clicked: its row of the hex view on top.
    for (DiagnosisReport* window : {report, erased})
        QObject::connect(window, &DiagnosisReport::addressChosen, &frame, [&app](quint32 address) {
            if (app.m_pView) app.m_pView->GoToAddress(address);
        });

    QAction* compare = frame.AddCommand(ID_TOOLS_COMPARE, QStringLiteral("&Compare Chip with Buffer"), [&frame, &app, report] {
        frame.RunSessionCommand([&app, report](Session& s) {
            const Result<CompareReport> result = s.CompareChip();
            if (!result) {
                app.Ui().AppMessageBox(result.message());
                return;
            }
            report->ShowCompare(*result);
        });
    });
    QAction* erase = frame.AddCommand(ID_TOOLS_ERASE_CHECK, QStringLiteral("&Erase Check"), [&frame, &app, erased] {
        frame.RunSessionCommand([&app, erased](Session& s) {
            const Result<EraseReport> result = s.CheckErased();
            if (!result) {
                app.Ui().AppMessageBox(result.message());
                return;
            }
            erased->ShowEraseCheck(*result);
        });
    });
    QObject::connect(report, &DiagnosisReport::refreshRequested, compare, &QAction::trigger);
    QObject::connect(erased, &DiagnosisReport::refreshRequested, erase, &QAction::trigger);
    frame.m_pToolsMenu->addAction(compare);
    frame.m_pToolsMenu->addAction(erase);
}

}  // namespace vexo::gui
