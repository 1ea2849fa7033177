// settingsbox.cpp - the settings dialog: an empty "General" and "Compression" frame; nothing is read from it.
#include "ui/settingsbox.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace zor {

TSettingsDialog::TSettingsDialog(QWidget* parent) : ZorDialog(parent), TabSettings(new QTabWidget(this)) {
    setObjectName(QStringLiteral("SettingsDialog"));
    setWindowTitle(QStringLiteral("SettingsDialog"));
    TabSettings->setObjectName(QStringLiteral("TabSettings"));
    // Long tab rows wrap rather than scroll.
    TabSettings->setUsesScrollButtons(false);
    for (const char* name : {"General", "Compression"}) {
        auto* page = new QWidget(TabSettings);
        page->setObjectName(QLatin1String(name));
        TabSettings->addTab(page, QLatin1String(name));
    }
    TabSettings->setCurrentIndex(0);

    OK = addStandardButton(mrOk, QStringLiteral("OK"));
    OK->setDefault(true);
    Cancel = addStandardButton(mrCancel, QStringLiteral("Cancel"));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OK);
    buttons->addWidget(Cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(TabSettings, 1);
    layout->addLayout(buttons);
    fixClientSize(536, 348);
}

}  // namespace zor
