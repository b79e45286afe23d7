#include "images/TiledImage.h"

#include "net/ServerUrls.h"
#include "render/GL.h"
#include "render/GLDisplay.h"
#include "render/Shapes.h"
#include "storage/TileCache.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>

namespace volumira {

namespace {

constexpr std::uint8_t kPlaceholderGrey = 128;
constexpr auto kThrottle = std::chrono::milliseconds(250);
// The navigator's overview is fetched on its own, apart from the two layers.
constexpr int kOverviewLayer = 2;

} // namespace

TiledImage::TiledImage(int panelWidth, int panelHeight, GLDisplay& display, TiledImageServices services)
    : panelWidth_(std::max(panelWidth, 1)), panelHeight_(std::max(panelHeight, 1)), display_(display),
      services_(std::move(services)), overviewFetcher_(services_.layer0Cache) {
    for (BgraPicture& layer : layers_) {
        layer.setSize(panelWidth_, panelHeight_);
        layer.fill(kPlaceholderGrey);
    }
}

TiledImage::~TiledImage() {
    // Fetchers go first so that no report reaches a half-destroyed panel; textures need the context.
    releaseTiles();
    infoFetcher_.reset();
    const GLDisplay::ContextGrab grab(display_);
    for (TextureImage& texture : layerTextures_)
        texture.release();
    overviewTexture_.release();
}

// ---- choosing the image ----

void TiledImage::setImage(const Record& record, int centreX, int centreY, int plane, float resolution) {
    start(record, centreX, centreY, plane, resolution);
    if (record.width > 0 && record.height > 0) {
        layOut();
        return;
    }
    propertiesSettled_ = false;
    infoFetcher_ = std::make_unique<ZoomifyInfoFetcher>();
    infoFetcher_->fetch(services_.urls.imageProperties(record.path), this);
}

void TiledImage::setImageByPath(const std::string& path, int centreX, int centreY, int width, int height, int plane,
                                float resolution, std::int32_t imageId) {
    Record record;
    record.imageId = imageId;
    record.path = path;
    record.width = std::max(width, 1);
    record.height = std::max(height, 1);
    setImage(record, centreX, centreY, plane, resolution);
}

void TiledImage::start(const Record& record, int centreX, int centreY, int plane, float resolution) {
    releaseTiles();
    infoFetcher_.reset();
    record_ = record;
    centreX_ = centreX;
    centreY_ = centreY;
    plane_ = plane;
    resolution_ = resolution > 0 ? resolution : static_cast<float>(kDefaultResolution);
    hasImage_ = true;
    propertiesSettled_ = true;
    propertiesError_.clear();
    pyramid_ = ZoomifyPyramid(0, 0);
    layout_ = {};
    const auto& extent = services_.atlasExtentMicrons;
    navigatorWidth_ = static_cast<int>(std::lround(extent[plane == 1 ? 0 : 2] / kNavigatorMicrons));
    navigatorHeight_ = static_cast<int>(std::lround(extent[1] / kNavigatorMicrons));
}

void TiledImage::showPlaceholder() {
    releaseTiles();
    infoFetcher_.reset();
    hasImage_ = false;
    propertiesSettled_ = true;
    show();
}

void TiledImage::show() {
    shown_ = true;
    display_.requestRedraw();
}

void TiledImage::hide() {
    shown_ = false;
    releaseTiles();
    infoFetcher_.reset();
    hasImage_ = false;
    propertiesSettled_ = true;
    display_.requestRedraw();
}

void TiledImage::releaseTiles() {
    tiles_.clear();
    overviewFetcher_.cancel();
    overview_.clear();
    overviewReady_ = false;
    overviewSettled_ = true;
    overviewDirty_ = true;
    laidOut_ = false;
    pending_ = 0;
    progress_ = 0;
    for (BgraPicture& layer : layers_)
        layer.fill(kPlaceholderGrey);
    layersDirty_ = true;
}

// ---- properties ----

void TiledImage::infoReady(ZoomifyInfoFetcher& fetcher) {
    // The finished fetcher stays until the next image replaces it: it is in the middle of this report.
    const ImageProperties properties = fetcher.properties();
    propertiesSettled_ = true;
    pyramid_ = ZoomifyPyramid(properties.width, properties.height, properties.tileSize);
    record_.width = properties.width;
    record_.height = properties.height;
    layOut();
}

void TiledImage::infoFailed(ZoomifyInfoFetcher&, const std::string& message) {
    propertiesSettled_ = true;
    propertiesError_ = message;
    display_.requestRedraw();
}

// ---- layout and tiles ----

std::string TiledImage::tileUrl(int layer, int level, int x, int y) const {
    const std::string& path = layer == 1 ? record_.secondPath : record_.path;
    return services_.urls.imageTile(path, pyramid_.tileGroup(level, x, y), level, x, y);
}

void TiledImage::layOut() {
    if (pyramid_.levelCount() == 0) pyramid_ = ZoomifyPyramid(record_.width, record_.height);
    releaseTiles();
    counts_ = {};
    layout_ = layoutTiles(pyramid_, panelWidth_, panelHeight_, centreX_, centreY_);
    const bool second = !record_.secondPath.empty();
    lastRedraw_ = Clock::now();
    tiles_.resize(layout_.tiles.size());
    pending_ = static_cast<int>(tiles_.size()) * (second ? 2 : 1);

    overviewSettled_ = false;
    overviewFetcher_.fetch(tileUrl(0, 0, 0, 0), this, record_.imageId, 0, 0, 0, -1, kOverviewLayer);

    for (std::size_t i = 0; i < tiles_.size(); ++i) {
        Tile& tile = tiles_[i];
        tile.place = layout_.tiles[i];
        for (int layer = 0; layer < (second ? 2 : 1); ++layer) {
            TileCache& cache = layer == 0 ? services_.layer0Cache : services_.layer1Cache;
            tile.fetchers[layer] = std::make_unique<ZoomifyTileFetcher>(cache);
        }
    }
    // Requests go out once every tile exists: a cached tile reports from inside fetch().
    for (std::size_t i = 0; i < tiles_.size(); ++i) {
        for (int layer = 0; layer < 2; ++layer) {
            Tile& tile = tiles_[i];
            if (!tile.fetchers[layer]) continue;
            if (!tile.visible) {
                // Its first layer failed from the cache already: this one is never asked for.
                tileDone();
                continue;
            }
            tile.fetchers[layer]->fetch(tileUrl(layer, layout_.level, tile.place.column, tile.place.row), this,
                                        record_.imageId, layout_.level, tile.place.column, tile.place.row,
                                        static_cast<int>(i), layer);
        }
    }
    laidOut_ = true;
    display_.requestRedraw();
}

void TiledImage::count(ZoomifyTileFetcher& fetcher) {
    if (fetcher.fromCache())
        ++counts_.cached;
    else
        ++counts_.fetched;
}

void TiledImage::tileReady(ZoomifyTileFetcher& fetcher) {
    const int layer = fetcher.layer();
    if (layer == kOverviewLayer) {
        count(fetcher);
        try {
            decodeTile(fetcher.bytes(), overview_);
            overviewReady_ = true;
            overviewDirty_ = true;
        } catch (const std::exception&) {
            fetcher.removeFromCache();
            overview_.clear();
            ++counts_.failed;
        }
        overviewSettled_ = true;
        fetcher.cancel();
        display_.requestRedraw();
        return;
    }
    const auto index = static_cast<std::size_t>(fetcher.tile());
    if (index >= tiles_.size()) return;
    Tile& tile = tiles_[index];
    count(fetcher);
    bool decoded = true;
    try {
        decodeTile(fetcher.bytes(), tile.pictures[layer]);
        tile.ready[layer] = true;
    } catch (const std::exception&) {
        decoded = false;
        ++counts_.failed;
        fetcher.removeFromCache();
        tile.visible = false;
        // The other layer of a blank tile is of no use; it no longer counts as awaited.
        if (auto& other = tile.fetchers[1 - layer]; other && other->isActive()) {
            other->cancel();
            --pending_;
        }
    }
    fetcher.cancel();
    if (decoded) copyTile(tile);
    tileDone();
}

void TiledImage::copyTile(Tile& tile) {
    const bool second = !record_.secondPath.empty();
    if (!tile.visible || !tile.ready[0] || (second && !tile.ready[1])) return;
    const PixelRect& s = tile.place.source;
    const PixelRect& d = tile.place.destination;
    for (int layer = 0; layer < (second ? 2 : 1); ++layer)
        copyPixels(tile.pictures[layer], s.x, s.y, layers_[layer], d.x, d.y, s.width, s.height);
    layersDirty_ = true;
}

void TiledImage::tileFailed(ZoomifyTileFetcher& fetcher, const std::string&) {
    ++counts_.failed;
    if (fetcher.layer() == kOverviewLayer) {
        fetcher.cancel();
        overviewSettled_ = true;
        display_.requestRedraw();
        return;
    }
    const auto index = static_cast<std::size_t>(fetcher.tile());
    if (index >= tiles_.size()) return;
    Tile& tile = tiles_[index];
    for (auto& other : tile.fetchers) {
        if (other && other->isActive()) {
            other->cancel();
            --pending_;
        }
    }
    tile.visible = false;
    redrawAndClean();
}

void TiledImage::tileProgress(ZoomifyTileFetcher&, std::size_t) {
    ++progress_;
    if (throttleDue()) display_.requestRedraw();
}

void TiledImage::tileDone() {
    --pending_;
    if (pending_ < 1 || throttleDue()) redrawAndClean();
}

bool TiledImage::throttleDue() {
    const Clock::time_point now = Clock::now();
    if (now - lastRedraw_ < kThrottle) return false;
    lastRedraw_ = now;
    return true;
}

void TiledImage::redrawAndClean() {
    lastRedraw_ = Clock::now();
    display_.requestRedraw();
    services_.layer0Cache.clean();
    services_.layer1Cache.clean();
}

bool TiledImage::isSettled() const {
    if (!propertiesSettled_) return false;
    if (!laidOut_) return true;
    return pending_ < 1 && overviewSettled_;
}

// ---- the page and the mouse ----

void TiledImage::openPage() {
    if (!hasImage_ || record_.width <= 0 || record_.height <= 0 || !services_.openPage) return;
    services_.openPage(services_.urls.imagePage(record_.imageId, ServerUrls::pagePosition(centreX_, record_.width),
                                                ServerUrls::pagePosition(centreY_, record_.height),
                                                ServerUrls::kSectionImageZoom));
}

void TiledImage::setOrigin(int x, int y) {
    originX_ = x;
    originY_ = y;
}

bool TiledImage::inPanel(int x, int y) const {
    return x >= originX_ && x < originX_ + panelWidth_ && y >= originY_ && y < originY_ + panelHeight_;
}

bool TiledImage::mouseDown(int, int x, int y, int, std::uint32_t) {
    if (!shown_ || !inPanel(x, y)) return false;
    // A press on the panel never reaches the scene behind it.
    if (canOpenPage()) openPage();
    return true;
}

bool TiledImage::mouseUp(int, int, int, int, std::uint32_t) { return false; }

bool TiledImage::mouseDoubleClick(int, int x, int y, int, std::uint32_t) { return shown_ && inPanel(x, y); }

// ---- drawing ----

void TiledImage::uploadTextures() {
    const int layerCount = record_.secondPath.empty() ? 1 : 2;
    if (layersDirty_ || layerTextures_[0].texture() == 0) {
        for (int layer = 0; layer < layerCount; ++layer) {
            TextureImage& texture = layerTextures_[layer];
            if (texture.width() != panelWidth_ || texture.height() != panelHeight_ || texture.texture() == 0)
                texture.create(panelWidth_, panelHeight_);
            std::memcpy(texture.pixels(), layers_[layer].pixels(), static_cast<std::size_t>(panelWidth_) * panelHeight_ * 4);
            texture.upload();
        }
        layersDirty_ = false;
    }
    if (overviewDirty_) {
        if (overviewReady_ && overview_.width() > 0 && overview_.height() > 0) {
            overviewTexture_.create(overview_.width(), overview_.height());
            std::memcpy(overviewTexture_.pixels(), overview_.pixels(),
                        static_cast<std::size_t>(overview_.width()) * overview_.height() * 4);
            overviewTexture_.upload();
        } else {
            overviewTexture_.release();
        }
        overviewDirty_ = false;
    }
}

void TiledImage::draw(float opacity) {
    if (!shown_) return;
    glPushAttrib(GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT | GL_CURRENT_BIT | GL_LINE_BIT | GL_SCISSOR_BIT);
    glDisable(GL_BLEND);
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LINE_SMOOTH);
    glLineWidth(1.0f);
    const float x0 = static_cast<float>(originX_), y0 = static_cast<float>(originY_);
    if (!hasImage_) {
        glColor3f(0.5f, 0.5f, 0.5f);
        RectangleShape::fill(x0, y0, x0 + panelWidth_, y0 + panelHeight_);
    } else {
        uploadTextures();
        layerTextures_[0].drawAt(originX_, originY_);
        if (!record_.secondPath.empty()) {
            // The second layer over the first by a constant opacity: the same result as an opacity written
            // into destination alpha, without needing a framebuffer that keeps alpha.
            glEnable(GL_BLEND);
            glBlendColor(0.0f, 0.0f, 0.0f, std::clamp(opacity, 0.0f, 1.0f));
            glBlendFunc(GL_CONSTANT_ALPHA, GL_ONE_MINUS_CONSTANT_ALPHA);
            layerTextures_[1].drawAt(originX_, originY_);
            glDisable(GL_BLEND);
        }
    }
    drawScale();
    if (overviewReady_ && hasImage_) drawNavigator();
    if (laidOut_ && pending_ > 0) drawProgress();
    glPopAttrib();
}

void TiledImage::drawScale() {
    // One mark per 100 µm of the shown level.
    const float step = 100.0f / (static_cast<float>(std::max(layout_.divisor, 1)) * resolution_);
    const float x0 = originX_ + 0.375f, y0 = originY_ + 0.375f;
    const float x1 = x0 + panelWidth_ - 1, y1 = y0 + panelHeight_ - 1;
    glColor3f(0.0f, 1.0f, 1.0f);
    glBegin(GL_LINES);
    if (step >= 2.0f) {
        for (float x = x0 + step; x < x1; x += step) {
            glVertex2f(x, y0), glVertex2f(x, y0 + 5);
            glVertex2f(x, y1), glVertex2f(x, y1 - 5);
        }
        for (float y = y0 + step; y < y1; y += step) {
            glVertex2f(x0, y), glVertex2f(x0 + 5, y);
            glVertex2f(x1, y), glVertex2f(x1 - 5, y);
        }
    }
    glEnd();
    RectangleShape::outline(x0, y0, x1, y1);
}

void TiledImage::drawNavigator() {
    const int left = originX_ + panelWidth_ + kNavigatorGap;
    const int bottom = originY_ + panelHeight_ - navigatorHeight_;
    if (navigatorWidth_ <= 0 || navigatorHeight_ <= 0) return;
    glColor3f(1.0f, 1.0f, 1.0f);
    RectangleShape::fill(static_cast<float>(left), static_cast<float>(bottom), static_cast<float>(left + navigatorWidth_),
              static_cast<float>(bottom + navigatorHeight_));
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    glEnable(GL_SCISSOR_TEST);
    glScissor(viewport[0] + left, viewport[1] + bottom, navigatorWidth_, navigatorHeight_);

    // One overview pixel is 2^(levels - 1) full-resolution pixels.
    const double scale = resolution_ * std::ldexp(1.0, pyramid_.levelCount() - 1) / kNavigatorMicrons;
    const int w = static_cast<int>(std::lround(overview_.width() * scale));
    const int h = static_cast<int>(std::lround(overview_.height() * scale));
    const int ox = left + (navigatorWidth_ - w) / 2, oy = bottom + (navigatorHeight_ - h) / 2;
    overviewTexture_.draw({0, 0, overview_.width(), overview_.height()}, {ox, oy, w, h});

    // The panel's window, from level pixels to full resolution to navigator pixels; y runs down in images.
    const double toNavigator = resolution_ / kNavigatorMicrons * layout_.divisor;
    const double winLeft = centreX_ / layout_.divisor - panelWidth_ / 2;
    const double winTop = centreY_ / layout_.divisor - panelHeight_ / 2;
    const float rx0 = static_cast<float>(ox + winLeft * toNavigator);
    const float rx1 = static_cast<float>(ox + (winLeft + panelWidth_) * toNavigator);
    const float ryTop = static_cast<float>(oy + h - winTop * toNavigator);
    const float ryBottom = static_cast<float>(oy + h - (winTop + panelHeight_) * toNavigator);
    glColor3f(1.0f, 0.0f, 0.0f);
    RectangleShape::outline(rx0 + 0.375f, ryBottom + 0.375f, rx1 + 0.375f, ryTop + 0.375f);
    glDisable(GL_SCISSOR_TEST);
}

void TiledImage::drawProgress() {
    const int perRow = std::max(1, panelWidth_ / 8 / 8);
    const int marks = progress_ % perRow + 1;
    const float top = static_cast<float>(originY_ + panelHeight_ - 4);
    glColor3f(0.0f, 1.0f, 0.0f);
    for (int i = 0; i < marks; ++i) {
        const float x = static_cast<float>(originX_ + 4 + i * 8);
        RectangleShape::fill(x, top - 4, x + 6, top);
    }
}

} // namespace volumira
