// packto.cpp - the pack-to dialog: where the new archive goes and what it is called.
#include "ui/packto.h"

#include "ui/archivename.h"
#include "ui/folderbrowser.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace zor {

TPackToBox::TPackToBox(QWidget* parent)
    : FolderChoiceDialog(QStringLiteral("BrowsePackTo"), parent),
      Label2(new QLabel(QStringLiteral("Directory:"), this)),
      DirName(new QLineEdit(this)),
      Label1(new QLabel(QStringLiteral("Archive name:"), this)),
      ArchiveName(new QLineEdit(this)) {
    setObjectName(QStringLiteral("PackToBox"));
    setWindowTitle(QStringLiteral("Archive name and options"));
    Label2->setObjectName(QStringLiteral("Label2"));
    Label1->setObjectName(QStringLiteral("Label1"));
    DirName->setObjectName(QStringLiteral("DirName"));
    // Display only, and not cut at a length limit: a cut path would put the
    // archive somewhere else.
    DirName->setEnabled(false);
    ArchiveName->setObjectName(QStringLiteral("ArchiveName"));
    ArchiveName->setMaxLength(kArchiveNameLimit);
    Label1->setBuddy(ArchiveName);

    auto* fields = new QGridLayout;
    fields->addWidget(Label2, 0, 0);
    fields->addWidget(DirName, 0, 1);
    fields->addWidget(Label1, 1, 0);
    fields->addWidget(ArchiveName, 1, 1);
    auto* upRow = new QHBoxLayout;
    upRow->addWidget(upButton());
    upRow->addStretch();
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(okButton());
    buttons->addWidget(cancelButton());
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addLayout(upRow);
    layout->addWidget(browser(), 1);
    layout->addLayout(buttons);
    chainTabOrder({ArchiveName, upButton(), browser(), okButton(), cancelButton()});
    fixClientSize(536, 322);
}

void TPackToBox::prepareToShow(int32_t folderDepth) {
    FolderChoiceDialog::prepareToShow(folderDepth);
    ArchiveName->setText(proposedBaseName_ + QStringLiteral(".zor"));
    ArchiveName->setFocus();
}

void TPackToBox::OKClick() {
    archivePath_.clear();
    const QString name = ArchiveName->text();
    if (name.isEmpty()) {
        emit errorReported(QStringLiteral("You have to enter an archive name"));
        return;
    }
    hide();
    archivePath_ = joinArchivePath(DirName->text(), forceZorExtension(name));
    emit packRequested(archivePath_);
}

}  // namespace zor
