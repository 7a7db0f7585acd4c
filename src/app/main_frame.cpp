// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/main_frame.h"

#include <QAction>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include "app/command_ids.h"
#include "app/lock_keys.h"
#include "app/outside_programs.h"
#include "app/vexowriter_app.h"
#include "dialogs/info_dlg.h"
#include "dialogs/settings_dialogs.h"
#include "res/pictures.h"
#include "rom/rom.h"
#include "session/session.h"
#include "view/vexowriter_view.h"
#include "dialogs/core_text.h"

namespace vexo::gui {
namespace {


Picture ButtonPicture(int id)
{
    switch (id) {
    case ID_OPEN_BIN: return Picture::OpenBin;
    case ID_SAVE_BUFFER: return Picture::SaveBuffer;
    case ID_EDIT_BUFFER: return Picture::EditBuffer;
    case ID_DOS_SHELL: return Picture::DosShell;
    case ID_LPT_PORT: return Picture::LptPort;
    case ID_DEVICE_TYPE: return Picture::DeviceType;
    case ID_HEX_BIN: return Picture::HexBin;
    case ID_READ_ROM: return Picture::ReadRom;
    case ID_BLANK_CHECK: return Picture::BlankCheck;
    case ID_WRITE_ROM: return Picture::WriteRom;
    case ID_VERIFY: return Picture::Verify;
    case ID_AUTO_WRITE: return Picture::AutoWrite;
    case ID_CHANGE_SPEED: return Picture::ChangeSpeed;
    default: return Picture::Quit;
    }
}

// Runs a device-object command that reports its own outcome in its boxes.
template <typename Operation>
void RunRomCommand(CVexoWriterApp& app, Operation operation)
{
    if (!app.m_pRom) return;
    CVexoWriterApp::CommandScope running(app);
    // The command has told the operator how it went; its result is for callers
    // that have no boxes.
    static_cast<void>(operation(app.TheSession()));
}

}  // namespace

CMainFrame::CMainFrame(CVexoWriterApp& app) : m_app(app)
{
    setObjectName(QStringLiteral("MainFrame"));
    auto* view = new CVexoWriterView(app, this);
    setCentralWidget(view);
    // "*" before the title (its "[*]") while the buffer differs from what was
    // loaded or read.
    connect(view, &CVexoWriterView::modifiedChanged, this, &QWidget::setWindowModified);

    CreateMenus();
    CreateToolBars();
    CreateStatusBar();
    connect(view, &CVexoWriterView::statusMessage, this,
            [this](const QString& text) { m_wndStatus->showMessage(text, 8000); });
    connect(view, &CVexoWriterView::positionChanged, this, [this](const QString& text) {
        m_pPositionPane->setText(text);
        m_pPositionPane->setVisible(!text.isEmpty());
    });

    setDockOptions(dockOptions() | QMainWindow::AnimatedDocks);
    DockBarBeside(m_wndRomBar, m_wndAboutBar);
    m_wndRomBar->setWindowTitle(FromCore(kRomBarCaption));

    resize(760, 540);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(), size());
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    SetSimulated(false);
    m_hBigIcon = PictureIcon(Picture::AppIcon);
    setWindowIcon(m_hBigIcon);

    // Ctrl+P prints the view; nothing else in the window issues printing.
    QAction* print = MakeAction(ID_FILE_PRINT, QStringLiteral("Print"));
    print->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    print->setShortcutContext(Qt::WindowShortcut);
    addAction(print);
    connect(print, &QAction::triggered, this, &CMainFrame::OnFilePrint);

    centralWidget()->setFocus();
}

CMainFrame::~CMainFrame() = default;

QAction* CMainFrame::MakeAction(int id, const QString& text)
{
    auto* action = new QAction(text, this);
    action->setData(id);
    if (const CommandText* strings = FindCommandText(id)) {
        action->setStatusTip(FromCore(strings->prompt));
        action->setToolTip(FromCore(strings->toolTip));
    }
    m_actions.insert(id, action);
    return action;
}

void CMainFrame::CreateMenus()
{
    struct Entry {
        int id;
        const char* text;
        void (CMainFrame::*handler)();
    };
    static constexpr Entry kButtons[] = {
        {ID_OPEN_BIN, "Open BIN File", &CMainFrame::OnOpenBin},
        {ID_SAVE_BUFFER, "Save Buffer", &CMainFrame::OnSaveBuffer},
        {ID_EDIT_BUFFER, "Edit Buffer", &CMainFrame::OnEditBuffer},
        {ID_DOS_SHELL, "Dos Shell", &CMainFrame::OnDosShell},
        {ID_LPT_PORT, "LPT Port", &CMainFrame::OnLptPort},
        {ID_DEVICE_TYPE, "Device Type", &CMainFrame::OnDeviceType},
        {ID_HEX_BIN, "HEX-->BIN", &CMainFrame::OnHexBin},
        {ID_READ_ROM, "Read ROM", &CMainFrame::OnReadRom},
        {ID_BLANK_CHECK, "Blank Check", &CMainFrame::OnBlankCheck},
        {ID_WRITE_ROM, "Write ROM", &CMainFrame::OnWriteRom},
        {ID_VERIFY, "Verify", &CMainFrame::OnVerify},
        {ID_AUTO_WRITE, "Auto Write", &CMainFrame::OnAutoWrite},
        {ID_CHANGE_SPEED, "Change Speed", &CMainFrame::OnChangeSpeed},
        {ID_QUIT, "Exit", &CMainFrame::OnQuit},
        {ID_VIEW_ROM_BAR, "ROM Writer Tool Bar", &CMainFrame::OnViewRomBar},
        {ID_CLEAR_WINDOW, "Clear Window", &CMainFrame::OnClearWindow},
        {ID_INFO_DIALOG, "Information Dialog", &CMainFrame::OnInfoDialog},
    };
    for (const Entry& e : kButtons) {
        QAction* action = MakeAction(e.id, QString::fromLatin1(e.text));
        connect(action, &QAction::triggered, this, e.handler);
        if (e.id != ID_VIEW_ROM_BAR && e.id != ID_CLEAR_WINDOW && e.id != ID_INFO_DIALOG)
            action->setIcon(PictureIcon(ButtonPicture(e.id)));
    }
    QAction* about = MakeAction(ID_APP_ABOUT, QStringLiteral("About"));
    about->setIcon(PictureIcon(Picture::About));
    connect(about, &QAction::triggered, &m_app, &CVexoWriterApp::OnAppAbout);

    QAction* aboutBar = MakeAction(ID_VIEW_TOOLBAR, QStringLiteral("View About Tool(&T)"));
    QAction* statusBarToggle = MakeAction(ID_VIEW_STATUS_BAR, QStringLiteral("Status Tool Bar(&S)"));
    QAction* romBar = Action(ID_VIEW_ROM_BAR);
    for (QAction* a : {aboutBar, statusBarToggle, romBar}) a->setCheckable(true);
    connect(aboutBar, &QAction::triggered, this,
            [this] { m_wndAboutBar->setVisible(!m_wndAboutBar->isVisible()); });
    connect(statusBarToggle, &QAction::triggered, this,
            [this] { m_wndStatus->setVisible(!m_wndStatus->isVisible()); });

    QMenu* view = menuBar()->addMenu(QStringLiteral("View(&V)"));
    view->addAction(aboutBar);
    view->addAction(statusBarToggle);
    view->addAction(romBar);
    view->addAction(Action(ID_QUIT));
    // The check marks follow the bars, however they were shown or hidden.
    connect(view, &QMenu::aboutToShow, this, [this, aboutBar, statusBarToggle, romBar] {
        aboutBar->setChecked(m_wndAboutBar->isVisible());
        statusBarToggle->setChecked(m_wndStatus->isVisible());
        romBar->setChecked(m_wndRomBar->isVisible());
    });

    QMenu* function = menuBar()->addMenu(QStringLiteral("Function"));
    function->addAction(Action(ID_CLEAR_WINDOW));
    function->addAction(Action(ID_INFO_DIALOG));

    // What came after the seed's commands: the application fills it.
    // Alt+T opens it (the T underlined).
    m_pToolsMenu = menuBar()->addMenu(QStringLiteral("&Tools"));
    m_pToolsMenu->setObjectName(QStringLiteral("ToolsMenu"));

    // Menu items show text only; the pictures belong to the buttons.
    for (QAction* action : std::as_const(m_actions)) action->setIconVisibleInMenu(false);
}

void CMainFrame::CreateToolBars()
{
    m_wndAboutBar = new QToolBar(this);
    m_wndAboutBar->setObjectName(QStringLiteral("AboutBar"));
    m_wndAboutBar->setIconSize(DesignSize(Picture::About));
    m_wndAboutBar->addAction(Action(ID_APP_ABOUT));
    m_wndAboutBar->setAllowedAreas(Qt::AllToolBarAreas);

    m_wndRomBar = new QToolBar(this);
    m_wndRomBar->setObjectName(QStringLiteral("RomBar"));
    m_wndRomBar->setIconSize(DesignSize(Picture::OpenBin));
    m_wndRomBar->setAllowedAreas(Qt::AllToolBarAreas);
    for (std::size_t i = 0; i < kRomBarButtons.size(); ++i) {
        if (i > 0) m_wndRomBar->addSeparator();
        m_wndRomBar->addAction(Action(kRomBarButtons[i]));
    }

    addToolBar(Qt::TopToolBarArea, m_wndAboutBar);

    // A command without a string shows no tooltip beside its button.
    for (QToolBar* bar : {m_wndAboutBar, m_wndRomBar}) {
        for (QAction* action : bar->actions()) {
            if (action->isSeparator()) continue;
            const CommandText* strings = FindCommandText(action->data().toInt());
            if (strings && !strings->toolTip.empty()) continue;
            if (QWidget* button = bar->widgetForAction(action)) button->installEventFilter(this);
        }
    }
    QAction* aboutToggle = Action(ID_VIEW_TOOLBAR);
    QAction* romToggle = Action(ID_VIEW_ROM_BAR);
    connect(m_wndAboutBar, &QToolBar::visibilityChanged, aboutToggle, &QAction::setChecked);
    connect(m_wndRomBar, &QToolBar::visibilityChanged, romToggle, &QAction::setChecked);
    aboutToggle->setChecked(true);
    romToggle->setChecked(true);
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::ToolTip) return true;
    return QMainWindow::eventFilter(watched, event);
}

void CMainFrame::CreateStatusBar()
{
    m_wndStatus = statusBar();
    m_wndStatus->setObjectName(QStringLiteral("StatusBar"));

    m_pMessagePane = new QLabel(FromCore(kIdleText), m_wndStatus);
    m_wndStatus->addWidget(m_pMessagePane, 1);

    const auto pane = [this](const QString& text, const QString& sizeText) {
        auto* label = new QLabel(text, m_wndStatus);
        label->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
        label->setFixedWidth(label->fontMetrics().horizontalAdvance(sizeText) + 2 * label->margin() + 8);
        m_wndStatus->addPermanentWidget(label);
        return label;
    };
    // Indicator 101 takes its width, and its first text, from its string.
    QString indicator = FromCore(kHexCountIndicator);
    indicator.chop(1);  // the line break: a pane shows one line
    m_pHexCountPane = pane(indicator, indicator);
    m_pHexCountPane->setObjectName(QStringLiteral("HexCountPane"));
    m_pLockPanes[0] = pane(QString(), QStringLiteral("CAP"));
    m_pLockPanes[1] = pane(QString(), QStringLiteral("NUM"));
    m_pLockPanes[2] = pane(QString(), QStringLiteral("SCRL"));
    // Shown only while bytes are edited, so the seed's bar stays as it was.
    m_pPositionPane = new QLabel(m_wndStatus);
    m_pPositionPane->setObjectName(QStringLiteral("PositionPane"));
    m_pPositionPane->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    m_pPositionPane->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_wndStatus->insertPermanentWidget(1, m_pPositionPane);  // after the message pane
    m_pPositionPane->hide();
    m_pLockPanes[0]->setAlignment(Qt::AlignCenter);
    m_pLockPanes[1]->setAlignment(Qt::AlignCenter);
    m_pLockPanes[2]->setAlignment(Qt::AlignCenter);
    UpdateLockPanes();
    if (LockKeysKnown()) {
        auto* timer = new QTimer(this);
        connect(timer, &QTimer::timeout, this, &CMainFrame::UpdateLockPanes);
        timer->start(250);
    }
}

void CMainFrame::UpdateLockPanes()
{
    const LockKeys keys = QueryLockKeys();
    m_pLockPanes[0]->setText(keys.caps ? QStringLiteral("CAP") : QString());
    m_pLockPanes[1]->setText(keys.num ? QStringLiteral("NUM") : QString());
    m_pLockPanes[2]->setText(keys.scroll ? QStringLiteral("SCRL") : QString());
}

void CMainFrame::DockBarBeside(QToolBar* bar, QToolBar* neighbour)
{
    // The neighbour's place must be current.
    if (QLayout* l = layout()) l->activate();
    Qt::ToolBarArea area = toolBarArea(neighbour);
    if (area == Qt::NoToolBarArea || neighbour->isFloating()) area = Qt::TopToolBarArea;
    const bool rows = area == Qt::TopToolBarArea || area == Qt::BottomToolBarArea;

    // The bar that follows the neighbour on its row, if any: insert before it.
    QToolBar* next = nullptr;
    for (QToolBar* other : findChildren<QToolBar*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (other == bar || other == neighbour || other->isFloating() || toolBarArea(other) != area)
            continue;
        const QRect o = other->geometry(), n = neighbour->geometry();
        const bool sameRow = rows ? o.top() == n.top() : o.left() == n.left();
        const bool after = rows ? o.left() > n.left() : o.top() > n.top();
        if (!sameRow || !after) continue;
        if (!next || (rows ? o.left() < next->geometry().left() : o.top() < next->geometry().top()))
            next = other;
    }
    if (next)
        insertToolBar(next, bar);
    else
        addToolBar(area, bar);
}

void CMainFrame::SetSimulated(bool simulated)
{
    const QString caption = QStringLiteral("[*]") + FromCore(kFrameCaption);
    setWindowTitle(simulated ? caption + QStringLiteral(" [simulated module]") : caption);
}

QAction* CMainFrame::AddCommand(int id, const QString& text, std::function<void()> handler)
{
    QAction* action = MakeAction(id, text);
    action->setIconVisibleInMenu(false);
    connect(action, &QAction::triggered, this, std::move(handler));
    return action;
}

void CMainFrame::RunSessionCommand(const std::function<void(Session&)>& action)
{
    RunRomCommand(m_app, [&action](Session& s) {
        action(s);
        return true;
    });
}

void CMainFrame::ShowDialog(ModelessDialog* dialog)
{
    if (dialog) dialog->ShowCentred();
}

bool CMainFrame::AskBeforeReplacing()
{
    if (!m_app.m_pView || !m_app.m_pView->IsModified()) return true;
    const int answer = m_app.Ui().AskChoice(
        QStringLiteral("The buffer has changes that are not saved. Export them first?"),
        {QStringLiteral("Export\u2026"), QStringLiteral("Discard"), QStringLiteral("Cancel")});
    if (answer == 1) return true;
    if (answer != 0) return false;
    const std::optional<std::string> file = m_app.Ui().ChooseFileToSave(QStringLiteral("Export the device's range"));
    if (!file) return false;
    Status status = Status::Ok();
    RunSessionCommand([&](Session& s) { status = s.ExportDevice(*file); });
    if (!status) m_app.Ui().AppMessageBox(status.message());
    return status.ok();
}

void CMainFrame::ReplaceBuffer(const QString& command, bool (Session::*load)())
{
    if (!AskBeforeReplacing()) return;
    const std::uint64_t before = m_app.TheSession().History().State();
    RunRomCommand(m_app, [load](Session& s) { return (s.*load)(); });
    if (!m_app.m_pView) return;
    if (m_app.TheSession().History().State() != before && !m_app.TheSession().History().CanUndo())
        m_app.m_pView->SetReplacedBy(command);
    m_app.m_pView->OnBufferReplaced();
}

void CMainFrame::OnOpenBin()
{
    ReplaceBuffer(QStringLiteral("Open BIN File"), static_cast<bool (Session::*)()>(&Session::OpenImage));
}

void CMainFrame::OpenBin(const QString& path)
{
    const std::string file = FileNameToCore(path);
    RunRomCommand(m_app, [&file](Session& s) { return s.OpenImage(file); });
    if (m_app.m_pView) m_app.m_pView->OnBufferReplaced();
}

void CMainFrame::OnSaveBuffer() { ShowDialog(m_app.m_pFileNameDlg); }

void CMainFrame::OnEditBuffer()
{
    if (m_app.m_pView) m_app.m_pView->OnEditBuffer();
}

void CMainFrame::OnDosShell() { StartTerminal(); }

void CMainFrame::OnLptPort() { ShowDialog(m_app.m_pPortDlg); }

void CMainFrame::OnDeviceType() { ShowDialog(m_app.m_pDeviceTypeDlg); }

void CMainFrame::OnHexBin() { StartHexBin(); }

void CMainFrame::OnReadRom() { ReplaceBuffer(QStringLiteral("Read ROM"), &Session::ReadRom); }

void CMainFrame::OnViewRomBar()
{
    m_wndRomBar->setVisible(!m_wndRomBar->isVisible());
    Action(ID_VIEW_ROM_BAR)->setChecked(m_wndRomBar->isVisible());
}

void CMainFrame::OnBlankCheck() { ShowDialog(m_app.m_pBlankCheckDlg); }

void CMainFrame::OnWriteRom()
{
    RunRomCommand(m_app, [](Session& s) { return s.WriteRom(); });
}

void CMainFrame::OnVerify()
{
    RunRomCommand(m_app, [](Session& s) { return s.Verify(); });
}

void CMainFrame::OnAutoWrite()
{
    RunRomCommand(m_app, [](Session& s) { return s.AutoWrite(); });
}

void CMainFrame::OnChangeSpeed() { ShowDialog(m_app.m_pSpeedDlg); }

void CMainFrame::OnQuit()
{
    if (!AskBeforeReplacing()) return;
    if (!m_app.Ui().AskYesNo(FromCore(kExitQuestion))) return;
    m_changesAsked = true;
    close();
    m_changesAsked = false;
}

void CMainFrame::OnClearWindow()
{
    if (m_app.m_pView) m_app.m_pView->OnClearWindow();
}

void CMainFrame::OnInfoDialog()
{
    if (!m_app.m_pInfoDlg) return;
    m_app.m_pInfoDlg->show();
    m_app.m_pInfoDlg->raise();
    m_app.m_pInfoDlg->activateWindow();
}

void CMainFrame::OnFilePrint()
{
    if (m_app.m_pView) m_app.m_pView->OnFilePrint();
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    // A pass or a box of a running command is on screen: the window stays.
    if (m_app.IsCommandRunning()) {
        event->ignore();
        return;
    }
    // The window's close button: changes are not lost without a question.
    if (!m_changesAsked && !AskBeforeReplacing()) {
        event->ignore();
        return;
    }
    event->accept();
    m_app.OnMainFrameClosed();
}

}  // namespace vexo::gui
