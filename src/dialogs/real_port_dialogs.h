// SPDX-License-Identifier: GPL-3.0-or-later
// The real port windows of the Tools menu: the port check's report, the
// part number finder and the programming options. Each is created once and
// shown and hidden afterwards.
#pragma once

#include <QDialog>
#include <QString>

#include <string>
#include <vector>

#include "session/session.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QSpinBox;

namespace vexo::gui {

// The port check's lines in a small read-only window.
class PortCheckWindow final : public QDialog {
    Q_OBJECT
public:
    explicit PortCheckWindow(QWidget* parent);
    void SetReport(const PortCheckReport& report);
    QString Text() const;

private:
    QPlainTextEdit* m_text = nullptr;
    QLabel* m_verdict = nullptr;
};

// Asks for the number printed on the chip. OK with a number it knows hands
// the device index to `found` and closes; an unknown number keeps the window
// open with the closest matches.
class FindPartDialog final : public QDialog {
    Q_OBJECT
public:
    explicit FindPartDialog(QWidget* parent);
    QLineEdit* Edit() const { return m_edit; }
    QString Answer() const;  // the line under the number: a note or the closest matches
    void accept() override;

signals:
    void partFound(int device, const QString& note);

private:
    QLineEdit* m_edit = nullptr;
    QLabel* m_answer = nullptr;
};

// Retries, the program pulse width and skipping blank bytes.
class OptionsDialog final : public QDialog {
    Q_OBJECT
public:
    explicit OptionsDialog(QWidget* parent);
    void Load(const ProgramSettings& settings);
    ProgramSettings Values() const;

    QSpinBox* m_retries = nullptr;
    QSpinBox* m_pulseMicros = nullptr;
    QCheckBox* m_skipBlank = nullptr;
    // Dumps: how many times Read ROM reads (1 = once, as designed), and the
    // DAT files and folders Identify reads, one per line.
    QSpinBox* m_readPasses = nullptr;
    QPlainTextEdit* m_datPaths = nullptr;
};

}  // namespace vexo::gui
