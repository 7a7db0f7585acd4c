// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/outside_programs.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace vexo::gui {
namespace {

void StartDetached(const QString& program)
{
    if (program.isEmpty()) return;
    // Nothing is said when it does not start: the operator sees no window.
    QProcess::startDetached(program, QStringList(), QDir::currentPath());
}

}  // namespace

QString TerminalProgram()
{
    const QString preferred = QStandardPaths::findExecutable(QStringLiteral("x-terminal-emulator"));
    if (!preferred.isEmpty()) return preferred;
    const QString fromEnvironment = qEnvironmentVariable("TERMINAL").trimmed();
    if (!fromEnvironment.isEmpty()) {
        const QString found = QStandardPaths::findExecutable(fromEnvironment);
        if (!found.isEmpty()) return found;
        if (QFileInfo(fromEnvironment).isExecutable()) return fromEnvironment;
    }
    return QStringLiteral("xterm");
}

void StartTerminal() { StartDetached(TerminalProgram()); }

QString HexBinProgram()
{
    const QString name = QStringLiteral("vexo-hexbin");
    // Installed, both programs share a folder; in the build tree the
    // converter is built in the sibling folder hexbin/.
    const QDir here(QCoreApplication::applicationDirPath());
    for (const QString& candidate : {here.filePath(name), here.filePath(QStringLiteral("../hexbin/") + name)}) {
        const QFileInfo file(candidate);
        if (file.isFile() && file.isExecutable()) return file.absoluteFilePath();
    }
    const QString found = QStandardPaths::findExecutable(name);
    return found.isEmpty() ? name : found;
}

void StartHexBin() { StartDetached(HexBinProgram()); }

}  // namespace vexo::gui
