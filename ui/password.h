// password.h - the password dialog: the password the next archive is enciphered with.
//
// The dialog itself holds that password: the text buffer and the
// password-set mark stay until the main window clears them, whatever is
// packed in between. OK is only possible with a non-empty password that was
// either typed twice alike or shown in clear.
#pragma once

#include "ui/zordialog.h"

class QCheckBox;
class QLabel;
class QLineEdit;

namespace zor {

class TPasswordBox : public ZorDialog {
    Q_OBJECT
public:
    static constexpr int kPasswordLimit = 50;

    explicit TPasswordBox(QWidget* parent = nullptr);

    // What the packer reads: the confirmed password and whether the next
    // archive is to be enciphered with it.
    QString passwordText() const { return passwordBuffer_; }
    bool passwordSet() const { return passwordSetMark_; }
    // The main window's password menu: forget the password (buffer, mark and
    // the typed fields).
    void clearPassword();

    void PasswordChange();
    void PasswordRepeatChange();
    void ShowPasswordClick();
    void OKClick();

private:
    void updateOkFromFields();

    QLabel* Label1;
    QLineEdit* Password;
    QLabel* Label2;
    QLineEdit* PasswordRepeat;
    QCheckBox* ShowPassword;
    QPushButton* OK;
    QPushButton* Cancel;
    QString passwordBuffer_;
    bool passwordSetMark_ = false;
};

}  // namespace zor
