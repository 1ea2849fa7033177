// settingsbox.h - the settings dialog: an empty "General" and "Compression" frame; nothing is read from it.
#pragma once

#include "ui/zordialog.h"

class QTabWidget;

namespace zor {

class TSettingsDialog : public ZorDialog {
    Q_OBJECT
public:
    explicit TSettingsDialog(QWidget* parent = nullptr);

private:
    QTabWidget* TabSettings;
    QPushButton* OK;
    QPushButton* Cancel;
};

}  // namespace zor
