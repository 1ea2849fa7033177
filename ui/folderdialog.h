// folderdialog.h - what the pack-to and unpack-to dialogs share: a folder list, its up button, OK/Cancel and the dialog depth.
//
// The dialog depth mirrors the main window's folder depth: it is copied from
// it on each showing, rises when a folder is opened in the list and falls
// with the up button. Below 0 the list shows a virtual level (the volumes
// above "/"), where nothing can be created or extracted, so OK stays
// disabled there.
#pragma once

#include "ui/zordialog.h"

#include <cstdint>

class QLineEdit;
class QToolButton;

namespace zor {

class FolderBrowser;

class FolderChoiceDialog : public ZorDialog {
    Q_OBJECT
public:
    // The up button never takes the depth below this.
    static constexpr int32_t kLowestDepth = -2;

    FolderChoiceDialog(const QString& browserName, QWidget* parent);

    int32_t dialogDepth() const { return dialogDepth_; }
    FolderBrowser* browser() const { return browser_; }

    // The steps run each time the dialog is shown (depth = `folderDepth`,
    // the list shows the process's working folder, the fields follow).
    virtual void prepareToShow(int32_t folderDepth);
    // Those steps, then the modal loop; returns mrOk or mrCancel.
    int execAt(int32_t folderDepth);

    // The up button (SpeedButton1).
    void SpeedButton1Click();
    // The OK button's handler; the dialog closes after it in any case.
    virtual void OKClick() = 0;

signals:
    // A recoverable error for the main window's error report.
    void errorReported(const QString& text);

protected:
    // The field that shows the path of the folder in the list.
    virtual QLineEdit* pathField() const = 0;
    QToolButton* upButton() const { return upButton_; }
    QPushButton* okButton() const { return okButton_; }
    QPushButton* cancelButton() const { return cancelButton_; }

private:
    void BrowserChangeFolder();
    void BrowserDblClick();
    void enableOkByDepth();

    FolderBrowser* browser_;
    QToolButton* upButton_;
    QPushButton* okButton_;
    QPushButton* cancelButton_;
    int32_t dialogDepth_ = 0;
};

}  // namespace zor
