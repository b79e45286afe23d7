#include "images/ImageProperties.h"

#include "xml/XMLParser.h"

#include <charconv>
#include <cstring>
#include <stdexcept>
#include <strings.h>

namespace volumira {

namespace {

constexpr const char* kUnexpected = "Unexpected data in image properties.";

bool decimal(const char* text, int& value) {
    const char* end = text + std::strlen(text);
    const auto result = std::from_chars(text, end, value);
    return result.ec == std::errc() && result.ptr == end;
}

class PropertiesHandler : public XMLElementHandler {
  public:
    void startElement(const char* name, const char** attributes) override {
        if (seen_ || strcasecmp(name, "IMAGE_PROPERTIES") != 0) throw std::runtime_error(kUnexpected);
        seen_ = true;
        for (const char** a = attributes; a[0] && a[1]; a += 2) {
            int* target = nullptr;
            if (strcasecmp(a[0], "WIDTH") == 0)
                target = &properties.width;
            else if (strcasecmp(a[0], "HEIGHT") == 0)
                target = &properties.height;
            else if (strcasecmp(a[0], "NUMTILES") == 0)
                target = &properties.tileCount;
            else if (strcasecmp(a[0], "TILESIZE") == 0)
                target = &properties.tileSize;
            if (target && !decimal(a[1], *target)) throw std::runtime_error(kUnexpected);
        }
    }
    void endElement(const char*) override {}
    void characterData(const char*, std::size_t) override {}

    ImageProperties properties;
    bool seen_ = false;
};

} // namespace

ImageProperties parseImageProperties(const std::uint8_t* data, std::size_t length) {
    PropertiesHandler handler;
    XMLParser parser(&handler);
    if (!parser.parse(reinterpret_cast<const char*>(data), data ? length : 0, true) || !handler.seen_)
        throw std::runtime_error(kUnexpected);
    const ImageProperties& p = handler.properties;
    if (p.width <= 0 || p.height <= 0 || p.width > kMaxPyramidSide || p.height > kMaxPyramidSide ||
        p.tileSize <= 0 || p.tileSize > kMaxTileSide)
        throw std::runtime_error(kUnexpected);
    return p;
}

} // namespace volumira
