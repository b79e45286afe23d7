#include "app/PanelMetrics.h"

#include <QFontMetrics>
#include <QStyle>
#include <QWidget>

namespace volumira {

PanelMetrics PanelMetrics::of(const QWidget& widget) {
    // Dialog base units: the average character width and the line height of the font.
    const QFontMetrics fm(widget.font());
    PanelMetrics m;
    m.checkWidth = fm.averageCharWidth() * 7 / 4;
    m.checkHeight = fm.height() * 7 / 8;
    const int scrollBar = widget.style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, &widget);
    m.structureColumn = 339 - 3 * m.checkWidth - scrollBar;
    return m;
}

} // namespace volumira
