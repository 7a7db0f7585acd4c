// SPDX-License-Identifier: GPL-3.0-or-later
#include <algorithm>

#include "dialogs/caption_room.h"
#include "app/about_dlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include "res/pictures.h"

namespace vexo::gui {
namespace {

class PictureLabel final : public QWidget {
public:
    explicit PictureLabel(QWidget* parent) : QWidget(parent)
    {
        setFixedSize(DesignSize(Picture::AboutPicture));
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        PaintPicture(Picture::AboutPicture, painter, rect());
    }
};

}  // namespace

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("VexoWriter 정보"));
    QFont face = font();
    face.setFamilies({QStringLiteral("Gulim"), QStringLiteral("굴림"), QStringLiteral("NanumGothic"),
                      face.family()});
    face.setPointSize(9);
    setFont(face);

    auto* texts = new QVBoxLayout;
    texts->addWidget(new QLabel(QStringLiteral("Vexo Writer - 1.0")));
    texts->addWidget(new QLabel(QStringLiteral("Copyright (C) 2026 The Vexo Writer developers")));
    texts->addStretch();

    m_pOkButton = new QPushButton(QStringLiteral("확인"));
    m_pOkButton->setDefault(true);
    connect(m_pOkButton, &QPushButton::clicked, this, &QDialog::accept);

    auto* row = new QHBoxLayout(this);
    row->addWidget(new PictureLabel(this), 0, Qt::AlignTop);
    row->addSpacing(8);
    row->addLayout(texts, 1);
    row->addWidget(m_pOkButton, 0, Qt::AlignTop);

    adjustSize();
    setFixedSize(size().expandedTo(QSize(std::max(235 * 3 / 2, CaptionWidth(windowTitle())), 55 * 13 / 8)));
}

}  // namespace vexo::gui
