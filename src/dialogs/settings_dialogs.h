// SPDX-License-Identifier: GPL-3.0-or-later
// The settings dialogs: blank-check confirmation, count display, device type
// with the DIP-switch confirmations, speed, port, save name and the progress
// dialog. Each is created hidden once and only shown and hidden afterwards.
#pragma once

#include <QString>
#include <QWidget>

#include <memory>

#include "dialogs/modeless_dialog.h"

class QLineEdit;
class QProgressBar;
class QRadioButton;

namespace vexo::gui {

// Dialog sizes are given in dialog units of the dialogs' 8-point face.
QSize DialogUnits(int width, int height);

class CBlankCheckDlg final : public ModelessDialog {
    Q_OBJECT
public:
    CBlankCheckDlg(CVexoWriterApp& app, QWidget* parent);

protected:
    void OnOK() override;
};

class CCountDlg final : public ModelessDialog {
    Q_OBJECT
public:
    CCountDlg(CVexoWriterApp& app, QWidget* parent);
    QString m_strCount;
    QLineEdit* m_pCountEdit = nullptr;

protected:
    void DoDataExchange(bool bSaveAndValidate) override;
};

class CDeviceTypeDlg final : public ModelessDialog {
    Q_OBJECT
public:
    CDeviceTypeDlg(CVexoWriterApp& app, QWidget* parent);
    int m_b27C256 = 1;
    int m_b27C512 = 0;
    int m_b27C010 = 0;
    int m_b27C020 = 0;
    int m_b27C040 = 0;
    // In device-index order: 27C256, 27C512, 27C010, 27C020, 27C040.
    QRadioButton* m_pOption[5] = {};

protected:
    void DoDataExchange(bool bSaveAndValidate) override;
    void OnOK() override;

private:
    std::unique_ptr<OptionGroup> m_pOptions;
};

// The module's switch setting for one device, drawn from the catalogue.
class DipSwitchPicture final : public QWidget {
    Q_OBJECT
public:
    DipSwitchPicture(int deviceIndex, QWidget* parent);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_nDevice;
};

class CDipSwitchDlg final : public ModelessDialog {
    Q_OBJECT
public:
    // `deviceIndex` 0..4; the caption and device text follow from it.
    CDipSwitchDlg(CVexoWriterApp& app, QWidget* parent, int deviceIndex);
    int DeviceIndex() const { return m_nDeviceIndex; }
    const QString& DeviceText() const { return m_strDevice; }

protected:
    void OnOK() override;

private:
    int m_nDeviceIndex;
    QString m_strDevice;
};

class CProgressDlg final : public ModelessDialog {
    Q_OBJECT
public:
    CProgressDlg(CVexoWriterApp& app, QWidget* parent);
    QProgressBar* m_ctlProgress = nullptr;
};

class CSpeedDlg final : public ModelessDialog {
    Q_OBJECT
public:
    CSpeedDlg(CVexoWriterApp& app, QWidget* parent);
    int m_bNormal = 1;
    int m_bHigh = 0;
    int m_bExpress = 0;
    // Normal, High, Express.
    QRadioButton* m_pOption[3] = {};

protected:
    void DoDataExchange(bool bSaveAndValidate) override;
    void OnOK() override;

private:
    std::unique_ptr<OptionGroup> m_pOptions;
};

class CPortDlg final : public ModelessDialog {
    Q_OBJECT
public:
    CPortDlg(CVexoWriterApp& app, QWidget* parent);
    int m_bLpt1 = 1;
    int m_bLpt2 = 0;
    int m_bLpt3 = 0;
    // LPT1, LPT2, LPT3.
    QRadioButton* m_pOption[3] = {};

protected:
    void DoDataExchange(bool bSaveAndValidate) override;
    void OnOK() override;

private:
    void Select(int number);
    std::unique_ptr<OptionGroup> m_pOptions;
};

class CFileNameDlg final : public ModelessDialog {
    Q_OBJECT
public:
    CFileNameDlg(CVexoWriterApp& app, QWidget* parent);
    QString m_strName = QStringLiteral("default.bin");
    QLineEdit* m_pNameEdit = nullptr;

protected:
    void DoDataExchange(bool bSaveAndValidate) override;
    void OnOK() override;
};

}  // namespace vexo::gui
