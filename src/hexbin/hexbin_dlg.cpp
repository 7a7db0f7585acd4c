// SPDX-License-Identifier: GPL-3.0-or-later
#include "hexbin/hexbin_dlg.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "rom/image_convert.h"

namespace vexo {

namespace {

const char kInputFilter[] =
    "HEX and S-record files (*.hex *.ihx *.ihex *.s19 *.s28 *.s37 *.srec *.mot "
    "*.HEX *.IHX *.IHEX *.S19 *.S28 *.S37 *.SREC *.MOT);;All files (*)";
const char kOutputFilter[] = "Bin File (*.bin);;All files (*)";

std::string Local(const QString& text) { return QFile::encodeName(text).toStdString(); }
QString FromLocal(const std::string& text) { return QFile::decodeName(QByteArray::fromStdString(text)); }

}  // namespace

HexBinDialog::HexBinDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(tr("HEX to BIN"));

    m_pInput = new QLineEdit(this);
    m_pInput->setObjectName("input");
    m_pInput->setPlaceholderText(tr("Intel HEX or S-record file"));
    auto* browseInput = new QPushButton(tr("Browse..."), this);

    m_pOutput = new QLineEdit(this);
    m_pOutput->setObjectName("output");
    m_pOutput->setPlaceholderText(tr("same name, .bin"));
    auto* browseOutput = new QPushButton(tr("Browse..."), this);

    m_pFill = new QLineEdit("0xFF", this);
    m_pFill->setObjectName("fill");
    m_pFill->setMaxLength(8);
    m_pFill->setToolTip(tr("Byte written where the file gives no data: 0xFF, 255 or FFh"));

    m_pOffset = new QLineEdit("0", this);
    m_pOffset->setObjectName("offset");
    m_pOffset->setToolTip(
        tr("First address of the output file; bytes below it are left out (0x8000 or 8000h)"));

    auto* inputRow = new QHBoxLayout;
    inputRow->addWidget(m_pInput, 1);
    inputRow->addWidget(browseInput);
    auto* outputRow = new QHBoxLayout;
    outputRow->addWidget(m_pOutput, 1);
    outputRow->addWidget(browseOutput);

    auto label = [this](const QString& text, QWidget* buddy) {
        auto* l = new QLabel(text, this);
        l->setBuddy(buddy);
        return l;
    };
    const int numberWidth = m_pFill->fontMetrics().horizontalAdvance("0xFFFFFF") * 2;
    m_pFill->setMaximumWidth(numberWidth);
    m_pOffset->setMaximumWidth(numberWidth);
    auto* form = new QFormLayout;
    form->addRow(label(tr("&Input file:"), m_pInput), inputRow);
    form->addRow(label(tr("&Output file:"), m_pOutput), outputRow);
    form->addRow(label(tr("&Fill byte for gaps:"), m_pFill), m_pFill);
    form->addRow(label(tr("&Start offset:"), m_pOffset), m_pOffset);

    m_pResult = new QLabel(this);
    m_pResult->setObjectName("result");
    m_pResult->setWordWrap(true);
    m_pResult->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_pResult->setMinimumHeight(m_pResult->fontMetrics().lineSpacing() * 3);
    m_pResult->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    auto* buttons = new QDialogButtonBox(this);
    m_pConvert = buttons->addButton(tr("&Convert"), QDialogButtonBox::AcceptRole);
    m_pConvert->setObjectName("convert");
    m_pConvert->setDefault(true);
    buttons->addButton(QDialogButtonBox::Close);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_pResult);
    layout->addWidget(buttons);
    setMinimumWidth(520);

    connect(browseInput, &QPushButton::clicked, this, &HexBinDialog::OnBrowseInput);
    connect(browseOutput, &QPushButton::clicked, this, &HexBinDialog::OnBrowseOutput);
    connect(m_pInput, &QLineEdit::textEdited, this, &HexBinDialog::OnInputEdited);
    connect(m_pConvert, &QPushButton::clicked, this, [this] { Convert(); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void HexBinDialog::OnBrowseInput()
{
    const QString path = QFileDialog::getOpenFileName(this, tr("HEX or S-record file"),
                                                      m_pInput->text(), tr(kInputFilter));
    if (path.isEmpty()) return;
    m_pInput->setText(path);
    OnInputEdited(path);
}

void HexBinDialog::OnBrowseOutput()
{
    QString start = m_pOutput->text();
    if (start.isEmpty() && !m_pInput->text().isEmpty())
        start = FromLocal(DefaultBinPath(Local(m_pInput->text())));
    const QString path = QFileDialog::getSaveFileName(this, tr("Output file"), start, tr(kOutputFilter));
    if (path.isEmpty()) return;
    m_pOutput->setText(path);
    m_strConfirmedOutput = path;
}

void HexBinDialog::OnInputEdited(const QString& text)
{
    // Follow the input with the proposed output name until the operator
    // types or picks one of their own.
    if (m_pOutput->text().isEmpty() || m_pOutput->text() == m_strAutoOutput) {
        m_strAutoOutput = text.isEmpty() ? QString() : FromLocal(DefaultBinPath(Local(text)));
        m_pOutput->setText(m_strAutoOutput);
    }
}

bool HexBinDialog::ConfirmReplace(const QString& path)
{
    return QMessageBox::question(this, windowTitle(),
                                 tr("%1 already exists.\nReplace it?").arg(path),
                                 QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}

void HexBinDialog::ShowResult(const QString& text, bool failed)
{
    m_pResult->setStyleSheet(failed ? "color: #b00020;" : QString());
    m_pResult->setText(text);
}

QString HexBinDialog::ResultText() const { return m_pResult->text(); }

bool HexBinDialog::Convert()
{
    const QString input = m_pInput->text().trimmed();
    if (input.isEmpty()) {
        ShowResult(tr("Choose the file to convert."), true);
        return false;
    }
    // Only a file: a pipe or a device would hold the window until it ends.
    if (const QFileInfo info(input); info.exists() && !info.isFile()) {
        ShowResult(tr("Conversion failed:\n%1 is not a regular file.").arg(input), true);
        return false;
    }
    QString output = m_pOutput->text().trimmed();
    if (output.isEmpty()) {
        output = FromLocal(DefaultBinPath(Local(input)));
        m_pOutput->setText(output);
        m_strAutoOutput = output;
    }
    ConvertOptions options;
    const Result<std::uint8_t> fill = ParseFillByte(Local(m_pFill->text().trimmed()));
    if (!fill) {
        ShowResult(tr("Fill byte: %1.").arg(FromLocal(fill.message())), true);
        return false;
    }
    options.fill = *fill;
    if (!ParseImageNumber(Local(m_pOffset->text().trimmed()), kImageCapacity - 1, &options.offset)) {
        ShowResult(tr("Start offset: %1 is not an address in the 16 MiB buffer (0 to 0xFFFFFF).")
                       .arg(m_pOffset->text()),
                   true);
        return false;
    }
    if (QFileInfo::exists(output) && output != m_strConfirmedOutput &&
        QFileInfo(output) != QFileInfo(input) && !ConfirmReplace(output)) {
        ShowResult(tr("Not converted: %1 was kept.").arg(output), true);
        return false;
    }

    const Result<Conversion> result = ConvertImageFile(Local(input), Local(output), options);
    if (!result) {
        ShowResult(tr("Conversion failed:\n%1").arg(FromLocal(result.message())), true);
        return false;
    }
    ShowResult(tr("Converted %1 (%2) to %3:\n%4")
                   .arg(QFileInfo(input).fileName(), FromLocal(std::string(FormatName(result->input))),
                        QFileInfo(output).fileName(), FromLocal(DescribeConversion(*result))),
               false);
    return true;
}

}  // namespace vexo
