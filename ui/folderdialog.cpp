// folderdialog.cpp - what the pack-to and unpack-to dialogs share: a folder list, its up button, OK/Cancel and the dialog depth.
#include "ui/folderdialog.h"

#include "ui/folderbrowser.h"
#include "ui/uiresources.h"

#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

namespace zor {

FolderChoiceDialog::FolderChoiceDialog(const QString& browserName, QWidget* parent)
    : ZorDialog(parent),
      browser_(createFolderBrowser(browserName, this)),
      upButton_(new QToolButton(this)),
      okButton_(addStandardButton(mrOk, QStringLiteral("OK"), [this] { OKClick(); })),
      cancelButton_(addStandardButton(mrCancel, QStringLiteral("Cancel"))) {
    okButton_->setDefault(true);
    upButton_->setObjectName(QStringLiteral("SpeedButton1"));
    upButton_->setAutoRaise(true);
    upButton_->setIcon(zorIcon(QStringLiteral("up")));
    upButton_->setFixedSize(23, 19);
    connect(upButton_, &QToolButton::clicked, this, &FolderChoiceDialog::SpeedButton1Click);
    connect(browser_, &FolderBrowser::folderChanged, this, &FolderChoiceDialog::BrowserChangeFolder);
    connect(browser_, &FolderBrowser::itemActivated, this, &FolderChoiceDialog::BrowserDblClick);
}

void FolderChoiceDialog::prepareToShow(int32_t folderDepth) {
    dialogDepth_ = folderDepth;
    browser_->showFolder(QDir::currentPath());
    // The list reports no change when it already showed that folder.
    BrowserChangeFolder();
}

int FolderChoiceDialog::execAt(int32_t folderDepth) {
    prepareToShow(folderDepth);
    return exec();
}

void FolderChoiceDialog::SpeedButton1Click() {
    if (dialogDepth_ > kLowestDepth) --dialogDepth_;
    browser_->up();
}

void FolderChoiceDialog::BrowserChangeFolder() {
    enableOkByDepth();
    pathField()->setText(browser_->folder());
}

void FolderChoiceDialog::BrowserDblClick() {
    ++dialogDepth_;
    enableOkByDepth();
}

void FolderChoiceDialog::enableOkByDepth() {
    // The folder test keeps OK off at the virtual level even when the
    // caller's depth count puts "/" below 1.
    okButton_->setEnabled(dialogDepth_ >= 0 && !browser_->folder().isEmpty());
}

}  // namespace zor
