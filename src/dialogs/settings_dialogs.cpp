// SPDX-License-Identifier: GPL-3.0-or-later
#include "dialogs/settings_dialogs.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QProgressBar>
#include <QRadioButton>
#include <QVBoxLayout>

#include "app/vexowriter_app.h"
#include "dialogs/caption_room.h"
#include "dialogs/info_dlg.h"
#include "res/pictures.h"
#include "rom/catalogue.h"
#include "rom/rom.h"
#include "session/session.h"

namespace vexo::gui {
namespace {

// Content on the left, OK and Cancel stacked on the right.
QHBoxLayout* ContentAndButtons(ModelessDialog* dialog, QLayout* content, QDialogButtonBox* buttons)
{
    auto* row = new QHBoxLayout(dialog);
    row->addLayout(content, 1);
    if (buttons) {
        buttons->setOrientation(Qt::Vertical);
        row->addWidget(buttons, 0, Qt::AlignTop);
    }
    return row;
}

// A dialog keeps one size: its template's, or more if the face needs it.
void FixSize(QDialog* dialog, QSize units)
{
    // Options keep their own width when the caption widens the dialog: a
    // click beside an option's text must not choose it.
    for (QRadioButton* option : dialog->findChildren<QRadioButton*>()) {
        QSizePolicy policy = option->sizePolicy();
        policy.setHorizontalPolicy(QSizePolicy::Maximum);
        option->setSizePolicy(policy);
    }
    dialog->adjustSize();
    // Wide enough for the caption too.
    dialog->setFixedSize(dialog->size().expandedTo(units).expandedTo(QSize(CaptionWidth(dialog->windowTitle()), 0)));
}

QGroupBox* OptionBox(const QString& title, std::initializer_list<QRadioButton*> options)
{
    auto* box = new QGroupBox(title);
    auto* column = new QVBoxLayout(box);
    for (QRadioButton* option : options) column->addWidget(option);
    return box;
}

}  // namespace

QSize DialogUnits(int width, int height) { return {width * 3 / 2, height * 13 / 8}; }

// --- blank-check confirmation ---

CBlankCheckDlg::CBlankCheckDlg(CVexoWriterApp& app, QWidget* parent)
    : ModelessDialog(app, parent, QStringLiteral("Blank Check Dialog"))
{
    auto* content = new QVBoxLayout;
    content->addWidget(new QLabel(QStringLiteral("Do you want to a Blank Check ?")));
    content->addStretch();
    ContentAndButtons(this, content, MakeOkCancel());
    FixSize(this, DialogUnits(125, 48));
}

void CBlankCheckDlg::OnOK()
{
    if (m_app.m_pCountDlg) m_app.m_pCountDlg->ShowCentred();
    if (!m_app.m_pRom) return;
    CVexoWriterApp::CommandScope running(m_app);
    // The blank check reports its own outcome.
    static_cast<void>(m_app.TheSession().BlankCheck());
}

// --- count display ---

CCountDlg::CCountDlg(CVexoWriterApp& app, QWidget* parent)
    : ModelessDialog(app, parent, QStringLiteral("Disply Count Dialog"))
{
    auto* content = new QVBoxLayout;
    content->addWidget(new QLabel(QStringLiteral("Buffer Counting..")));
    m_pCountEdit = new QLineEdit;
    content->addWidget(m_pCountEdit);
    content->addStretch();
    ContentAndButtons(this, content, MakeOkCancel());
    FixSize(this, DialogUnits(152, 53));
    UpdateData(false);
}

void CCountDlg::DoDataExchange(bool bSaveAndValidate)
{
    if (bSaveAndValidate)
        m_strCount = m_pCountEdit->text();
    else
        m_pCountEdit->setText(m_strCount);
}

// --- device type ---

CDeviceTypeDlg::CDeviceTypeDlg(CVexoWriterApp& app, QWidget* parent)
    : ModelessDialog(app, parent, QStringLiteral("Device Type Dialog"))
{
    for (int i = 0; i < kDeviceCount; ++i)
        m_pOption[i] = new QRadioButton(QString::fromLatin1(kDevices[std::size_t(i)].name.data(),
                                                            qsizetype(kDevices[std::size_t(i)].name.size())));
    auto* content = new QVBoxLayout;
    content->addWidget(OptionBox(QStringLiteral("Select Device Type"),
                                 {m_pOption[0], m_pOption[1], m_pOption[2], m_pOption[3], m_pOption[4]}));
    ContentAndButtons(this, content, MakeOkCancel());
    m_pOptions.reset(new OptionGroup(*this, {{m_pOption[0], &m_b27C256},
                                              {m_pOption[1], &m_b27C512},
                                              {m_pOption[2], &m_b27C010},
                                              {m_pOption[3], &m_b27C020},
                                              {m_pOption[4], &m_b27C040}}));
    FixSize(this, DialogUnits(160, 101));
    UpdateData(false);
}

void CDeviceTypeDlg::DoDataExchange(bool bSaveAndValidate) { m_pOptions->Exchange(bSaveAndValidate); }

void CDeviceTypeDlg::OnOK()
{
    // The choice takes effect when the operator confirms the switch setting.
    const int members[kDeviceCount] = {m_b27C256, m_b27C512, m_b27C010, m_b27C020, m_b27C040};
    for (int i = 0; i < kDeviceCount; ++i)
        if (members[i] == 1)
            if (CDipSwitchDlg* dip = m_app.DipDialog(i)) dip->ShowCentred();
}

// --- DIP-switch confirmation ---

DipSwitchPicture::DipSwitchPicture(int deviceIndex, QWidget* parent)
    : QWidget(parent), m_nDevice(deviceIndex)
{
    setFixedSize(DipPictureSize(deviceIndex));
}

QSize DipSwitchPicture::sizeHint() const { return DipPictureSize(m_nDevice); }

void DipSwitchPicture::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    PaintDipSwitches(m_nDevice, painter);
}

CDipSwitchDlg::CDipSwitchDlg(CVexoWriterApp& app, QWidget* parent, int deviceIndex)
    : ModelessDialog(app, parent, QString()), m_nDeviceIndex(deviceIndex)
{
    const std::string_view name = kDevices[std::size_t(deviceIndex)].name;
    m_strDevice = QString::fromLatin1(name.data(), qsizetype(name.size()));
    setWindowTitle(QStringLiteral("Dip Switch Dialog(%1)").arg(m_strDevice));
    auto* content = new QVBoxLayout;
    content->addStretch();
    content->addWidget(new DipSwitchPicture(deviceIndex, this));
    content->addStretch();
    ContentAndButtons(this, content, MakeOkCancel());
    FixSize(this, DialogUnits(187, 68));
}

void CDipSwitchDlg::OnOK()
{
    if (m_app.m_pRom) m_app.TheSession().SelectDevice(m_nDeviceIndex);
}

// --- progress (never shown) ---

CProgressDlg::CProgressDlg(CVexoWriterApp& app, QWidget* parent)
    : ModelessDialog(app, parent, QStringLiteral("SpeedDialog"))
{
    QFont face = font();
    face.setFamilies({QStringLiteral("System"), face.family()});
    face.setPointSize(10);
    setFont(face);
    auto* content = new QVBoxLayout;
    m_ctlProgress = new QProgressBar;
    m_ctlProgress->setObjectName(QStringLiteral("Progress1"));
    m_ctlProgress->setTextVisible(false);
    m_ctlProgress->setRange(0, 100);
    m_ctlProgress->setValue(0);
    content->addWidget(m_ctlProgress);
    ContentAndButtons(this, content, nullptr);
    FixSize(this, DialogUnits(187, 46));
    CentreOverOwner();
}

// --- speed ---

CSpeedDlg::CSpeedDlg(CVexoWriterApp& app, QWidget* parent)
    : ModelessDialog(app, parent, QStringLiteral("Writing Speed Dialog"))
{
    m_pOption[0] = new QRadioButton(QStringLiteral("Normal Speed"));
    m_pOption[1] = new QRadioButton(QStringLiteral("High Speed "));
    m_pOption[2] = new QRadioButton(QStringLiteral("Express Speed"));
    auto* content = new QVBoxLayout;
    content->addWidget(OptionBox(QStringLiteral("Select Program Writing Speed"),
                                 {m_pOption[0], m_pOption[1], m_pOption[2]}));
    ContentAndButtons(this, content, MakeOkCancel());
    m_pOptions.reset(new OptionGroup(
        *this, {{m_pOption[0], &m_bNormal}, {m_pOption[1], &m_bHigh}, {m_pOption[2], &m_bExpress}}));
    FixSize(this, DialogUnits(131, 85));
    UpdateData(false);
}

void CSpeedDlg::DoDataExchange(bool bSaveAndValidate) { m_pOptions->Exchange(bSaveAndValidate); }

void CSpeedDlg::OnOK()
{
    const int members[kSpeedCount] = {m_bNormal, m_bHigh, m_bExpress};
    for (int i = 0; i < kSpeedCount; ++i)
        if (members[i] == 1 && m_app.m_pRom) m_app.TheSession().SelectSpeed(i);
}

// --- port ---

CPortDlg::CPortDlg(CVexoWriterApp& app, QWidget* parent)
    : ModelessDialog(app, parent, QStringLiteral("Change LPT Port Dialog"))
{
    m_pOption[0] = new QRadioButton(QStringLiteral("LPT1 Port"));
    m_pOption[1] = new QRadioButton(QStringLiteral("LPT2 Port"));
    m_pOption[2] = new QRadioButton(QStringLiteral("LPT3 Port"));
    auto* content = new QVBoxLayout;
    content->addWidget(
        OptionBox(QStringLiteral("Select LPT Port"), {m_pOption[0], m_pOption[1], m_pOption[2]}));
    ContentAndButtons(this, content, MakeOkCancel());
    m_pOptions.reset(new OptionGroup(
        *this, {{m_pOption[0], &m_bLpt1}, {m_pOption[1], &m_bLpt2}, {m_pOption[2], &m_bLpt3}}));
    FixSize(this, DialogUnits(151, 75));
    UpdateData(false);
}

void CPortDlg::DoDataExchange(bool bSaveAndValidate) { m_pOptions->Exchange(bSaveAndValidate); }

void CPortDlg::Select(int number)
{
    if (!m_app.m_pRom) return;
    CVexoWriterApp::CommandScope running(m_app);
    // The detection reports itself in its box.
    static_cast<void>(m_app.TheSession().SelectPort(number));
}

void CPortDlg::OnOK()
{
    if (m_bLpt1 == 1) Select(1);
    if (m_bLpt2 == 1) Select(2);
    if (m_bLpt3 == 1) Select(3);
}

// --- save name ---

CFileNameDlg::CFileNameDlg(CVexoWriterApp& app, QWidget* parent)
    : ModelessDialog(app, parent, QStringLiteral("Input File Name Dialog"))
{
    auto* content = new QVBoxLayout;
    content->addWidget(new QLabel(QStringLiteral("Input Save Name")));
    m_pNameEdit = new QLineEdit;
    content->addWidget(m_pNameEdit);
    content->addStretch();
    ContentAndButtons(this, content, MakeOkCancel());
    FixSize(this, DialogUnits(141, 58));
    UpdateData(false);
    // The member always holds the text as typed.
    connect(m_pNameEdit, &QLineEdit::textChanged, this, [this] { UpdateData(true); });
}

void CFileNameDlg::DoDataExchange(bool bSaveAndValidate)
{
    if (bSaveAndValidate)
        m_strName = m_pNameEdit->text();
    else
        m_pNameEdit->setText(m_strName);
}

void CFileNameDlg::OnOK()
{
    if (!m_app.m_pRom) return;
    CVexoWriterApp::CommandScope running(m_app);
    // The save reports its own outcome, a held file included; the dialog
    // stays up until it returns.
    static_cast<void>(m_app.TheSession().SaveChip(ToCore(m_strName)));
}

}  // namespace vexo::gui
