#pragma once

#include <QGuiApplication>

namespace volumira::test {

// The one QGuiApplication of a test binary, on the offscreen platform: QPainter needs the application's
// font database, and the offscreen platform needs no display server.
inline void ensureQtApplication() {
    if (QGuiApplication::instance()) return;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "volumira_render_test";
    static char* argv[] = {name, nullptr};
    static QGuiApplication app(argc, argv);
}

} // namespace volumira::test
