// folderbrowser.cpp - the folders-only list in which the pack-to and unpack-to dialogs choose a folder.
#include "ui/folderbrowser.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace zor {

namespace {

constexpr int kColumnWidth = 125;

}  // namespace

FolderBrowser* createFolderBrowser(const QString& objectName, QWidget* parent) {
    FolderBrowser* browser = new SubfolderList(parent);
    browser->setObjectName(objectName);
    return browser;
}

SubfolderList::SubfolderList(QWidget* parent) : FolderBrowser(parent), list_(new QTreeWidget(this)) {
    list_->setObjectName(QStringLiteral("FolderRows"));
    list_->setRootIsDecorated(false);
    list_->setHeaderLabels({QStringLiteral("Name"), QStringLiteral("Size"), QStringLiteral("Type"),
                            QStringLiteral("Modified")});
    list_->headerItem()->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
    for (int column = 0; column < 4; ++column) list_->setColumnWidth(column, kColumnWidth);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(list_);
    connect(list_, &QTreeWidget::itemActivated, this, &SubfolderList::activate);
}

void SubfolderList::showFolder(const QString& path) {
    const QString cleaned = path.isEmpty() ? QString() : QDir::cleanPath(QDir(path).absolutePath());
    if (shown_ && cleaned == folder_) return;
    shown_ = true;
    folder_ = cleaned;
    fill();
    emit folderChanged();
}

void SubfolderList::up() {
    if (folder_.isEmpty()) return;
    if (folder_ == QLatin1String("/")) {
        showFolder(QString());
        return;
    }
    showFolder(QFileInfo(folder_).path());
}

void SubfolderList::fill() {
    list_->clear();
    if (folder_.isEmpty()) {
        auto* root = new QTreeWidgetItem(list_, {QStringLiteral("/"), QString(), QStringLiteral("Folder")});
        root->setData(0, Qt::UserRole, QStringLiteral("/"));
        return;
    }
    const QFileInfoList entries =
        QDir(folder_).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    for (const QFileInfo& entry : entries) {
        auto* row = new QTreeWidgetItem(list_, {entry.fileName(), QString(), QStringLiteral("Folder"),
                                                QLocale().toString(entry.lastModified(), QLocale::ShortFormat)});
        row->setData(0, Qt::UserRole, entry.absoluteFilePath());
    }
}

void SubfolderList::activate(QTreeWidgetItem* item) {
    if (!item) return;
    showFolder(item->data(0, Qt::UserRole).toString());
    emit itemActivated();
}

}  // namespace zor
