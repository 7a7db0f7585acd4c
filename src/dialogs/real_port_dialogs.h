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
class QString;

namespace vexo::gui {

// The port check's lines in a small read-only window, wrapped to its
// width, with a Copy button.
class PortCheckWindow final : public QDialog {
    Q_OBJECT
public:
    explicit PortCheckWindow(QWidget* parent);
    void SetReport(const PortCheckReport& report);
    QString Text() const;
    QString Verdict() const;
    QPlainTextEdit* Lines() const { return m_text; }

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
    // The answer for the number as typed, shown at once (and the window
    // grows to hold it); empty for an empty entry.
    void ShowAnswer();
    QLineEdit* m_edit = nullptr;
    QLabel* m_answer = nullptr;
};

// Retries, the program pulse width and skipping blank bytes. A number out
// of its range is kept as typed and refused on OK, with the range, in the
// dialog; nothing is clamped.
class OptionsDialog final : public QDialog {
    Q_OBJECT
public:
    explicit OptionsDialog(QWidget* parent);
    void Load(const ProgramSettings& settings);
    ProgramSettings Values() const;
    void accept() override;
    // Why OK was refused; empty when it was not.
    QString Refusal() const;

    QSpinBox* m_retries = nullptr;
    QSpinBox* m_pulseMicros = nullptr;
    QCheckBox* m_skipBlank = nullptr;
    // Dumps: how many times Read ROM reads (1 = once, as designed), and the
    // DAT files and folders Identify reads, one per line.
    QSpinBox* m_readPasses = nullptr;
    QPlainTextEdit* m_datPaths = nullptr;

private:
    QLabel* m_error = nullptr;
};

}  // namespace vexo::gui
