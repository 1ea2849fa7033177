// passworddecrypt.h - the decrypt dialog: asks for the password of an enciphered archive.
//
// The caller shows it modally and reads password() after an OK (1); Cancel
// (2), or Escape, abandons the operation. The typed text is shown in clear
// and stays in the field for the next archive.
#pragma once

#include "ui/zordialog.h"

class QLabel;
class QLineEdit;

namespace zor {

class TDecrypt : public ZorDialog {
    Q_OBJECT
public:
    explicit TDecrypt(QWidget* parent = nullptr);

    QString password() const;
    // Empties the field, so the next archive's prompt starts blank.
    void clearPassword();

private:
    QLabel* Label1;
    QLineEdit* PasswordDecrypt;
    QPushButton* BitBtn1;
    QPushButton* BitBtn2;
};

}  // namespace zor
