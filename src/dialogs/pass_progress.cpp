// SPDX-License-Identifier: GPL-3.0-or-later
#include "dialogs/pass_progress.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace vexo::gui {

PassProgressWindow::PassProgressWindow(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("PassProgress"));
    setWindowTitle(tr("Working"));
    m_text = new QLabel(this);
    m_text->setMinimumWidth(m_text->fontMetrics().horizontalAdvance(QLatin1Char('M')) * 26);
    m_bar = new QProgressBar(this);
    m_bar->setRange(0, 100);
    m_stop = new QPushButton(tr("Stop"), this);
    m_stop->setObjectName(QStringLiteral("StopPass"));
    m_stop->setAutoDefault(false);
    connect(m_stop, &QPushButton::clicked, this, &PassProgressWindow::AskStop);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_stop);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_text);
    layout->addWidget(m_bar);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void PassProgressWindow::PassProgress(int percent, const QString& text)
{
    m_text->setText(text);
    m_bar->setValue(percent);
    if (isVisible()) return;
    m_stop->setEnabled(true);
    m_stop->setText(tr("Stop"));
    m_asking = false;
    // Over the middle of the main window, which stays visible around it.
    if (QWidget* owner = parentWidget()) {
        adjustSize();
        move(owner->geometry().center() - rect().center());
    }
    show();
    raise();
    activateWindow();
    m_stop->setFocus();
}

void PassProgressWindow::PassEnded()
{
    if (isVisible()) hide();
}

QWidget* PassProgressWindow::InputWindow() { return isVisible() ? this : nullptr; }

void PassProgressWindow::ShowStopping()
{
    m_stop->setEnabled(false);
    m_text->setText(tr("Stopping at the next byte\u2026"));
}

void PassProgressWindow::AskStop()
{
    // The question is asked while the pass waits; a second Escape meanwhile
    // asks nothing more.
    if (m_asking || !m_stop->isEnabled()) return;
    m_asking = true;
    emit stopAsked();
    m_asking = false;
}

void PassProgressWindow::reject() { AskStop(); }

void PassProgressWindow::closeEvent(QCloseEvent* event)
{
    // The window goes when the pass ends; closing it asks to stop.
    event->ignore();
    AskStop();
}

}  // namespace vexo::gui
