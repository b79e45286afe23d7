#pragma once

class QWidget;

namespace volumira {

// The sizes the side panel's rows are drawn with, from the panel's font: the check box width c and
// height h, and the width w of the structure column, which leaves room for the swatch and the two boxes.
struct PanelMetrics {
    int checkWidth = 14;
    int checkHeight = 14;
    int structureColumn = 0;

    static PanelMetrics of(const QWidget& widget);
};

} // namespace volumira
