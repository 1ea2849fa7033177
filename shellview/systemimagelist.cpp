// systemimagelist.cpp - file-type icons and type names from the MIME database and the icon theme.
#include "shellview/systemimagelist.h"

#include <QFileInfo>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace zor {

namespace {

const QString kFolderMime = QStringLiteral("inode/directory");

QString TypeNameFromComment(const QString& comment) {
    QString name = comment.left(TdfsSystemImageList::kMaxTypeName);
    if (!name.isEmpty()) name[0] = name[0].toUpper();
    return name;
}

// A small white tile with a bent arrow in the lower left corner, the usual
// sign of a link.
void DrawLinkArrow(QPainter& painter, int size) {
    const qreal tile = qMax(7.0, size * 0.45);
    const QRectF box(0.5, size - tile - 0.5, tile, tile);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(Qt::white);
    painter.drawRect(box);

    const qreal m = tile * 0.22;
    QPainterPath arrow;
    arrow.moveTo(box.left() + m, box.bottom() - m);
    arrow.quadTo(box.left() + m, box.top() + m * 1.6, box.right() - m * 1.4, box.top() + m * 1.6);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(Qt::black, qMax(1.0, tile / 8)));
    painter.drawPath(arrow);
    QPolygonF head;
    head << QPointF(box.right() - m, box.top() + m * 1.6) << QPointF(box.right() - m * 2.2, box.top() + m * 0.5)
         << QPointF(box.right() - m * 2.2, box.top() + m * 2.7);
    painter.setBrush(Qt::black);
    painter.drawPolygon(head);
}

}  // namespace

TdfsSystemImageList::TdfsSystemImageList(ImageSize size) : size_(size) {}

int TdfsSystemImageList::pixelSize() const { return size_ == ImageSize::Large ? 32 : 16; }

int TdfsSystemImageList::IconIndex(const QString& fileName, bool isFolder) {
    return GetFileInfo(fileName, isFolder).iconIndex;
}

TdfsSystemImageList::FileInfo TdfsSystemImageList::GetFileInfo(const QString& fileName, bool isFolder) {
    const QFileInfo file(fileName);
    if (!file.exists()) return GetFileInfoByName(fileName, isFolder);
    return InfoForMimeType(mimes_.mimeTypeForFile(file), file.isDir());
}

TdfsSystemImageList::FileInfo TdfsSystemImageList::GetFileInfoByName(const QString& fileName, bool isFolder) {
    if (isFolder) return InfoForMimeType(mimes_.mimeTypeForName(kFolderMime), true);
    return InfoForMimeType(mimes_.mimeTypeForFile(fileName, QMimeDatabase::MatchExtension), false);
}

TdfsSystemImageList::FileInfo TdfsSystemImageList::ItemInfo(const TListShellInfo& item) {
    switch (item.absoluteId.kind()) {
    case ItemIdList::Kind::Desktop:
    case ItemIdList::Kind::Computer: {
        const int index = IndexFor(QStringLiteral(":computer"),
                                   [this] { return provider_.icon(QFileIconProvider::Computer); });
        return {index, QStringLiteral("System folder")};
    }
    case ItemIdList::Kind::FileSystem: break;
    }
    if (!item.fileSystemType.isEmpty()) {
        const int index =
            IndexFor(QStringLiteral(":volume"), [this] { return provider_.icon(QFileIconProvider::Drive); });
        return {index, QStringLiteral("Volume")};
    }
    if (!QFileInfo(item.absoluteId.path()).exists()) {
        // A dangling link: named by its extension, with the plain file picture.
        return GetFileInfoByName(item.relativeId, false);
    }
    return GetFileInfo(item.absoluteId.path(), item.folder);
}

const QString& TdfsSystemImageList::ItemTypeName(const TListShellInfo& item) {
    if (!item.typeName) item.typeName = ItemInfo(item).typeName;
    return *item.typeName;
}

QIcon TdfsSystemImageList::Icon(int index) const {
    if (index < 0 || index >= Count()) return QIcon();
    return icons_[static_cast<size_t>(index)];
}

QIcon TdfsSystemImageList::DecoratedIcon(int index, bool link, bool ghosted) {
    if (!link && !ghosted) return Icon(index);
    const QString key = QStringLiteral("%1/%2/%3").arg(index).arg(link).arg(ghosted);
    const auto found = decorated_.constFind(key);
    if (found != decorated_.constEnd()) return *found;

    const int size = pixelSize();
    QPixmap picture(size, size);
    picture.fill(Qt::transparent);
    {
        QPainter painter(&picture);
        if (ghosted) painter.setOpacity(0.5);
        painter.drawPixmap(0, 0, Icon(index).pixmap(size, size));
        painter.setOpacity(1.0);
        if (link) DrawLinkArrow(painter, size);
    }
    const QIcon icon(picture);
    decorated_.insert(key, icon);
    return icon;
}

TdfsSystemImageList::FileInfo TdfsSystemImageList::InfoForMimeType(const QMimeType& mime, bool isFolder) {
    const int index = IndexFor(mime.name(), [&] {
        const QIcon plain = provider_.icon(isFolder ? QFileIconProvider::Folder : QFileIconProvider::File);
        return QIcon::fromTheme(mime.iconName(), QIcon::fromTheme(mime.genericIconName(), plain));
    });
    return {index, TypeNameFromComment(mime.comment())};
}

int TdfsSystemImageList::IndexFor(const QString& key, const std::function<QIcon()>& make) {
    const auto found = indexByKey_.constFind(key);
    if (found != indexByKey_.constEnd()) return *found;
    const int index = Count();
    icons_.push_back(make());
    indexByKey_.insert(key, index);
    return index;
}

}  // namespace zor
