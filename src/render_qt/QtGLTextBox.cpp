#include "render_qt/QtGLTextBox.h"

#include "render/GL.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <algorithm>
#include <cstring>

namespace volumira {

namespace {

QFont boxFont(bool smallFont) {
    if (!smallFont) return QGuiApplication::font();
    QFont font(QStringLiteral("Arial"));
    font.setPointSize(8);
    font.setWeight(QFont::Normal);
    return font;
}

Qt::Alignment horizontalAlignment(int alignment) {
    if (alignment == 1) return Qt::AlignHCenter;
    if (alignment == 2) return Qt::AlignRight;
    return Qt::AlignLeft;
}

} // namespace

QtGLTextBox::QtGLTextBox(int width, int lines, bool smallFont, int alignment)
    : width_(std::max(width, 1)), height_(0), alignment_(alignment), font_(boxFont(smallFont)) {
    lineHeight_ = QFontMetrics(font_).height();
    lines_ = std::max(lines, 1);
    height_ = lines_ * lineHeight_;
    image_ = QImage(width_, height_, QImage::Format_ARGB32);
    image_.fill(Qt::black);
}

void QtGLTextBox::setText(const std::string& text) {
    text_ = text;
    QString wide = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    image_.fill(Qt::black);
    const QRect box(0, 0, width_, height_);
    const QFontMetrics metrics(font_);
    // Text of as many lines as the box shows has each line shortened with an ellipsis rather than wrapped:
    // a wrapped line would push the last ones (a result's score, a cell's section) out of the box.
    int wrap = Qt::TextWordWrap;
    if (QStringList lines = wide.split(u'\n'); lines.size() >= lines_) {
        for (QString& line : lines)
            line = metrics.elidedText(line, Qt::ElideRight, width_);
        wide = lines.join(u'\n');
        wrap = 0;
    }
    const QRect measured = metrics.boundingRect(box, Qt::AlignLeft | Qt::AlignTop | wrap, wide);
    textWidth_ = std::min(measured.width(), width_);
    textHeight_ = measured.height();
    QPainter painter(&image_);
    painter.setFont(font_);
    painter.setPen(Qt::white);
    painter.drawText(box, horizontalAlignment(alignment_) | Qt::AlignTop | wrap, wide);
    painter.end();
    // White on black: the coverage in a colour byte becomes alpha, the colours are premultiplied.
    for (int row = 0; row < height_; ++row) {
        uchar* p = image_.scanLine(row);
        for (int column = 0; column < width_; ++column, p += 4)
            p[3] = p[1];
    }
    stale_ = true;
}

void QtGLTextBox::uploadIfStale() {
    if (!stale_) return;
    if (texture_.texture() == 0) texture_.create(width_, height_, TextureImage::kFormatBgra);
    for (int row = 0; row < height_; ++row)
        std::memcpy(texture_.pixels() + static_cast<std::size_t>(row) * width_ * 4, image_.constScanLine(row),
                    static_cast<std::size_t>(width_) * 4);
    texture_.upload();
    stale_ = false;
}

void QtGLTextBox::draw(int x, int y) {
    if (text_.empty()) return;
    uploadIfStale();
    if (background_) {
        glColor4f(0.1f, 0.1f, 0.1f, 0.75f);
        glBegin(GL_QUADS);
        const int x0 = x - 6, y0 = y + height_ - textHeight_ - 4, x1 = x + textWidth_ + 12,
                  y1 = y + height_ + 4;
        glVertex2i(x0, y0);
        glVertex2i(x1, y0);
        glVertex2i(x1, y1);
        glVertex2i(x0, y1);
        glEnd();
    }
    texture_.drawAt(x, y);
}

std::unique_ptr<GLTextBox> createQtTextBox(int width, int lines, bool smallFont, int alignment) {
    return std::make_unique<QtGLTextBox>(width, lines, smallFont, alignment);
}

} // namespace volumira
