// SPDX-License-Identifier: GPL-3.0-or-later
// The Tools menu's buffer commands: byte editing, go to, find, undo and redo
// (the view's), and the Buffer submenu's operations (the session's).
#include "app/tools_menu.h"

#include <QAction>
#include <QMenu>

#include "app/command_ids.h"
#include "app/main_frame.h"
#include "app/vexowriter_app.h"
#include "app/qt_ui_services.h"
#include "dialogs/buffer_dialogs.h"
#include "dialogs/core_text.h"
#include "session/session.h"
#include "view/vexowriter_view.h"

namespace vexo::gui {
namespace {

// Two files (even and odd bytes) or four (every fourth byte), as the
// operator answers; nothing for Cancel.
std::optional<std::size_t> AskFileCount(CVexoWriterApp& app, const QString& what)
{
    const std::optional<bool> four = app.Ui().AskYesNoCancel(
        QStringLiteral("%1 four files (every fourth byte)?\nNo: two files (even and odd bytes).").arg(what),
        QStringLiteral("Four files"), QStringLiteral("Two files"));
    if (!four) return std::nullopt;
    return *four ? 4 : 2;
}

// What file k of `count` holds, as its chooser's title says it.
QString PartTitle(const QString& verb, std::size_t k, std::size_t count)
{
    static const char* const kTwo[] = {"Even bytes", "Odd bytes"};
    const QString bytes = count == 2 ? QString::fromLatin1(kTwo[k])
                                     : QStringLiteral("Bytes %1, %2, %3\u2026").arg(k).arg(k + 4).arg(k + 8);
    return QStringLiteral("%1: %2 (file %3)\u2026").arg(verb, bytes).arg(k);
}

// "0x769F": the form the hex view shows, upper case.
QString Hex(std::uint64_t value, int digits)
{
    return QStringLiteral("0x") + QStringLiteral("%1").arg(qulonglong(value), digits, 16, QLatin1Char('0')).toUpper();
}

// "00000-07FFF sum16 0x769F crc32 0xCBF43926": the checksum line with its
// sums in the hex view's upper case.
QString ChecksumText(const ChecksumReport& sums)
{
    return QStringLiteral("%1 sum16 %2 crc32 %3")
        .arg(FromCore(sums.RangeText()), Hex(sums.sums.sum16, 4), Hex(sums.sums.crc32, 8));
}

void Tell(CVexoWriterApp& app, const std::string& text) { app.Ui().AppMessageBox(text); }

// The outcome of a buffer operation, on the view (which the session tells of the change).
void Show(CVexoWriterApp& app, const Status& status)
{
    if (app.m_pView)
        app.m_pView->Reported(status);
    else if (!status)
        Tell(app, status.message());
}

void AddBufferMenu(CMainFrame& frame, CVexoWriterApp& app, QMenu* menu)
{
    const auto command = [&frame, menu](int id, const QString& text, std::function<void()> handler) {
        menu->addAction(frame.AddCommand(id, text, std::move(handler)));
    };
    // Runs a session action as every command runs, and shows what it did.
    const auto run = [&frame, &app](const std::function<Status(Session&)>& action) {
        frame.RunSessionCommand([&](Session& s) { Show(app, action(s)); });
    };

    command(ID_BUFFER_FILL, QStringLiteral("Fill..."), [&app, &frame, run] {
        CVexoWriterView* view = app.m_pView;
        const auto args = AskFillArgs(&frame, view ? view->Selection() : std::nullopt);
        if (!args) return;
        if (!*args) return Tell(app, args->message());
        run([&](Session& s) { return s.FillBuffer((*args)->range, (*args)->value); });
    });
    command(ID_BUFFER_SWAP, QStringLiteral("Byte Swap"),
            [run] { run([](Session& s) { return s.SwapBufferBytes(); }); });
    command(ID_BUFFER_SPLIT, QStringLiteral("Split..."), [&app, &frame] {
        if (const Status image = app.TheSession().CheckImage("Split"); !image) return Tell(app, image.message());
        const std::optional<std::size_t> count = AskFileCount(app, QStringLiteral("Split the image into"));
        if (!count) return;
        std::vector<std::string> files;
        for (std::size_t k = 0; k < *count; ++k) {
            const auto file = app.Ui().ChooseFileToSave(PartTitle(QStringLiteral("Split"), k, *count));
            if (!file) return;
            files.push_back(*file);
        }
        frame.RunSessionCommand([&](Session& s) {
            const Status status = s.SplitImage(files);
            Tell(app, status ? "Split OK !!" : status.message());
        });
    });
    command(ID_BUFFER_MERGE, QStringLiteral("Merge..."), [&app, &frame, run] {
        if (!frame.AskBeforeReplacing()) return;
        const std::optional<std::size_t> count = AskFileCount(app, QStringLiteral("Merge"));
        if (!count) return;
        std::vector<std::string> files;
        for (std::size_t k = 0; k < *count; ++k) {
            const std::optional<std::string> file = app.Ui().ChooseImageToOpen(PartTitle(QStringLiteral("Merge"), k, *count));
            if (!file) return;
            files.push_back(*file);
        }
        run([&](Session& s) { return s.MergeFiles(files); });
    });
    command(ID_BUFFER_LOAD_AT, QStringLiteral("Load at Offset..."), [&app, &frame, run] {
        if (!frame.AskBeforeReplacing()) return;
        const auto offset = AskOffset(&frame);
        if (!offset) return;
        if (!*offset) return Tell(app, offset->message());
        const std::optional<std::string> file =
            app.Ui().ChooseImageToOpen(QStringLiteral("Load at %1: Image File\u2026").arg(Hex(**offset, 5)));
        if (!file) return;
        // Bytes past the device's end are said before anything is loaded.
        const Result<std::uint64_t> past = app.TheSession().BytesPastDevice(**offset, *file);
        if (past && *past > 0) {
            const std::uint32_t device = app.TheSession().Rom().DeviceSize();
            const QString question =
                QStringLiteral("%1 %2 of this file fall outside the device (%3-%4) at offset %5.\nLoad it anyway?")
                    .arg(*past)
                    .arg(*past == 1 ? QStringLiteral("byte") : QStringLiteral("bytes"))
                    .arg(Hex(0, 5), Hex(device - 1, 5), Hex(**offset, 5));
            if (!app.Ui().AskYesNo(question)) return;
        }
        run([&](Session& s) { return s.LoadAt(**offset, *file); });
    });
    command(ID_BUFFER_REPEAT, QStringLiteral("Repeat to Fill Device"),
            [run] { run([](Session& s) { return s.RepeatToDevice(); }); });
    command(ID_BUFFER_EXPORT, QStringLiteral("Export..."), [&app, &frame] {
        if (const Status image = app.TheSession().CheckImage("Export"); !image) return Tell(app, image.message());
        const auto file = app.Ui().ChooseFileToSave(QStringLiteral("Export the Device's Range As\u2026"));
        if (!file) return;
        frame.RunSessionCommand([&](Session& s) {
            const Status status = s.ExportDevice(*file);
            Tell(app, status ? "Export OK !!" : status.message());
        });
    });
    command(ID_BUFFER_CHECKSUM, QStringLiteral("Checksum"), [&app, &frame] {
        frame.RunSessionCommand([&](Session& s) {
            const Result<ChecksumReport> sums = s.Checksum(s.DeviceRange());
            if (!sums) return Tell(app, sums.message());
            app.Ui().SelectableBox(ChecksumText(*sums));
        });
    });
}

}  // namespace

void AddBufferTools(CMainFrame& frame, CVexoWriterApp& app)
{
    QMenu* tools = frame.m_pToolsMenu;
    CVexoWriterView* view = app.m_pView;
    const auto onView = [&app](void (*call)(CVexoWriterView&)) {
        return [&app, call] {
            if (app.m_pView) call(*app.m_pView);
        };
    };
    // The keys are the view's own; the menu shows them.
    QAction* editing = frame.AddCommand(ID_BYTE_EDITING, QStringLiteral("Byte Editing"), [] {});
    editing->setCheckable(true);
    QObject::connect(editing, &QAction::toggled, &frame, [&app](bool on) {
        if (app.m_pView) app.m_pView->SetEditing(on);
    });
    if (view && !view->EditActions().isEmpty())
        QObject::connect(view->EditActions().first(), &QAction::toggled, editing, &QAction::setChecked);
    tools->addAction(editing);
    tools->addAction(frame.AddCommand(ID_GO_TO_ADDRESS, QStringLiteral("Go To Address...\tCtrl+G"),
                                      onView([](CVexoWriterView& v) { v.OnGoToAddress(); })));
    tools->addAction(frame.AddCommand(ID_FIND, QStringLiteral("Find...\tCtrl+F"),
                                      onView([](CVexoWriterView& v) { v.OnFind(); })));
    tools->addAction(frame.AddCommand(ID_FIND_NEXT, QStringLiteral("Find Next\tF3"),
                                      onView([](CVexoWriterView& v) { v.FindNext(); })));
    QAction* undo = frame.AddCommand(ID_UNDO, QStringLiteral("Undo\tCtrl+Z"),
                                     onView([](CVexoWriterView& v) { v.Undo(); }));
    QAction* redo = frame.AddCommand(ID_REDO, QStringLiteral("Redo\tCtrl+Y"),
                                     onView([](CVexoWriterView& v) { v.Redo(); }));
    tools->addAction(undo);
    tools->addAction(redo);
    // Greyed while there is nothing to undo or redo, here and in the view's own list.
    if (view) {
        QList<QAction*> undos{undo}, redos{redo};
        for (QAction* a : view->EditActions()) {
            if (a->text().startsWith(QStringLiteral("Undo"))) undos << a;
            if (a->text().startsWith(QStringLiteral("Redo"))) redos << a;
        }
        const auto follow = [undos, redos](bool canUndo, bool canRedo) {
            for (QAction* a : undos) a->setEnabled(canUndo);
            for (QAction* a : redos) a->setEnabled(canRedo);
        };
        QObject::connect(view, &CVexoWriterView::undoAvailable, &frame, follow);
        follow(view->History().CanUndo(), view->History().CanRedo());
    }
    QMenu* buffer = tools->addMenu(QStringLiteral("Buffer"));
    buffer->setObjectName(QStringLiteral("BufferMenu"));
    AddBufferMenu(frame, app, buffer);
}

}  // namespace vexo::gui
