// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/qt_ui_services.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>

#include "app/command_ids.h"
#include "dialogs/caption_room.h"
#include "rom/rom.h"
#include "rom/time_estimate.h"
#include "dialogs/core_text.h"
#include "dialogs/pass_progress.h"

namespace vexo::gui {
namespace {

// The pane follows the count at most this often while a pass runs.
constexpr qint64 kFrameMs = 16;
// The clock is read once per this many counted bytes.
constexpr unsigned kCallsPerClockCheck = 64;
// The message pane's time left follows at most this often.
constexpr qint64 kPassTimeMs = 250;


// While a pass serves the events of one window, the keys and clicks meant
// for the others are dropped (a box's come through: it is modal anyway), and
// so are shortcuts: no second command starts in the middle of a pass.
class InputGate final : public QObject {
public:
    explicit InputGate(QWidget* allowed) : m_allowed(allowed) { QCoreApplication::instance()->installEventFilter(this); }
    ~InputGate() override { QCoreApplication::instance()->removeEventFilter(this); }
    InputGate(const InputGate&) = delete;
    InputGate& operator=(const InputGate&) = delete;

    bool eventFilter(QObject* target, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::Shortcut:
        case QEvent::ShortcutOverride:
            return true;
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::Wheel:
        case QEvent::ContextMenu: {
            const auto* widget = qobject_cast<QWidget*>(target);
            if (!widget) return false;  // the window system's window passes it on to a widget
            const QWidget* window = widget->window();
            return !(window == m_allowed || window->windowModality() != Qt::NonModal);
        }
        default:
            return false;
        }
    }

private:
    QPointer<QWidget> m_allowed;
};

// Adds the time the operator takes over a box or question to a sum.
class OperatorWait {
public:
    explicit OperatorWait(double& sum) : m_sum(sum) { m_clock.start(); }
    ~OperatorWait() { m_sum += double(m_clock.nsecsElapsed()) / 1e9; }
    OperatorWait(const OperatorWait&) = delete;
    OperatorWait& operator=(const OperatorWait&) = delete;

private:
    double& m_sum;
    QElapsedTimer m_clock;
};

}  // namespace

QtUiServices::QtUiServices() { m_sinceRefresh.start(); }

QString QtUiServices::BoxTitle() { return FromCore(kAppTitle); }

void QtUiServices::ShowMessage(std::string_view text, bool owned)
{
    FlushHexCount();
    const QString message = FromCore(text);
    const QString details = FromCore(m_nextDetails);
    m_nextDetails.clear();
    m_lastDetails = details;
    // A window running passes of its own shows the box its way, at once.
    const OperatorWait wait(m_operatorSeconds);
    if (!owned && m_pWatcherOverride && m_pWatcherOverride->TakeBox(message, details)) {
        if (m_pAnswerer) m_pAnswerer->Message(message, owned);  // told, as the operator is
        return;
    }
    if (m_pAnswerer) {
        m_pAnswerer->Message(message, owned);
        return;
    }
    // Application-modal either way: while a box is open no other command can
    // start. The application-wide box carries a warning icon.
    QMessageBox box(owned ? QMessageBox::Warning : QMessageBox::NoIcon, BoxTitle(), message,
                    QMessageBox::Ok, owned ? m_pMainWindow.data() : nullptr);
    box.setWindowModality(Qt::ApplicationModal);
    GiveCaptionRoom(box);
    if (!details.isEmpty()) box.setDetailedText(details);
    box.exec();
}

void QtUiServices::SelectableBox(const QString& text)
{
    FlushHexCount();
    if (m_pAnswerer) {
        m_pAnswerer->Message(text, true);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, BoxTitle(), text, QMessageBox::Ok, m_pMainWindow.data());
    box.setWindowModality(Qt::ApplicationModal);
    box.setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    GiveCaptionRoom(box);
    box.exec();
}

void QtUiServices::SetNextBoxDetails(std::string_view details)
{
    if (!m_nextDetails.empty()) m_nextDetails += '\n';
    m_nextDetails.append(details.data(), details.size());
}

void QtUiServices::RomMessageBox(std::string_view text) { ShowMessage(text, false); }

void QtUiServices::AppMessageBox(std::string_view text) { ShowMessage(text, true); }

std::optional<std::string> QtUiServices::ChooseFileToSave(const QString& title)
{
    QString path;
    if (m_pAnswerer) {
        std::optional<QString> chosen = m_pAnswerer->ChooseSaveFile(title);
        if (!chosen) return std::nullopt;
        path = *chosen;
    } else {
        QFileDialog chooser(m_pMainWindow, title, QString(),
                            QStringLiteral("Bin File (*.bin);;Intel HEX (*.hex *.ihx);;S-record (*.s19 *.s28 *.s37 "
                                           "*.srec);;All File (*)"));
        chooser.setAcceptMode(QFileDialog::AcceptSave);
        chooser.setDefaultSuffix(QStringLiteral("bin"));
        // The extension the chosen filter names first; none for All files.
        QObject::connect(&chooser, &QFileDialog::filterSelected, &chooser, [&chooser](const QString& filter) {
            const qsizetype star = filter.indexOf(QStringLiteral("*."));
            const qsizetype end = filter.indexOf(QRegularExpression(QStringLiteral("[ )]")), star + 2);
            chooser.setDefaultSuffix(star < 0 ? QString() : filter.mid(star + 2, end - star - 2));
        });
        if (chooser.exec() != QDialog::Accepted || chooser.selectedFiles().isEmpty()) return std::nullopt;
        path = chooser.selectedFiles().first();
    }
    if (path.isEmpty()) return std::nullopt;
    return FileNameToCore(path);
}

std::optional<std::string> QtUiServices::ChooseImageToOpen(const QString& title)
{
    QString path;
    if (m_pAnswerer) {
        std::optional<QString> chosen = m_pAnswerer->ChooseFile();
        if (!chosen) return std::nullopt;
        path = *chosen;
    } else {
        QFileDialog chooser(m_pMainWindow, title, QString(),
                            QStringLiteral("Image files (*.bin *.hex *.ihx *.s19 *.s28 *.s37 *.srec);;All files (*)"));
        chooser.setFileMode(QFileDialog::ExistingFile);
        chooser.setAcceptMode(QFileDialog::AcceptOpen);
        if (chooser.exec() != QDialog::Accepted || chooser.selectedFiles().isEmpty()) return std::nullopt;
        path = chooser.selectedFiles().first();
    }
    if (path.isEmpty()) return std::nullopt;
    return FileNameToCore(path);
}

std::optional<bool> QtUiServices::AskYesNoCancel(const QString& text, const QString& yes, const QString& no)
{
    if (m_pAnswerer) return m_pAnswerer->Question(text);
    QMessageBox box(QMessageBox::NoIcon, BoxTitle(), text, QMessageBox::NoButton, m_pMainWindow.data());
    QPushButton* yesButton = box.addButton(yes, QMessageBox::YesRole);
    box.addButton(no, QMessageBox::NoRole);
    QPushButton* cancel = box.addButton(QMessageBox::Cancel);
    box.setEscapeButton(cancel);
    box.setDefaultButton(cancel);
    box.setWindowModality(Qt::ApplicationModal);
    GiveCaptionRoom(box);
    box.exec();
    if (box.clickedButton() == cancel || !box.clickedButton()) return std::nullopt;
    return box.clickedButton() == yesButton;
}

bool QtUiServices::AskYesNo(const QString& text)
{
    const OperatorWait wait(m_operatorSeconds);
    if (m_pAnswerer) return m_pAnswerer->Question(text);
    QMessageBox box(QMessageBox::NoIcon, BoxTitle(), text, QMessageBox::Yes | QMessageBox::No,
                    m_pMainWindow.data());
    box.setWindowModality(Qt::ApplicationModal);
    GiveCaptionRoom(box);
    return box.exec() == QMessageBox::Yes;
}

int QtUiServices::AskChoice(const QString& text, const QStringList& buttons)
{
    if (m_pAnswerer) return m_pAnswerer->Choice(text, buttons);
    QMessageBox box(QMessageBox::Question, BoxTitle(), text, QMessageBox::NoButton, m_pMainWindow.data());
    box.setWindowModality(Qt::ApplicationModal);
    QList<QAbstractButton*> pressed;
    for (qsizetype k = 0; k < buttons.size(); ++k) {
        const bool last = k + 1 == buttons.size();
        QPushButton* b = box.addButton(buttons[k], last ? QMessageBox::RejectRole : QMessageBox::AcceptRole);
        if (k == 0) box.setDefaultButton(b);
        if (last) box.setEscapeButton(b);
        pressed << b;
    }
    GiveCaptionRoom(box);
    box.exec();
    const qsizetype k = pressed.indexOf(box.clickedButton());
    return k < 0 ? int(buttons.size()) - 1 : int(k);
}

void QtUiServices::SetHexCountText(std::string_view text)
{
    m_strHexCount.assign(text.data(), text.size());
    m_bHexCountDirty = true;
    if (!m_passRunning) {
        m_passRunning = true;
        m_passClock.start();
        m_sincePassTime.start();
    }
    if (++m_nCallsSinceCheck < kCallsPerClockCheck) return;
    m_nCallsSinceCheck = 0;
    if (m_sinceRefresh.elapsed() < kFrameMs) return;
    RefreshPane();
    ShowPassTime();
    WatchPass();
    m_sinceRefresh.restart();
}

void QtUiServices::WatchPass()
{
    PassWatcher* watcher = m_pWatcherOverride ? m_pWatcherOverride : m_pWatcher;
    const qint64 after = m_pWatcherOverride ? 0 : m_watchAfterMs;
    if (watcher && m_pPassSource && !m_pPassSource->PassName().empty() && m_passClock.elapsed() >= after) {
        const CRom& rom = *m_pPassSource;
        const std::uint64_t done = rom.m_nHexCount > 0 ? std::uint64_t(rom.m_nHexCount) : 0;
        const std::uint64_t total = rom.DeviceSize();
        const int percent = total ? int(done * 100 / total) : 0;
        watcher->PassProgress(percent, FromCore(FormatPassProgress(rom.PassName(), done, total,
                                                                   double(m_passClock.elapsed()) / 1000.0)));
    }
    QWidget* window = watcher ? watcher->InputWindow() : nullptr;
    if (!window) {
        // Let the window system be served (paints, exposes, the window
        // manager's ping) while operator input waits until the command returns.
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        return;
    }
    // The watcher's window takes keys and clicks (Stop); nothing else does.
    const InputGate gate(window);
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void QtUiServices::FlushHexCount()
{
    m_nCallsSinceCheck = 0;
    if (m_bHexCountDirty) RefreshPane();
    m_sinceRefresh.restart();
    // The pass has ended: the message pane is idle again.
    m_passRunning = false;
    if (m_passTimeShown && m_pMessagePane) m_pMessagePane->setText(FromCore(kIdleText));
    m_passTimeShown = false;
    if (m_pWatcher) m_pWatcher->PassEnded();
    if (m_pWatcherOverride) m_pWatcherOverride->PassEnded();
}

void QtUiServices::ShowPassTime()
{
    if (!m_pMessagePane || !m_pPassSource || m_sincePassTime.elapsed() < kPassTimeMs) return;
    m_sincePassTime.restart();
    const CRom& rom = *m_pPassSource;
    if (rom.PassName().empty()) return;
    const std::uint64_t done = rom.m_nHexCount > 0 ? std::uint64_t(rom.m_nHexCount) : 0;
    const std::string text =
        FormatPassProgress(rom.PassName(), done, rom.DeviceSize(), double(m_passClock.elapsed()) / 1000.0);
    m_pMessagePane->setText(FromCore(text));
    m_passTimeShown = true;
}

void QtUiServices::Note(std::string_view text)
{
    if (m_pMessagePane) m_pMessagePane->setText(FromCore(text));
}

void QtUiServices::RefreshPane()
{
    m_bHexCountDirty = false;
    if (!m_pHexCountPane) return;
    m_pHexCountPane->setText(QString::fromLatin1(m_strHexCount.data(), qsizetype(m_strHexCount.size())));
    m_pHexCountPane->repaint();
    ++m_nPaneRefreshes;
}

std::optional<std::string> QtUiServices::ChooseFileToOpen()
{
    QString path;
    if (m_pAnswerer) {
        std::optional<QString> chosen = m_pAnswerer->ChooseFile();
        if (!chosen) return std::nullopt;
        path = *chosen;
    } else {
        // Each entry: the text shown, then the patterns. "All File (*.*)"
        // means every file, names without a dot too.
        const QStringList filters{
            QStringLiteral("Bin File(*.bin) (*.bin)"), QStringLiteral("All File (*.*) (*)"),
            QStringLiteral("HEX and S-record files (*.hex *.ihx *.ihex *.s19 *.s28 *.s37 *.srec *.mot) "
                           "(*.hex *.ihx *.ihex *.s19 *.s28 *.s37 *.srec *.mot)")};
        QFileDialog chooser(m_pMainWindow, QString(), QString(), filters.join(QStringLiteral(";;")));
        chooser.setOption(QFileDialog::HideNameFilterDetails);
        chooser.setFileMode(QFileDialog::ExistingFile);
        chooser.setAcceptMode(QFileDialog::AcceptOpen);
        // Big enough for the name, size, type and date columns whole.
        chooser.resize(chooser.sizeHint().expandedTo(QSize(780, 480)));
        if (chooser.exec() != QDialog::Accepted || chooser.selectedFiles().isEmpty()) return std::nullopt;
        path = chooser.selectedFiles().first();
        if (path.isEmpty()) return std::nullopt;
    }
    // The chosen folder becomes the current one: a save name typed later
    // lands next to the image that was loaded.
    const QFileInfo info(path);
    QDir::setCurrent(info.absolutePath());
    return FileNameToCore(info.absoluteFilePath());
}

}  // namespace vexo::gui
