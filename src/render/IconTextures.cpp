#include "render/IconTextures.h"

#include "render/TextureImage.h"

#include <array>
#include <cstring>
#include <string_view>

namespace volumira {

namespace {

constexpr int kIconSize = 16;

// 16 × 16 glyphs: '#' black and opaque, '+' mid grey and opaque, '.' transparent.
using Glyph = std::array<std::string_view, kIconSize>;

constexpr Glyph kClose = {"................", "................", "................", "...##......##...",
                          "....##....##....", ".....##..##.....", "......####......", ".......##.......",
                          "......####......", ".....##..##.....", "....##....##....", "...##......##...",
                          "................", "................", "................", "................"};
constexpr Glyph kCoronal = {"................", ".....######.....", "...##......##...", "..#..........#..",
                            ".#....####....#.", ".#...#....#...#.", "#....#....#....#", "#.....####.....#",
                            "#..............#", "#...##....##...#", ".#..#+#..#+#..#.", ".#...##..##...#.",
                            "..#..........#..", "...##......##...", ".....######.....", "................"};
constexpr Glyph kSagittal = {"................", "................", "......######....", "....##......##..",
                             "..##..........#.", ".#....###......#", "#....#...#.....#", "#.....###......#",
                             "#..............#", ".#....+++++...#.", "..##.........#..", "....###...##....",
                             ".......###......", "................", "................", "................"};
constexpr Glyph kSection = {"................", ".##############.", ".#............#.", ".#..++....++..#.",
                            ".#.++++..++++.#.", ".#..++....++..#.", ".#............#.", ".#....####....#.",
                            ".#...#....#...#.", ".#...#....#...#.", ".#....####....#.", ".#............#.",
                            ".#............#.", ".##############.", "................", "................"};
constexpr Glyph kOpen = {"................", ".........######.", "............###.", "...........##.#.",
                         "..........##..#.", ".#######.##...#.", ".#......##......", ".#.....##.......",
                         ".#..............", ".#..............", ".#.............#", ".#.............#",
                         ".#.............#", ".###############", "................", "................"};

const Glyph* glyphOf(int resource) {
    switch (resource) {
    case kIconClose:
        return &kClose;
    case kIconCoronalPlate:
        return &kCoronal;
    case kIconSagittalPlate:
        return &kSagittal;
    case kIconSectionImage:
        return &kSection;
    case kIconOpenImage:
        return &kOpen;
    default:
        return nullptr;
    }
}

} // namespace

IconBitmap iconBitmap(int resource) {
    IconBitmap icon;
    const Glyph* glyph = glyphOf(resource);
    if (!glyph) return icon;
    icon.width = icon.height = kIconSize;
    icon.bgr.assign(kIconSize * kIconSize * 3, 255);
    icon.opaque.assign(kIconSize * kIconSize, false);
    for (int row = 0; row < kIconSize; ++row) {
        const std::string_view line = (*glyph)[row];
        for (int column = 0; column < kIconSize && column < static_cast<int>(line.size()); ++column) {
            const char c = line[column];
            if (c == '.') continue;
            const std::size_t i = static_cast<std::size_t>(row) * kIconSize + column;
            icon.opaque[i] = true;
            std::memset(&icon.bgr[i * 3], c == '#' ? 0 : 128, 3);
        }
    }
    return icon;
}

void iconPixels(const IconBitmap& icon, bool inverted, std::uint8_t* pixels) {
    const std::size_t count = static_cast<std::size_t>(icon.width) * icon.height;
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* source = &icon.bgr[i * 3];
        std::uint8_t* p = pixels + i * 4;
        if (inverted) {
            for (int c = 0; c < 3; ++c)
                p[c] = static_cast<std::uint8_t>(255 - source[c]);
            p[3] = source[0] == 0 ? 255 : 0;
        } else {
            std::memcpy(p, source, 3);
            p[3] = icon.opaque[i] ? 255 : 0;
        }
    }
}

void brightenPixels(std::uint8_t* pixels, int pixelCount) {
    for (int i = 0; i < pixelCount; ++i) {
        std::uint8_t* p = pixels + static_cast<std::size_t>(i) * 4;
        if (p[3] == 0) continue;
        const bool light = p[0] >= 205;
        for (int c = 0; c < 3; ++c)
            p[c] = light ? 255 : static_cast<std::uint8_t>(p[c] + 50);
    }
}

void loadIconTexture(int resource, TextureImage& texture, bool inverted) {
    const IconBitmap icon = iconBitmap(resource);
    if (icon.width == 0) {
        texture.release();
        return;
    }
    texture.create(icon.width, icon.height, TextureImage::kFormatBgra);
    iconPixels(icon, inverted, texture.pixels());
    texture.upload();
}

void brightenTexture(TextureImage& texture) {
    if (texture.width() == 0) return;
    brightenPixels(texture.pixels(), texture.width() * texture.height());
    texture.upload();
}

} // namespace volumira
