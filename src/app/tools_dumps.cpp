// SPDX-License-Identifier: GPL-3.0-or-later
// The Tools menu's dump commands: Inspect Buffer and Identify, and the
// report of a Read ROM made of several passes. Each shows its lines in the
// dump report window. The read passes and the DAT paths are Options.
#include <QMenu>
#include <QPlainTextEdit>
#include <QSettings>
#include <QSpinBox>

#include "app/command_ids.h"
#include "app/main_frame.h"
#include "app/qt_ui_services.h"
#include "app/tools_menu.h"
#include "app/vexowriter_app.h"
#include "dialogs/core_text.h"
#include "view/vexowriter_view.h"
#include "dialogs/dump_report.h"
#include "dialogs/real_port_dialogs.h"
#include "session/session.h"

namespace vexo::gui {
namespace {

inline constexpr int ID_TOOLS_INSPECT = kDumpCommands;
inline constexpr int ID_TOOLS_IDENTIFY = kDumpCommands + 1;

const QString kReadPassesKey = QStringLiteral("Settings/ReadPasses");
const QString kDatPathsKey = QStringLiteral("Settings/DatPaths");

std::vector<std::string> ToCorePaths(const QStringList& paths)
{
    std::vector<std::string> out;
    for (const QString& path : paths)
        if (!path.trimmed().isEmpty()) out.push_back(FileNameToCore(path.trimmed()));
    return out;
}

}  // namespace

void LoadDumpOptions(CVexoWriterApp& app, OptionsDialog& options)
{
    options.m_readPasses->setValue(int(app.TheSession().ReadPasses()));
    QStringList paths;
    for (const std::string& path : app.TheSession().DatPaths()) paths << FileNameFromCore(path);
    options.m_datPaths->setPlainText(paths.join(QLatin1Char('\n')));
}

bool ApplyDumpOptions(CVexoWriterApp& app, const OptionsDialog& options)
{
    const auto passes = unsigned(options.m_readPasses->value());
    if (const Status set = app.TheSession().SetReadPasses(passes); !set) {
        app.Ui().AppMessageBox(set.message());
        return false;
    }
    const QStringList paths = options.m_datPaths->toPlainText().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    app.TheSession().SetDatPaths(ToCorePaths(paths));
    app.Profile().setValue(kReadPassesKey, passes);
    app.Profile().setValue(kDatPathsKey, paths);
    return true;
}

void AddDumpTools(CMainFrame& frame, CVexoWriterApp& app)
{
    // The kept settings; a number out of range (a hand-edited file) leaves one pass.
    Session& session = app.TheSession();
    static_cast<void>(session.SetReadPasses(app.Profile().value(kReadPassesKey, 1).toUInt()));
    session.SetDatPaths(ToCorePaths(app.Profile().value(kDatPathsKey).toStringList()));

    auto* report = new DumpReport(&frame);
    // A cell of the map clicked: its row of the hex view on top.
    QObject::connect(report, &DumpReport::addressChosen, &frame, [&app](quint32 address) {
        if (app.m_pView) app.m_pView->GoToAddress(address);
    });

    // Read ROM with more than one pass ends in the list of unstable bytes.
    if (QAction* read = frame.Action(ID_READ_ROM)) {
        QObject::connect(read, &QAction::triggered, &frame, [&app, report] {
            Session& s = app.TheSession();
            if (!s.Started() || s.ReadPasses() <= 1 || s.LastReadVote().passes <= 1) return;
            const ReadVote& vote = s.LastReadVote();
            std::vector<MarkedRange> marks;
            for (const UnstableByte& b : vote.bytes) marks.emplace_back(b.address, b.address);
            report->ShowReport(QStringLiteral("Read ROM: %1 passes").arg(vote.passes), ReadVoteLines(vote, 0, "read"),
                               s.Rom().DeviceSize(), marks, QStringLiteral("unstable"));
        });
    }

    QAction* inspect = frame.AddCommand(ID_TOOLS_INSPECT, QStringLiteral("&Inspect Buffer"), [&frame, &app, report] {
        frame.RunSessionCommand([&app, report](Session& s) {
            const Result<InspectReport> result = s.Inspect();
            if (!result) {
                app.Ui().AppMessageBox(result.message());
                return;
            }
            std::vector<MarkedRange> marks;
            for (const InspectReport::Run& run : result->runs) marks.emplace_back(run.first, run.last);
            report->ShowReport(QStringLiteral("Inspect Buffer"), InspectLines(*result), s.Rom().DeviceSize(), marks,
                               QStringLiteral("in one-value runs"));
        });
    });
    QAction* identify = frame.AddCommand(ID_TOOLS_IDENTIFY, QStringLiteral("I&dentify\u2026"), [&frame, &app, report] {
        frame.RunSessionCommand([&app, report](Session& s) {
            if (s.DatPaths().empty()) {
                app.Ui().AppMessageBox("identify: no DAT files or folders are set; add them in Tools, Options");
                return;
            }
            const IdentifyReport result = s.Identify(s.DatPaths());
            std::vector<ReportLine> lines = IdentifyLines(result);
            for (const std::string& problem : result.problems) lines.push_back({"identify: " + problem, {}});
            std::vector<MarkedRange> marks;
            for (const IdentifyMatch& m : result.matches) {
                const IdentifyCandidate& c = result.candidates[m.candidate];
                // Ranges are marked; lanes spread over the whole device.
                const std::uint32_t size = s.Rom().DeviceSize();
                if (c.kind == "even" || c.kind == "odd" || c.kind == "lane") marks.emplace_back(0, size - 1);
                else marks.emplace_back(c.first, c.first + c.size - 1);
            }
            report->ShowReport(QStringLiteral("Identify"), lines, s.Rom().DeviceSize(), marks, QStringLiteral("matched"));
        });
    });
    frame.m_pToolsMenu->addAction(inspect);
    frame.m_pToolsMenu->addAction(identify);
}

}  // namespace vexo::gui
