#include "thumbnails/ThumbnailIcons.h"

#include <cmath>

namespace volumira {

namespace {

constexpr int kSize = kThumbnailIconSize;

struct Canvas {
    std::vector<std::uint8_t> bgra = std::vector<std::uint8_t>(static_cast<std::size_t>(kSize * kSize * 4), 0);

    // (x, y) with y down from the top row; red, green, blue as bytes, always opaque.
    void set(int x, int y, int r, int g, int b) {
        if (x < 0 || y < 0 || x >= kSize || y >= kSize) return;
        std::uint8_t* p = &bgra[static_cast<std::size_t>((y * kSize + x) * 4)];
        p[0] = static_cast<std::uint8_t>(b);
        p[1] = static_cast<std::uint8_t>(g);
        p[2] = static_cast<std::uint8_t>(r);
        p[3] = 255;
    }
    // A round plate behind each picture, so that the buttons read as buttons on black.
    void plate() {
        for (int y = 0; y < kSize; ++y)
            for (int x = 0; x < kSize; ++x) {
                const double dx = x - 7.5, dy = y - 7.5;
                if (dx * dx + dy * dy <= 7.6 * 7.6) set(x, y, 70, 80, 100);
            }
    }
    // A solid triangle pointing left (direction -1) or right (1) with its tip at column tipX.
    void triangle(int tipX, int direction, int halfHeight) {
        for (int column = 0; column <= halfHeight; ++column) {
            const int x = tipX - direction * column;
            for (int y = 8 - column; y < 8 + column; ++y)
                set(x, y, 235, 235, 235);
        }
    }
    void bar(int x0, int x1, int y0, int y1, int r, int g, int b) {
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x)
                set(x, y, r, g, b);
    }
    void ring(double cx, double cy, double radius, int r, int g, int b) {
        for (int y = 0; y < kSize; ++y)
            for (int x = 0; x < kSize; ++x) {
                const double d = std::hypot(x - cx, y - cy);
                if (d >= radius - 0.8 && d <= radius + 0.6) set(x, y, r, g, b);
            }
    }
};

} // namespace

std::vector<std::uint8_t> thumbnailIconPixels(ThumbnailIcon icon) {
    Canvas c;
    switch (icon) {
    case ThumbnailIcon::kFirstPage:
        c.plate();
        c.bar(3, 4, 3, 12, 235, 235, 235);
        c.triangle(5, -1, 5);
        break;
    case ThumbnailIcon::kPreviousPage:
        c.plate();
        c.triangle(4, -1, 5);
        break;
    case ThumbnailIcon::kNextPage:
        c.plate();
        c.triangle(11, 1, 5);
        break;
    case ThumbnailIcon::kLastPage:
        c.plate();
        c.bar(11, 12, 3, 12, 235, 235, 235);
        c.triangle(10, 1, 5);
        break;
    case ThumbnailIcon::kAnimation:
        // A circular arrow: turning on or off the rotation of the thumbnails.
        c.plate();
        for (int y = 0; y < kSize; ++y)
            for (int x = 0; x < kSize; ++x) {
                const double dx = x - 7.5, dy = y - 7.5, d = std::hypot(dx, dy);
                if (d >= 3.6 && d <= 5.4 && !(dx > 0 && dy < 0 && dy > -3.5)) c.set(x, y, 235, 235, 235);
            }
        c.bar(10, 13, 4, 5, 235, 235, 235);
        c.bar(12, 13, 2, 5, 235, 235, 235);
        break;
    case ThumbnailIcon::kAllExperiments:
        // A stack of three sheets: every image series of the gene.
        for (int k = 0; k < 3; ++k) {
            const int x0 = 1 + 3 * k, y0 = 8 - 3 * k;
            c.bar(x0, x0 + 8, y0, y0 + 6, 40, 40, 60);
            c.bar(x0 + 1, x0 + 7, y0 + 1, y0 + 5, 120 + 50 * k, 170 + 30 * k, 230);
        }
        break;
    case ThumbnailIcon::kSimilarGenes:
        // Two overlapping rings: genes that look alike.
        c.ring(5.5, 8.0, 4.3, 250, 180, 60);
        c.ring(10.5, 8.0, 4.3, 90, 200, 250);
        break;
    }
    return c.bgra;
}

} // namespace volumira
