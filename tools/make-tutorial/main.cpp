// make-tutorial IN.md OUT.pdf: typesets the tutorial text (Markdown) into the PDF that the Help menu opens.
// A build-time tool: it runs without a display, on Qt's offscreen platform.

#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QGuiApplication>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QTextDocument>
#include <cstdio>
#include <cstdlib>

namespace {

int fail(const QString& message) {
    std::fprintf(stderr, "make-tutorial: error: %s\n", qPrintable(message));
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make-tutorial IN.md OUT.pdf\n");
        return 2;
    }
    // No build machine is expected to have a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    const QString input = QString::fromLocal8Bit(argv[1]);
    const QString output = QString::fromLocal8Bit(argv[2]);

    QFile source(input);
    if (!source.open(QIODevice::ReadOnly)) return fail("cannot read " + input + ": " + source.errorString());
    const QString text = QString::fromUtf8(source.readAll());
    if (text.trimmed().isEmpty()) return fail(input + " is empty");

    QTextDocument document;
    QFont font("DejaVu Sans");
    font.setPointSizeF(10.5);
    document.setDefaultFont(font);
    document.setDefaultStyleSheet("h1 { color: #2b4a7a; } h2 { color: #2b4a7a; } code { font-family: 'DejaVu Sans Mono'; }");
    document.setMarkdown(text);

    // Written beside the target and renamed, so that an interrupted run leaves no half PDF behind.
    const QString partial = output + ".partial";
    {
        QPdfWriter writer(partial);
        writer.setTitle("Volumira Tutorial");
        writer.setCreator("Volumira make-tutorial");
        writer.setResolution(300);
        if (!writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                              QMarginsF(20, 20, 20, 20), QPageLayout::Millimeter)))
            return fail("cannot set the page layout");
        document.print(&writer);
    }
    if (QFileInfo(partial).size() == 0) {
        QFile::remove(partial);
        return fail("cannot write " + output);
    }
    QFile::remove(output);
    if (!QFile::rename(partial, output)) return fail("cannot write " + output);
    return 0;
}
