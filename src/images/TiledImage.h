#pragma once

#include "images/TileLayout.h"
#include "images/TilePicture.h"
#include "images/ZoomifyInfoFetcher.h"
#include "images/ZoomifyTileFetcher.h"
#include "render/MouseListener.h"
#include "render/TextureImage.h"

#include <array>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace volumira {

class GLDisplay;
class ServerUrls;
class TileCache;

// What a tiled image needs from outside: the server addresses, one tile cache per layer, a way to open web
// pages and the atlas's extent in micrometres along its three axes (for the navigator's size).
struct TiledImageServices {
    const ServerUrls& urls;
    TileCache& layer0Cache;
    TileCache& layer1Cache;
    std::function<void(const std::string&)> openPage;
    std::array<double, 3> atlasExtentMicrons;
};

// One high-resolution section image from the data server in a panel of fixed size, optionally with a second
// image of the same section blended over it. It shows the pyramid level a quarter of full resolution across,
// centred on a point of interest, only the tiles that fall into the panel, with a scale, progress marks while
// tiles arrive and a navigator beside the panel that outlines the part shown. UI thread only; drawing needs
// the display's context current.
class TiledImage : public ZoomifyInfoCompletionListener,
                   public ZoomifyTileCompletionListener,
                   public MouseListener {
  public:
    // Micrometres per navigator pixel.
    static constexpr double kNavigatorMicrons = 60.8;
    static constexpr double kDefaultResolution = 0.95;
    // Gap between the panel and the navigator.
    static constexpr int kNavigatorGap = 4;

    struct Record {
        std::int32_t imageId = 0;
        std::string path;
        // Empty without a second layer.
        std::string secondPath;
        // 0 when they are to be read from the server.
        int width = 0, height = 0;
    };

    // Tiles that arrived from the server, came from the caches, or failed, since the last layout.
    struct TileCounts {
        int fetched = 0, cached = 0, failed = 0;
    };

    // Everything given must outlive the image.
    TiledImage(int panelWidth, int panelHeight, GLDisplay& display, TiledImageServices services);
    ~TiledImage() override;
    TiledImage(const TiledImage&) = delete;
    TiledImage& operator=(const TiledImage&) = delete;

    // Shows the record's image centred on (centreX, centreY) in full-resolution pixels. plane 1 lays the
    // navigator along atlas axis 0, any other value along axis 2; resolution is the micrometres of one
    // full-resolution pixel (0 means the default). Without a known size the properties file is read first.
    // Throws std::runtime_error "Could not connect to image server." when no transfer can be made.
    void setImage(const Record& record, int centreX, int centreY, int plane, float resolution);
    void setImageByPath(const std::string& path, int centreX, int centreY, int width, int height, int plane,
                        float resolution, std::int32_t imageId);
    // The grey panel that says there is no image here.
    void showPlaceholder();

    void show();
    // Hides the panel and lets go of the image and its tiles.
    void hide();
    bool isShown() const { return shown_; }
    // Laid out with tiles to show: a click opens the image's page.
    bool canOpenPage() const { return laidOut_ && !tiles_.empty(); }
    void openPage();

    // Where the panel's lower-left corner is, in overlay pixels (y up); the navigator is to its right.
    void setOrigin(int x, int y);
    // Draws in overlay coordinates (one unit per pixel, y up). opacity is that of the second layer.
    void draw(float opacity);

    // Every tile of the layout, and the navigator's overview, has arrived or failed; or the properties failed.
    bool isSettled() const;
    TileCounts counts() const { return counts_; }
    const TileLayout& layout() const { return layout_; }
    // The image shown, with its size once known.
    const Record& record() const { return record_; }
    // What the panel shows of a layer (0 or 1), rows top first; grey where no tile arrived.
    const BgraPicture& layerPicture(int layer) const { return layers_[layer == 1 ? 1 : 0]; }
    int levelCount() const { return pyramid_.levelCount(); }
    int panelWidth() const { return panelWidth_; }
    int panelHeight() const { return panelHeight_; }
    int navigatorWidth() const { return navigatorWidth_; }
    int navigatorHeight() const { return navigatorHeight_; }
    // The message of the last failure of the properties file; empty when there was none.
    const std::string& propertiesError() const { return propertiesError_; }

    void infoReady(ZoomifyInfoFetcher& fetcher) override;
    void infoFailed(ZoomifyInfoFetcher& fetcher, const std::string& message) override;
    void tileReady(ZoomifyTileFetcher& fetcher) override;
    void tileFailed(ZoomifyTileFetcher& fetcher, const std::string& message) override;
    void tileProgress(ZoomifyTileFetcher& fetcher, std::size_t count) override;

    // Positions in overlay pixels (y up), as the scene delivers them.
    bool mouseDown(int button, int x, int y, int modifiers, std::uint32_t time) override;
    bool mouseUp(int button, int x, int y, int modifiers, std::uint32_t time) override;
    bool mouseDoubleClick(int button, int x, int y, int modifiers, std::uint32_t time) override;

  private:
    struct Tile {
        bool visible = true;
        VisibleTile place;
        std::array<std::unique_ptr<ZoomifyTileFetcher>, 2> fetchers;
        std::array<BgraPicture, 2> pictures;
        std::array<bool, 2> ready{false, false};
    };
    using Clock = std::chrono::steady_clock;

    void start(const Record& record, int centreX, int centreY, int plane, float resolution);
    void layOut();
    void releaseTiles();
    void copyTile(Tile& tile);
    // Lowers the pending count by one; redraws and cleans the caches when the last tile is in or enough time
    // has passed.
    void tileDone();
    void redrawAndClean();
    bool throttleDue();
    void count(ZoomifyTileFetcher& fetcher);
    std::string tileUrl(int layer, int level, int x, int y) const;
    bool inPanel(int x, int y) const;
    void uploadTextures();
    void drawScale();
    void drawNavigator();
    void drawProgress();

    int panelWidth_, panelHeight_;
    GLDisplay& display_;
    TiledImageServices services_;
    int originX_ = 0, originY_ = 0;

    Record record_;
    int centreX_ = 0, centreY_ = 0, plane_ = 0;
    float resolution_ = static_cast<float>(kDefaultResolution);
    ZoomifyPyramid pyramid_{0, 0};
    TileLayout layout_;
    std::vector<Tile> tiles_;
    std::unique_ptr<ZoomifyInfoFetcher> infoFetcher_;
    ZoomifyTileFetcher overviewFetcher_;
    std::string propertiesError_;

    std::array<BgraPicture, 2> layers_;
    BgraPicture overview_;
    TextureImage layerTextures_[2], overviewTexture_;
    bool layersDirty_ = true, overviewDirty_ = false;
    bool overviewReady_ = false, overviewSettled_ = false;
    int navigatorWidth_ = 0, navigatorHeight_ = 0;

    int pending_ = 0, progress_ = 0;
    TileCounts counts_;
    Clock::time_point lastRedraw_{};
    bool shown_ = false, hasImage_ = false, laidOut_ = false, propertiesSettled_ = true;
};

} // namespace volumira
