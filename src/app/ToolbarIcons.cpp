#include "app/ToolbarIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace volumira {

namespace {

constexpr int kWidth = 16, kHeight = 15;
const QColor kInk(40, 40, 40);
const QColor kAccent(30, 90, 200);

// The outline of a brain seen from the side, used by the section pictures.
QPainterPath brain() {
    QPainterPath p;
    p.addEllipse(QRectF(1.5, 3.5, 13, 9));
    return p;
}

void draw(QPainter& g, CommandId id) {
    using I = CommandId;
    g.setRenderHint(QPainter::Antialiasing);
    g.setPen(QPen(kInk, 1.2));
    switch (id) {
    case I::OpenGene:
        g.setBrush(QColor(240, 200, 90));
        g.drawPolygon(QPolygonF({{1, 4}, {6, 4}, {7, 5.5}, {14, 5.5}, {14, 13}, {1, 13}}));
        break;
    case I::CloseGene:
        g.setPen(QPen(QColor(190, 30, 30), 2.2));
        g.drawLine(QPointF(3.5, 3), QPointF(12.5, 12));
        g.drawLine(QPointF(12.5, 3), QPointF(3.5, 12));
        break;
    case I::AnatomicSearch:
        g.setBrush(QColor(210, 230, 250));
        g.drawEllipse(QRectF(1.5, 1.5, 8.5, 8.5));
        g.setPen(QPen(kInk, 2.4));
        g.drawLine(QPointF(9.5, 9.5), QPointF(14, 14));
        break;
    case I::ToolRotate:
        g.setPen(QPen(kAccent, 1.8));
        g.drawArc(QRectF(2.5, 2.5, 11, 10), 30 * 16, 280 * 16);
        g.setBrush(kAccent);
        g.drawPolygon(QPolygonF({{11, 1}, {15, 4.5}, {10.5, 6}}));
        break;
    case I::ToolPan:
        g.setPen(QPen(kAccent, 1.6));
        g.drawLine(QPointF(8, 1.5), QPointF(8, 13.5));
        g.drawLine(QPointF(1.5, 7.5), QPointF(14.5, 7.5));
        g.setBrush(kAccent);
        for (const auto& tip : {QPolygonF({{8, 0.5}, {5.5, 3.5}, {10.5, 3.5}}), QPolygonF({{8, 14.5}, {5.5, 11.5}, {10.5, 11.5}}),
                                QPolygonF({{0.5, 7.5}, {3.5, 5}, {3.5, 10}}), QPolygonF({{15.5, 7.5}, {12.5, 5}, {12.5, 10}})})
            g.drawPolygon(tip);
        break;
    case I::ToolSelect:
        g.setBrush(Qt::white);
        g.drawPolygon(QPolygonF({{4, 1}, {4, 13}, {7, 10}, {9.5, 14.5}, {11.5, 13.5}, {9, 9}, {13, 9}}));
        break;
    case I::SagittalSections:
    case I::CoronalSections:
    case I::HorizontalSections: {
        g.setBrush(QColor(225, 200, 200));
        g.drawPath(brain());
        g.setPen(QPen(kAccent, 2));
        if (id == I::CoronalSections) g.drawLine(QPointF(8, 1), QPointF(8, 14));
        if (id == I::HorizontalSections) g.drawLine(QPointF(0.5, 8), QPointF(15.5, 8));
        if (id == I::SagittalSections) {
            g.setBrush(QColor(120, 160, 230, 160));
            g.drawPolygon(QPolygonF({{2, 5}, {12, 2}, {14, 10}, {4, 13}}));
        }
        break;
    }
    case I::CenterOnSelection:
        g.setPen(QPen(kInk, 1.2));
        g.drawEllipse(QRectF(3, 2.5, 10, 10));
        g.drawLine(QPointF(8, 0.5), QPointF(8, 14.5));
        g.drawLine(QPointF(1, 7.5), QPointF(15, 7.5));
        g.setBrush(QColor(200, 40, 40));
        g.drawEllipse(QRectF(6.5, 6, 3, 3));
        break;
    case I::ClippingPlanes:
        g.setBrush(QColor(200, 220, 200));
        g.drawRect(QRectF(2.5, 4.5, 8, 8));
        g.drawPolygon(QPolygonF({{2.5, 4.5}, {5.5, 1.5}, {13.5, 1.5}, {10.5, 4.5}}));
        g.drawPolygon(QPolygonF({{10.5, 4.5}, {13.5, 1.5}, {13.5, 9.5}, {10.5, 12.5}}));
        break;
    case I::ExpandedView:
        g.setBrush(Qt::white);
        g.drawRect(QRectF(1.5, 1.5, 13, 12));
        g.setBrush(QColor(190, 200, 220));
        g.drawRect(QRectF(10, 1.5, 4.5, 12));
        break;
    default: break;
    }
}

} // namespace

QIcon toolbarIcon(CommandId id) {
    QPixmap pixmap(kWidth, kHeight);
    pixmap.fill(Qt::transparent);
    QPainter g(&pixmap);
    draw(g, id);
    g.end();
    return QIcon(pixmap);
}

} // namespace volumira
