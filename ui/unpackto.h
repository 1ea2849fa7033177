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

    QString extractionPath() const;

    void OKClick() override;

signals:
    void unpackRequested(const QString& folder);

protected:
    QLineEdit* pathField() const override { return UnPackName; }

private:
    QLabel* Label1;
    QLineEdit* UnPackName;
};

}  // namespace zor
