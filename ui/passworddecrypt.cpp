// passworddecrypt.cpp - the decrypt dialog: asks for the password of an enciphered archive.
#include "ui/passworddecrypt.h"

#include "ui/password.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace zor {

TDecrypt::TDecrypt(QWidget* parent)
    : ZorDialog(parent),
      Label1(new QLabel(QStringLiteral("Enter password to decrypt archive :"), this)),
      PasswordDecrypt(new QLineEdit(this)) {
    setObjectName(QStringLiteral("Decrypt"));
    setWindowTitle(QStringLiteral("Enter password"));
    Label1->setObjectName(QStringLiteral("Label1"));
    PasswordDecrypt->setObjectName(QStringLiteral("PasswordDecrypt"));
    PasswordDecrypt->setMaxLength(TPasswordBox::kPasswordLimit);
    Label1->setBuddy(PasswordDecrypt);

    BitBtn1 = addStandardButton(mrOk, QStringLiteral("BitBtn1"));
    BitBtn1->setDefault(true);
    BitBtn2 = addStandardButton(mrCancel, QStringLiteral("BitBtn2"));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(BitBtn1);
    buttons->addWidget(BitBtn2);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(PasswordDecrypt);
    layout->addLayout(buttons);
    fixClientSize(308, 94);
}

QString TDecrypt::password() const {
    return PasswordDecrypt->text();
}

void TDecrypt::clearPassword() {
    PasswordDecrypt->clear();
}

}  // namespace zor
