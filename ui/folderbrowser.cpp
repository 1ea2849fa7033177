// folderbrowser.cpp - the folders-only list in which the pack-to and unpack-to dialogs choose a folder.
#include "ui/folderbrowser.h"

#include "shellview/explistview.h"

#include <QVBoxLayout>

namespace zor {

namespace {

// The dialogs' lists keep columns of one fixed width instead of sharing out
// the list's width, which is not known yet when the dialog first reads a
// folder.
class DialogFolderView final : public TExpListView {
public:
    using TExpListView::TExpListView;

protected:
    void DoResizeColumns() override {
        for (int column = 0; column < ColumnCount(); ++column) setColumnWidth(column, kColumnWidth);
    }

private:
    static constexpr int kColumnWidth = 125;
};

}  // namespace

FolderBrowser* createFolderBrowser(const QString& objectName, QWidget* parent) {
    FolderBrowser* browser = new ShellFolderBrowser(parent);
    browser->setObjectName(objectName);
    return browser;
}

ShellFolderBrowser::ShellFolderBrowser(QWidget* parent) : FolderBrowser(parent), view_(new DialogFolderView(this)) {
    view_->setObjectName(QStringLiteral("FolderView"));
    view_->SetFoldersOnly(true);
    view_->SetAutoLaunch(false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view_);
    // The dialogs put the browser in their Tab order; the list inside is what takes the focus.
    setFocusPolicy(view_->focusPolicy());
    setFocusProxy(view_);
    connect(view_, &TExpListView::OnChangeFolder, this, &ShellFolderBrowser::viewChangedFolder);
    connect(view_, &TExpListView::OnItemActivate, this, [this] {
        activating_ = true;
        // Activation runs to its end within this event; whatever it did not
        // change by then, it will not change.
        QMetaObject::invokeMethod(this, [this] { activating_ = false; }, Qt::QueuedConnection);
    });
}

void ShellFolderBrowser::showFolder(const QString& path) {
    if (path.isEmpty())
        view_->SetPIDL(ItemIdList::Computer());
    else
        view_->SetFolder(path);
    // Activated after the folder is set, so the view reads only that one.
    if (!view_->Active()) view_->SetActive(true);
}

QString ShellFolderBrowser::folder() const {
    return view_->Folder();
}

void ShellFolderBrowser::up() {
    view_->Up();
}

void ShellFolderBrowser::viewChangedFolder() {
    emit folderChanged();
    if (activating_) {
        activating_ = false;
        emit itemActivated();
    }
}

}  // namespace zor
