// unpackto.h - the unpack-to dialog: the folder an archive is extracted into.
//
// On OK the dialog closes and asks for extraction with
// unpackRequested(folder); the main window connects that to its extraction.
#pragma once

#include "ui/folderdialog.h"

class QLabel;
class QLineEdit;

namespace zor {

class TUnPackToBox : public FolderChoiceDialog {
    Q_OBJECT
public:
    explicit TUnPackToBox(QWidget* parent = nullptr);

    // The on-show steps (depth, working folder, path), then the modal loop;
    // returns the modal result (mrOk or mrCancel).
    int execAt(int32_t folderDepth);
    void prepareToShow(int32_t folderDepth);

    QString extractionPath() const;

    void OKClick();

signals:
    void unpackRequested(const QString& folder);
    // A recoverable error for the main window's error report.
    void errorReported(const QString& text);

protected:
    QLineEdit* pathField() const override { return UnPackName; }

private:
    QLabel* Label1;
    QLineEdit* UnPackName;
};

}  // namespace zor
