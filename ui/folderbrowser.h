// folderbrowser.h - the folders-only list in which the pack-to and unpack-to dialogs choose a folder.
//
// The dialogs see only this interface, so the list behind it can be the
// shell folder view or the simple stand-in below. Above "/" lies a virtual
// level with no path of its own (folder() is empty there).
#pragma once

#include <QString>
#include <QWidget>

class QTreeWidget;
class QTreeWidgetItem;

namespace zor {

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
    // A row was double-clicked or chosen with Enter; the list has already
    // opened it.
    void itemActivated();
};

// The folder list the dialogs embed: report view with the columns "Name",
// "Size" (right-aligned), "Type" and "Modified", folders only.
FolderBrowser* createFolderBrowser(const QString& objectName, QWidget* parent);

// Stand-in list of sub-folders read with QDir, until the shell folder view
// takes its place.
class SubfolderList final : public FolderBrowser {
    Q_OBJECT
public:
    explicit SubfolderList(QWidget* parent = nullptr);

    void showFolder(const QString& path) override;
    QString folder() const override { return folder_; }
    void up() override;

private:
    void fill();
    void activate(QTreeWidgetItem* item);

    QTreeWidget* list_;
    QString folder_;
    bool shown_ = false;
};

}  // namespace zor
