#pragma once

#include <cstdint>
#include <vector>

namespace volumira {

class TextureImage;

// Icons of the on-screen controls by their resource number.
enum ControlIcon : int {
    kIconClose = 139,
    kIconCoronalPlate = 157,
    kIconSagittalPlate = 158,
    kIconSectionImage = 159,
    kIconOpenImage = 160
};

// An icon as the platform would render it: its colours over white, and its mask (true = opaque).
struct IconBitmap {
    int width = 0, height = 0;
    // Blue, green, red per pixel, rows top first.
    std::vector<std::uint8_t> bgr;
    std::vector<bool> opaque;
};

// The program's own icon artwork; an unknown resource gives an empty bitmap.
IconBitmap iconBitmap(int resource);

// Fills a blue-green-red-alpha pixel buffer of the icon's size. Normal: the icon's colours, opaque where
// the mask is. Inverted: a black glyph becomes an opaque white glyph and everything else transparent.
void iconPixels(const IconBitmap& icon, bool inverted, std::uint8_t* pixels);
// Brightens every visible pixel: light ones become white, the others gain 50 per colour byte.
void brightenPixels(std::uint8_t* pixels, int pixelCount);

// The GL side of the two above; they need a current context. An unknown resource leaves the texture
// empty, so nothing is drawn.
void loadIconTexture(int resource, TextureImage& texture, bool inverted);
void brightenTexture(TextureImage& texture);

} // namespace volumira
