// password.cpp - the password dialog: the password the next archive is enciphered with.
#include "ui/password.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace zor {

TPasswordBox::TPasswordBox(QWidget* parent)
    : ZorDialog(parent),
      Label1(new QLabel(QStringLiteral("Password (max. 50 characters and case sensitive) : "), this)),
      Password(new QLineEdit(this)),
      Label2(new QLabel(QStringLiteral("Repeat password : "), this)),
      PasswordRepeat(new QLineEdit(this)),
      ShowPassword(new QCheckBox(QStringLiteral("Show Password"), this)) {
    setObjectName(QStringLiteral("PasswordBox"));
    setWindowTitle(QStringLiteral("Set password"));
    Label1->setObjectName(QStringLiteral("Label1"));
    Label2->setObjectName(QStringLiteral("Label2"));
    Password->setObjectName(QStringLiteral("Password"));
    PasswordRepeat->setObjectName(QStringLiteral("PasswordRepeat"));
    ShowPassword->setObjectName(QStringLiteral("ShowPassword"));
    for (QLineEdit* field : {Password, PasswordRepeat}) {
        field->setMaxLength(kPasswordLimit);
        field->setEchoMode(QLineEdit::Password);
    }
    Label1->setBuddy(Password);
    Label2->setBuddy(PasswordRepeat);

    OK = addStandardButton(mrOk, QStringLiteral("OK"), [this] { OKClick(); });
    OK->setDefault(true);
    OK->setEnabled(false);
    Cancel = addStandardButton(mrCancel, QStringLiteral("Cancel"));

    connect(Password, &QLineEdit::textChanged, this, &TPasswordBox::PasswordChange);
    connect(PasswordRepeat, &QLineEdit::textChanged, this, &TPasswordBox::PasswordRepeatChange);
    connect(ShowPassword, &QCheckBox::clicked, this, &TPasswordBox::ShowPasswordClick);

    // Captions above their fields: the first caption is as wide as the dialog.
    auto* fields = new QVBoxLayout;
    fields->setSpacing(3);
    fields->addWidget(Label1);
    fields->addWidget(Password);
    fields->addSpacing(4);
    fields->addWidget(Label2);
    fields->addWidget(PasswordRepeat);
    fields->addSpacing(4);
    fields->addWidget(ShowPassword);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OK);
    buttons->addWidget(Cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addStretch();
    layout->addLayout(buttons);
    fixClientSize(389, 182);
}

void TPasswordBox::clearPassword() {
    passwordBuffer_.clear();
    passwordSetMark_ = false;
    Password->clear();
    PasswordRepeat->clear();
}

void TPasswordBox::updateOkFromFields() {
    if (ShowPassword->isChecked() && !Password->text().isEmpty())
        OK->setEnabled(true);
    else if (Password->text().isEmpty())
        OK->setEnabled(false);
    else
        OK->setEnabled(Password->text() == PasswordRepeat->text());
}

void TPasswordBox::PasswordChange() {
    updateOkFromFields();
}

void TPasswordBox::PasswordRepeatChange() {
    updateOkFromFields();
}

void TPasswordBox::ShowPasswordClick() {
    const bool shown = ShowPassword->isChecked();
    Password->setEchoMode(shown ? QLineEdit::Normal : QLineEdit::Password);
    Label2->setVisible(!shown);
    PasswordRepeat->setVisible(!shown);
    if (shown) {
        if (!Password->text().isEmpty()) OK->setEnabled(true);
    } else {
        OK->setEnabled(!Password->text().isEmpty() && Password->text() == PasswordRepeat->text());
    }
}

void TPasswordBox::OKClick() {
    if (ShowPassword->isChecked()) PasswordRepeat->setText(Password->text());
    passwordBuffer_ = Password->text();
    passwordSetMark_ = true;
}

}  // namespace zor
