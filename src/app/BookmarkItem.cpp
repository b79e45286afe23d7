#include "app/BookmarkItem.h"

#include <QPainter>
#include <QPixmap>

namespace volumira {

namespace {

QIcon paintedIcon(bool group) {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter g(&pixmap);
    g.setRenderHint(QPainter::Antialiasing);
    g.setPen(QPen(QColor(60, 60, 60), 1.0));
    if (group) {
        g.setBrush(QColor(240, 200, 90));
        g.drawPolygon(QPolygonF({{1.5, 3.5}, {6.5, 3.5}, {8, 5.5}, {14.5, 5.5}, {14.5, 13.5}, {1.5, 13.5}}));
    } else {
        g.setBrush(QColor(200, 50, 50));
        g.drawPolygon(QPolygonF({{4.5, 1.5}, {11.5, 1.5}, {11.5, 14.5}, {8, 11}, {4.5, 14.5}}));
    }
    return QIcon(pixmap);
}

} // namespace

QIcon bookmarkGroupIcon() {
    static const QIcon icon = paintedIcon(true);
    return icon;
}

QIcon bookmarkIcon() {
    static const QIcon icon = paintedIcon(false);
    return icon;
}

BookmarkItem::BookmarkItem(const QString& groupName) : QTreeWidgetItem(kType) {
    setText(0, groupName);
    setIcon(0, bookmarkGroupIcon());
    setFlags(flags() | Qt::ItemIsEditable);
}

BookmarkItem::BookmarkItem(std::unique_ptr<Bookmark> bookmark)
    : QTreeWidgetItem(kType), bookmark_(std::move(bookmark)) {
    setText(0, QString::fromStdString(bookmark_->name()));
    setIcon(0, bookmarkIcon());
    setFlags(flags() | Qt::ItemIsEditable);
}

std::unique_ptr<BookmarkItem> BookmarkItem::copySubtree() const {
    auto copy = bookmark_ ? std::make_unique<BookmarkItem>(std::make_unique<Bookmark>(*bookmark_))
                          : std::make_unique<BookmarkItem>(text(0));
    copy->setText(0, text(0));
    copy->setIcon(0, icon(0));
    for (int i = 0; i < childCount(); ++i)
        if (const BookmarkItem* child = asBookmarkItem(this->child(i)))
            copy->addChild(child->copySubtree().release());
    return copy;
}

BookmarkItem* asBookmarkItem(QTreeWidgetItem* item) {
    return item && item->type() == BookmarkItem::kType ? static_cast<BookmarkItem*>(item) : nullptr;
}

const BookmarkItem* asBookmarkItem(const QTreeWidgetItem* item) {
    return item && item->type() == BookmarkItem::kType ? static_cast<const BookmarkItem*>(item) : nullptr;
}

} // namespace volumira
