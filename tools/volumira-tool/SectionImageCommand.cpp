#include "atlas/AtlasGrid.h"
#include "atlas/ReferenceAtlas.h"
#include "expression/ExpressionAtlas.h"
#include "expression/GeneExpression.h"
#include "images/TiledImage.h"
#include "net/HeadlessUiDispatcher.h"
#include "net/ServerUrls.h"
#include "net/UiDispatcher.h"
#include "platform/DataLocations.h"
#include "preferences/MemorySettingsStore.h"
#include "preferences/UserPreferences.h"
#include "render/GL.h"
#include "render/OffscreenView.h"
#include "storage/MemoryTileCache.h"
#include "volumira-tool/PngWriter.h"
#include "volumira-tool/Tool.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdio>
#include <tuple>
#include <memory>
#include <ostream>

namespace volumira::tool {

namespace {

struct SectionImageOptions {
    std::string server, path, gene, second, centre, size = "256x256", output, dataDir, atlasDir;
    int width = 0, height = 0, plane = 0, cell = -1;
    float opacity = 0.5f, resolution = 0.0f;
    bool json = false;
};

std::pair<int, int> pair(const std::string& text, const char* format, const char* what) {
    int a = 0, b = 0;
    char extra = 0;
    if (std::sscanf(text.c_str(), format, &a, &b, &extra) != 2)
        throw std::runtime_error(std::string("Bad ") + what + " \"" + text + "\".");
    return {a, b};
}

// The image, centre and plane the options name: a path with its centre, or a downloaded gene's cell.
TiledImage::Record chooseImage(const SectionImageOptions& o, int& centreX, int& centreY, int& plane) {
    TiledImage::Record record;
    if (!o.path.empty() == !o.gene.empty()) throw std::runtime_error("Give exactly one of --path and --gene.");
    if (!o.path.empty()) {
        if (o.centre.empty()) throw std::runtime_error("--path needs --centre X,Y.");
        std::tie(centreX, centreY) = pair(o.centre, "%d,%d%c", "centre");
        record.path = o.path;
        record.secondPath = o.second;
        record.width = o.width;
        record.height = o.height;
        plane = o.plane;
        return record;
    }
    if (o.cell < 0) throw std::runtime_error("--gene needs --cell GRIDID (the Grid ID the viewer shows, from 0).");
    const std::string dataDir = dataDirectoryOption(o.dataDir);
    const std::string atlasDir = o.atlasDir.empty() ? atlasDirectory() : asDirectory(o.atlasDir);
    ReferenceAtlas atlas = fromDataDirectory(dataDir, [&] { return ReferenceAtlas(dataDir, atlasDir); });
    const ExpressionAtlas expressionAtlas(atlas);
    const GeneExpression gene(o.gene, expressionAtlas);
    // The command line takes the Grid ID the viewer shows, which counts from 0; the file's ids count from 1.
    const ExpressionCell* cell = gene.findCell(o.cell + 1);
    if (!cell)
        throw std::runtime_error("The gene has no cell of Grid ID " + std::to_string(o.cell) +
                                 " (Grid IDs count from 0 as the viewer shows them: the \"viewerGridId\" of "
                                 "xpr info --json, one less than its \"gridId\").");
    const SectionImage* image = gene.sectionImage(cell->section);
    if (!image || image->primaryPath.empty())
        throw std::runtime_error("The gene has no image of section " + std::to_string(cell->section) + ".");
    record.imageId = static_cast<std::int32_t>(image->imageId);
    record.path = image->primaryPath;
    record.secondPath = o.second.empty() ? image->expressionPath : o.second;
    record.width = static_cast<int>(image->width);
    record.height = static_cast<int>(image->height);
    if (o.centre.empty()) {
        centreX = cell->sectionX;
        centreY = cell->sectionY;
    } else {
        std::tie(centreX, centreY) = pair(o.centre, "%d,%d%c", "centre");
    }
    plane = gene.plane() != 0 ? 1 : 0;
    return record;
}

void sectionImage(std::ostream& out, const SectionImageOptions& o) {
    const auto [panelWidth, panelHeight] = pair(o.size, "%dx%d%c", "size");
    if (panelWidth < 16 || panelHeight < 16 || panelWidth > 4096 || panelHeight > 4096)
        throw std::runtime_error("Bad size \"" + o.size + "\": give WIDTHxHEIGHT, each 16 to 4096.");
    int centreX = 0, centreY = 0, plane = 0;
    const TiledImage::Record record = chooseImage(o, centreX, centreY, plane);

    MemorySettingsStore store;
    store.writeText(kSettingsSection, "HostName", o.server);
    const UserPreferences preferences(store, PreferencesEnvironment::ofProcess());
    const ServerUrls urls(preferences);
    MemoryTileCache layer0, layer1;
    std::array<double, 3> extent{};
    for (int axis = 0; axis < 3; ++axis)
        extent[static_cast<std::size_t>(axis)] = atlas::kCoarseDims[static_cast<std::size_t>(axis)] * atlas::kCoarseSpacing;

    if (uiDispatcher()) throw std::runtime_error("another dispatcher already receives the transfers");
    HeadlessUiDispatcher dispatcher;
    setUiDispatcher(&dispatcher);
    // The picture holds the panel at its top left and the navigator to its right.
    const int navigatorWidth = static_cast<int>(std::lround(extent[plane == 1 ? 0 : 2] / TiledImage::kNavigatorMicrons));
    const int navigatorHeight = static_cast<int>(std::lround(extent[1] / TiledImage::kNavigatorMicrons));
    const int width = panelWidth + TiledImage::kNavigatorGap + navigatorWidth;
    const int height = std::max(panelHeight, navigatorHeight);
    OffscreenView view(width, height);
    if (!view.makeCurrent()) throw std::runtime_error("The offscreen GL context could not be made current.");
    std::vector<std::uint8_t> rgba;
    TiledImage::TileCounts counts;
    {
        TiledImage image(panelWidth, panelHeight, view,
                         TiledImageServices{urls, layer0, layer1, {}, extent});
        image.setOrigin(0, height - panelHeight);
        image.show();
        image.setImage(record, centreX, centreY, plane, o.resolution);
        dispatcher.pumpUntil([&] { return image.isSettled(); }, HeadlessUiDispatcher::kForever);
        if (!image.propertiesError().empty()) throw std::runtime_error(image.propertiesError());
        counts = image.counts();
        if (!view.makeCurrent()) throw std::runtime_error("The offscreen GL context could not be made current.");
        glViewport(0, 0, width, height);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(0, width, 0, height, -1, 1);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        image.draw(o.opacity);
        glFinish();
        rgba = view.context().readPixels();
    }
    writeFramebufferPng(o.output, rgba.data(), width, height);
    if (o.json) {
        out << nlohmann::json{{"fetched", counts.fetched}, {"cached", counts.cached}, {"failed", counts.failed},
                              {"width", width}, {"height", height}}
                   .dump()
            << '\n';
    } else {
        out << "Wrote " << o.output << " (" << width << "x" << height << "): " << counts.fetched
            << " tiles fetched, " << counts.cached << " from the cache, " << counts.failed << " failed.\n";
    }
}

} // namespace

void addSectionImageCommand(CLI::App& app, std::ostream& out) {
    auto o = std::make_shared<SectionImageOptions>();
    CLI::App* command = app.add_subcommand(
        "section-image", "Draw the full-resolution section image panel with its navigator into a PNG file");
    command->add_option("--server", o->server, "Data server address, e.g. http://127.0.0.1:8338")->required();
    command->add_option("--path", o->path, "Image path of the pyramid on the server");
    command->add_option("--width", o->width, "Full-resolution width (read from the server when not given)");
    command->add_option("--height", o->height, "Full-resolution height (read from the server when not given)");
    command->add_option("--gene", o->gene, "Expression file whose cell's section image is shown");
    command->add_option("--cell", o->cell,
                        "Grid ID of the cell as the viewer shows it, counting from 0: the \"viewerGridId\" of "
                        "'xpr info --json' (its \"gridId\", the file's number, is one more)");
    command->add_option("--second", o->second, "Image path of a second layer blended over the first");
    command->add_option("--opacity", o->opacity, "Opacity of the second layer, 0 to 1 (default 0.5)");
    command->add_option("--centre", o->centre, "Point shown, X,Y in full-resolution pixels");
    command->add_option("--plane", o->plane, "1 lays the navigator along the anterior-posterior axis");
    command->add_option("--resolution", o->resolution, "Micrometres per full-resolution pixel (default 0.95)");
    command->add_option("--size", o->size, "Panel size WIDTHxHEIGHT (default 256x256)");
    command->add_option("--data", o->dataDir, "Data directory of the atlas (for --gene)");
    command->add_option("--atlas-dir", o->atlasDir, "Where the unpacked atlas is kept (for --gene)");
    command->add_option("--out", o->output, "PNG file to write")->required();
    command->add_flag("--json", o->json, "Print the tile counts as JSON");
    command->callback([&out, o] { sectionImage(out, *o); });
}

} // namespace volumira::tool
