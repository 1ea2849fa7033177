// aboutbox.cpp - the About dialog: program name, icon, version, build and release date.
#include "ui/aboutbox.h"

#include "ui/uiresources.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace zor {

TAbout::TAbout(QWidget* parent)
    : ZorDialog(parent),
      Panel1(new QFrame(this)),
      ProgramIcon(new QLabel(Panel1)),
      ProductName(new QLabel(QStringLiteral("ZOR"), Panel1)),
      BuildLabel(new QLabel(Panel1)),
      ReleaseLabel(new QLabel(Panel1)),
      Comments(new QLabel(QStringLiteral("A block-sorting file archiver for Linux."), Panel1)) {
    setObjectName(QStringLiteral("About"));
    setWindowTitle(QStringLiteral("About"));
    setEscapeResult(mrOk);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    ProgramIcon->setObjectName(QStringLiteral("ProgramIcon"));
    ProgramIcon->setPixmap(zorIcon(QStringLiteral("zor")).pixmap(32, 32));
    ProgramIcon->setFixedSize(32, 32);
    ProductName->setObjectName(QStringLiteral("ProductName"));
    QFont nameFont(QStringLiteral("Arial"));
    nameFont.setBold(true);
    nameFont.setPixelSize(29);
    ProductName->setFont(nameFont);
    BuildLabel->setObjectName(QStringLiteral("BuildLabel"));
    ReleaseLabel->setObjectName(QStringLiteral("ReleaseLabel"));
    Comments->setObjectName(QStringLiteral("Comments"));
    Comments->setWordWrap(true);

    BitBtn1 = addStandardButton(mrOk, QStringLiteral("BitBtn1"));
    BitBtn1->setDefault(true);

    auto* panel = new QGridLayout(Panel1);
    panel->addWidget(ProgramIcon, 0, 0, Qt::AlignTop);
    panel->addWidget(ProductName, 0, 1);
    panel->addWidget(BuildLabel, 1, 1);
    panel->addWidget(ReleaseLabel, 2, 1);
    panel->addWidget(Comments, 3, 1);
    panel->setColumnStretch(1, 1);
    panel->setRowStretch(4, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(BitBtn1);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Panel1, 1);
    layout->addLayout(buttons);
    fixClientSize(321, 214);
}

void TAbout::setVersion(const QString& version, int build, const QString& releaseDate) {
    BuildLabel->setText(QStringLiteral("Version : ") + version + QStringLiteral("   Build : ") +
                        QString::number(build));
    ReleaseLabel->setText(QStringLiteral("Release date : ") + releaseDate);
}

}  // namespace zor
