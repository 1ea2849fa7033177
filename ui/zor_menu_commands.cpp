// zor_menu_commands.cpp - the menu commands that are not archive operations: Exit, Settings, Password, Help, Homepage, About, Update.
#include "ui/zor.h"

#include "ui/aboutbox.h"
#include "ui/ftp_update.h"
#include "ui/password.h"
#include "ui/settingsbox.h"

#include <QAction>
#include <QDesktopServices>
#include <QUrl>

namespace zor {

void TZOR_Main::MenuExitClick() {
    // Operations close their files when they end, so none is open here; the
    // lists are the context's and go with it.
    context_->selection.clear();
    context_->items.clear();
    context_->listSelection.clear();
    exiting_ = true;
    exitProgram_(0);
}

void TZOR_Main::SettingsClick() { SettingsDialog->exec(); }

void TZOR_Main::PasswordClick() {
    if (Password->isChecked()) {
        Password->setChecked(false);
        PasswordBox->clearPassword();
    } else {
        PasswordBox->exec();
        Password->setChecked(PasswordBox->passwordSet() && !PasswordBox->passwordText().isEmpty());
    }
}

void TZOR_Main::Help1Click() {
    QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(state().HelpPath)));
}

void TZOR_Main::HomepageClick() { QDesktopServices::openUrl(QUrl(QLatin1String(kHomepageAddress))); }

void TZOR_Main::About1Click() {
    About->setVersion(QStringLiteral("2.00"), kBuildNumber, QLatin1String(kReleaseDate));
    About->exec();
}

void TZOR_Main::Update1Click() { startUpdateUpload(); }

}  // namespace zor
