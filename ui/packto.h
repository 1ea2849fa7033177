// packto.h - the pack-to dialog: where the new archive goes and what it is called.
//
// On OK the dialog closes and asks for packing with packRequested(path); the
// main window connects that to its packing operation, which then runs while
// the dialog's modal loop is still on the stack.
#pragma once

#include "ui/folderdialog.h"

class QLabel;
class QLineEdit;

namespace zor {

class TPackToBox : public FolderChoiceDialog {
    Q_OBJECT
public:
    explicit TPackToBox(QWidget* parent = nullptr);

    // Filled by the main window before showing (see proposeArchiveBaseName).
    void setProposedBaseName(const QString& baseName) { proposedBaseName_ = baseName; }
    QString proposedBaseName() const { return proposedBaseName_; }

    // The on-show steps (depth, working folder, name = base + ".zor"), then
    // the modal loop; returns the modal result (mrOk or mrCancel).
    int execAt(int32_t folderDepth);
    void prepareToShow(int32_t folderDepth);

    // The archive path formed by the last OK that started packing; empty
    // when it was refused.
    QString archivePath() const { return archivePath_; }

    void OKClick();

signals:
    void packRequested(const QString& archivePath);
    // A recoverable error for the main window's error report.
    void errorReported(const QString& text);

protected:
    QLineEdit* pathField() const override { return DirName; }

private:
    QLabel* Label2;
    QLineEdit* DirName;
    QLabel* Label1;
    QLineEdit* ArchiveName;
    QString proposedBaseName_;
    QString archivePath_;
};

}  // namespace zor
