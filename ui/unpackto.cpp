// unpackto.cpp - the unpack-to dialog: the folder an archive is extracted into.
#include "ui/unpackto.h"

#include "ui/folderbrowser.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace zor {

TUnPackToBox::TUnPackToBox(QWidget* parent)
    : FolderChoiceDialog(QStringLiteral("BrowseUnPackTo"), parent),
      Label1(new QLabel(QStringLiteral("Extraction path:"), this)),
      UnPackName(new QLineEdit(this)) {
    setObjectName(QStringLiteral("UnPackToBox"));
    setWindowTitle(QStringLiteral("UnPackToBox"));
    Label1->setObjectName(QStringLiteral("Label1"));
    UnPackName->setObjectName(QStringLiteral("UnPackName"));
    // Display only, and not cut at a length limit: a cut path would extract
    // somewhere else.
    UnPackName->setEnabled(false);
    UnPackName->setReadOnly(true);

    auto* top = new QGridLayout;
    top->addWidget(Label1, 0, 0, 1, 2);
    top->addWidget(UnPackName, 1, 0);
    top->addWidget(upButton(), 1, 1);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(okButton());
    buttons->addWidget(cancelButton());
    buttons->addStretch();
    auto* body = new QHBoxLayout;
    body->addWidget(browser(), 1);
    body->addLayout(buttons);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(body, 1);
    chainTabOrder({upButton(), browser(), okButton(), cancelButton()});
    fixClientSize(536, 348);
}

QString TUnPackToBox::extractionPath() const {
    return UnPackName->text();
}

void TUnPackToBox::OKClick() {
    const QString folder = UnPackName->text();
    if (folder.isEmpty()) {
        emit errorReported(QStringLiteral("You have to choose an extraction path"));
        return;
    }
    hide();
    emit unpackRequested(folder);
}

}  // namespace zor
