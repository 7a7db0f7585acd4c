// SPDX-License-Identifier: GPL-3.0-or-later
// The Tools menu's real port commands: the port check, the part number
// finder, and the programming options kept in the settings.
#include <QLineEdit>
#include <QMenu>
#include <QSettings>

#include "app/command_ids.h"
#include "app/main_frame.h"
#include "app/tools_menu.h"
#include "app/vexowriter_app.h"
#include "dialogs/real_port_dialogs.h"
#include "dialogs/settings_dialogs.h"
#include "session/session.h"
#include "dialogs/core_text.h"

namespace vexo::gui {
namespace {

enum RealPortCommand : int {
    ID_PORT_CHECK = kRealPortCommands,
    ID_FIND_PART = kRealPortCommands + 1,
    ID_OPTIONS = kRealPortCommands + 2,
};

const QString kRetriesKey = QStringLiteral("Settings/Retries");
const QString kPulseKey = QStringLiteral("Settings/PulseMicros");
const QString kSkipBlankKey = QStringLiteral("Settings/SkipBlank");

// Kept in the application's profile, beside the port.
ProgramSettings StoredSettings(const QSettings& profile)
{
    ProgramSettings settings;
    settings.retries = profile.value(kRetriesKey, 0).toInt();
    settings.pulseMicros = profile.value(kPulseKey, 0).toUInt();
    settings.skipBlank = profile.value(kSkipBlankKey, false).toBool();
    return settings;
}

void StoreSettings(QSettings& profile, const ProgramSettings& settings)
{
    profile.setValue(kRetriesKey, settings.retries);
    profile.setValue(kPulseKey, settings.pulseMicros);
    profile.setValue(kSkipBlankKey, settings.skipBlank);
}

void ShowWindow(QDialog* window)
{
    window->show();
    window->raise();
    window->activateWindow();
}

}  // namespace

void AddRealPortTools(CMainFrame& frame, CVexoWriterApp& app)
{
    // The kept options, for the device object the session is about to start.
    // Values out of range (a hand-edited file) leave the defaults.
    static_cast<void>(app.TheSession().SetProgramSettings(StoredSettings(app.Profile())));

    auto* check = new PortCheckWindow(&frame);
    QMenu& menu = *frame.m_pToolsMenu;
    menu.addAction(frame.AddCommand(ID_PORT_CHECK, QStringLiteral("Port Check"), [&frame, check] {
        frame.RunSessionCommand([check](Session& s) { check->SetReport(s.CheckPortInWindow()); });
        ShowWindow(check);
    }));

    auto* find = new FindPartDialog(&frame);
    QObject::connect(find, &FindPartDialog::partFound, &frame, [&app](int device, const QString& note) {
        if (!note.isEmpty()) app.Ui().Note(ToCore(note));
        if (ModelessDialog* dip = app.DipDialog(device)) dip->ShowCentred();
    });
    menu.addAction(frame.AddCommand(ID_FIND_PART, QStringLiteral("Find Part\u2026"), [find] {
        find->Edit()->selectAll();
        ShowWindow(find);
    }));

    auto* options = new OptionsDialog(&frame);
    QObject::connect(options, &QDialog::accepted, &frame, [&app, options] {
        const ProgramSettings settings = options->Values();
        if (const Status applied = app.TheSession().SetProgramSettings(settings); !applied) {
            app.Ui().AppMessageBox(applied.message());
            return;
        }
        StoreSettings(app.Profile(), settings);
        static_cast<void>(ApplyDumpOptions(app, *options));  // a refusal is told to the operator there
    });
    menu.addAction(frame.AddCommand(ID_OPTIONS, QStringLiteral("Options\u2026"), [&app, options] {
        options->Load(app.TheSession().Settings());
        LoadDumpOptions(app, *options);
        options->open();
    }));
}

}  // namespace vexo::gui
