// folderbrowser.h - the folders-only list in which the pack-to and unpack-to dialogs choose a folder.
//
// The dialogs see only this interface, so the list behind it can be the
// shell folder view or a stand-in in tests. Above "/" lie the virtual levels
// (the volumes, then the desktop) with no path of their own (folder() is
// empty there).
#pragma once

#include <QString>
#include <QWidget>

namespace zor {

class TExpListView;

class FolderBrowser : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;

    // Shows `path` ("" for the virtual level above "/") and reports
    // folderChanged() when the folder shown is a different one.
    virtual void showFolder(const QString& path) = 0;
    // The file-system path of the folder shown; empty at the virtual level.
    virtual QString folder() const = 0;
    // Shows the parent folder; at the virtual level it stays there.
    virtual void up() = 0;

signals:
    void folderChanged();
    // A row was double-clicked or chosen with Enter and the list opened it
    // (reported after the folderChanged() it caused).
    void itemActivated();
};

// The folder list the dialogs embed: report view with the columns "Name",
// "Size" (right-aligned), "Type" and "Modified", folders only.
FolderBrowser* createFolderBrowser(const QString& objectName, QWidget* parent);

// The shell folder view in folders-only mode behind the interface above.
class ShellFolderBrowser final : public FolderBrowser {
    Q_OBJECT
public:
    explicit ShellFolderBrowser(QWidget* parent = nullptr);

    void showFolder(const QString& path) override;
    QString folder() const override;
    void up() override;

    TExpListView* view() const { return view_; }

private:
    void viewChangedFolder();

    TExpListView* view_;
    // Set while the view acts on an activated row, so that the folder change
    // it causes is reported as an opened folder.
    bool activating_ = false;
};

}  // namespace zor
