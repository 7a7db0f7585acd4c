// SPDX-License-Identifier: GPL-3.0-or-later
// Text between the core (std::string, UTF-8) and Qt (QString), in one place:
// messages and entries as UTF-8, file names in the file system's encoding.
#pragma once

#include <QFile>
#include <QString>

#include <string>
#include <string_view>

namespace vexo::gui {

inline std::string ToCore(const QString& text) { return text.toStdString(); }
inline QString FromCore(std::string_view text) { return QString::fromUtf8(text.data(), qsizetype(text.size())); }

// A file name as the core opens it, and back.
inline std::string FileNameToCore(const QString& path) { return QFile::encodeName(path).toStdString(); }
inline QString FileNameFromCore(const std::string& path)
{
    return QFile::decodeName(QByteArray::fromStdString(path));
}

}  // namespace vexo::gui
