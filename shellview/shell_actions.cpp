// shell_actions.cpp - opening, trashing and describing folder-view items through the desktop.
#include "shellview/shell_actions.h"

#include "shellview/modified_column_format.h"

#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QMessageBox>
#include <QUrl>

namespace zor {

bool OpenWithAssociatedProgram(const TListShellInfo& item) {
    if (item.notFileSystem) return false;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(item.absoluteId.path()));
}

bool MoveItemToTrash(const TListShellInfo& item) {
    // Volumes are file-system items too, but a mount point is not something to throw away.
    if (item.notFileSystem || !item.fileSystemType.isEmpty()) return false;
    return QFile::moveToTrash(item.absoluteId.path());
}

QString ItemPropertiesText(const TListShellInfo& item, TdfsSystemImageList& images) {
    const QLocale locale;
    QStringList lines;
    lines << QStringLiteral("Name: ") + item.relativeId;
    lines << QStringLiteral("Type: ") + images.ItemTypeName(item);
    if (item.notFileSystem) return lines.join(QLatin1Char('\n'));

    lines << QStringLiteral("Location: ") + item.absoluteId.path();
    if (!item.folder) {
        lines << QStringLiteral("Size: ") + locale.toString(static_cast<qulonglong>(item.size)) +
                     QStringLiteral(" bytes");
    }
    if (item.modified.isValid()) lines << QStringLiteral("Modified: ") + FormatModifiedColumn(item.modified);
    if (item.link) {
        const QString target = QFileInfo(item.absoluteId.path()).symLinkTarget();
        lines << QStringLiteral("Link to: ") + target;
    }
    return lines.join(QLatin1Char('\n'));
}

void ShowItemProperties(QWidget* parent, const TListShellInfo& item, TdfsSystemImageList& images) {
    auto* box = new QMessageBox(QMessageBox::Information, QStringLiteral("Properties"),
                                ItemPropertiesText(item, images), QMessageBox::Ok, parent);
    box->setObjectName(QStringLiteral("PropertiesBox"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

}  // namespace zor
