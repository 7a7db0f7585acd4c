// SPDX-License-Identifier: GPL-3.0-or-later
#include "dialogs/real_port_dialogs.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QVBoxLayout>

#include "rom/rom.h"
#include "session/session.h"
#include "dialogs/core_text.h"

namespace vexo::gui {
namespace {


QDialogButtonBox* OkCancel(QDialog* dialog)
{
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return buttons;
}

}  // namespace

// --- the port check ---

PortCheckWindow::PortCheckWindow(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("PortCheckWindow"));
    setWindowTitle(QStringLiteral("Port Check"));
    setModal(false);
    m_text = new QPlainTextEdit(this);
    m_text->setReadOnly(true);
    m_text->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_verdict = new QLabel(this);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::hide);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_text);
    layout->addWidget(m_verdict);
    layout->addWidget(buttons);
    resize(760, 420);
}

void PortCheckWindow::SetReport(const PortCheckReport& report)
{
    QStringList lines;
    for (const std::string& line : report.lines) lines << FromCore(line);
    m_text->setPlainText(lines.join(QLatin1Char('\n')));
    m_verdict->setText(report.ExitStatus() == 0
                           ? QStringLiteral("The port opened and a module answers.")
                           : QStringLiteral("The port is not ready: see the problems above."));
}

QString PortCheckWindow::Text() const { return m_text->toPlainText(); }

// --- part numbers ---

FindPartDialog::FindPartDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FindPartDialog"));
    setWindowTitle(QStringLiteral("Find Part"));
    m_edit = new QLineEdit(this);
    m_edit->setPlaceholderText(QStringLiteral("M27C512-12F1"));
    m_answer = new QLabel(this);
    m_answer->setWordWrap(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Part number as printed on the chip:"), this));
    layout->addWidget(m_edit);
    layout->addWidget(m_answer);
    layout->addWidget(OkCancel(this));
}

QString FindPartDialog::Answer() const { return m_answer->text(); }

void FindPartDialog::accept()
{
    const Result<PartInfo> part = Session::LookUpPart(ToCore(m_edit->text().trimmed()));
    if (!part) {
        m_answer->setText(FromCore(part.message()));
        return;  // stays open for another try
    }
    m_answer->setText(FromCore(part->note));
    QDialog::accept();
    emit partFound(part->device, FromCore(Session::PartNote(*part)));
}

// --- programming options ---

OptionsDialog::OptionsDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("OptionsDialog"));
    setWindowTitle(QStringLiteral("Options"));
    m_retries = new QSpinBox(this);
    m_retries->setRange(0, int(kMaxRetries));
    m_retries->setToolTip(QStringLiteral("Write ROM and Auto Write: more pulse rounds for bytes still short"));
    m_pulseMicros = new QSpinBox(this);
    m_pulseMicros->setRange(0, int(kMaxPulseMicroseconds));
    m_pulseMicros->setSuffix(QStringLiteral(" \u00B5s"));
    m_pulseMicros->setToolTip(QStringLiteral("A real pause inside each program pulse; 0 keeps it as short "
                                             "as the port makes it"));
    m_skipBlank = new QCheckBox(QStringLiteral("Skip blank bytes (0xFF) when programming"), this);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Retries:"), m_retries);
    form->addRow(QStringLiteral("Program pulse width:"), m_pulseMicros);
    form->addRow(m_skipBlank);
    m_readPasses = new QSpinBox(this);
    m_readPasses->setRange(int(kMinReadPasses), int(kMaxReadPasses));
    m_readPasses->setToolTip(QStringLiteral("Read ROM reads the chip this many times and keeps each bit's "
                                            "majority; 1 reads once, as designed"));
    form->addRow(QStringLiteral("Read passes:"), m_readPasses);
    m_datPaths = new QPlainTextEdit(this);
    m_datPaths->setObjectName(QStringLiteral("DatPaths"));
    m_datPaths->setPlaceholderText(QStringLiteral("one DAT file or folder per line"));
    m_datPaths->setToolTip(QStringLiteral("Tools \u2192 Identify matches the buffer against these"));
    m_datPaths->setMaximumHeight(80);
    form->addRow(QStringLiteral("DAT files and folders:"), m_datPaths);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(OkCancel(this));
}

void OptionsDialog::Load(const ProgramSettings& settings)
{
    m_retries->setValue(settings.retries);
    m_pulseMicros->setValue(int(settings.pulseMicros));
    m_skipBlank->setChecked(settings.skipBlank);
}

ProgramSettings OptionsDialog::Values() const
{
    ProgramSettings settings;
    settings.retries = m_retries->value();
    settings.pulseMicros = std::uint32_t(m_pulseMicros->value());
    settings.skipBlank = m_skipBlank->isChecked();
    return settings;
}

}  // namespace vexo::gui
