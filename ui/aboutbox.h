// aboutbox.h - the About dialog: program name, icon, version, build and release date.
#pragma once

#include "ui/zordialog.h"

class QFrame;
class QLabel;

namespace zor {

class TAbout : public ZorDialog {
    Q_OBJECT
public:
    explicit TAbout(QWidget* parent = nullptr);

    // BuildLabel = "Version : " + version + "   Build : " + build;
    // ReleaseLabel = "Release date : " + releaseDate.
    void setVersion(const QString& version, int build, const QString& releaseDate);

private:
    QFrame* Panel1;
    QLabel* ProgramIcon;
    QLabel* ProductName;
    QLabel* BuildLabel;
    QLabel* ReleaseLabel;
    QLabel* Comments;
    QPushButton* BitBtn1;
};

}  // namespace zor
