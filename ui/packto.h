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

    // Also fills the name: the proposed base name + ".zor".
    void prepareToShow(int32_t folderDepth) override;

    // The archive path formed by the last OK that started packing; empty
    // when it was refused.
    QString archivePath() const { return archivePath_; }

    void OKClick() override;

signals:
    void packRequested(const QString& archivePath);

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
