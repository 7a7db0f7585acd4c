// SPDX-License-Identifier: GPL-3.0-or-later
// --screenshot-dir: shows every window of the program in turn, saves a PNG
// of each, and quits. For reviewing the looks without an operator.
#pragma once

#include <QString>
#include <QStringList>

#include "app/qt_ui_services.h"

namespace vexo::gui {

class CVexoWriterApp;

// Answers every box with OK, every question with No and the file chooser
// with Cancel, and keeps the texts.
class QuietAnswerer final : public IUiAnswerer {
public:
    void Message(const QString& text, bool) override { m_messages << text; }
    bool Question(const QString& text) override
    {
        m_messages << text;
        return false;
    }
    std::optional<QString> ChooseFile() override { return std::nullopt; }
    QStringList m_messages;
};

// Saves the pictures into `folder` (created); returns the exit code.
int SaveScreenshots(CVexoWriterApp& app, const QString& folder);

}  // namespace vexo::gui
