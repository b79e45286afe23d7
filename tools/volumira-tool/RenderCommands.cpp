#include "atlas/ReferenceAtlas.h"
#include "bookmarks/BookmarksFile.h"
#include "expression/BrainExpressionModel.h"
#include "expression/GeneExpression.h"
#include "platform/DataLocations.h"
#include "preferences/MemorySettingsStore.h"
#include "preferences/UserPreferences.h"
#include "render/OffscreenView.h"
#include "render/TabControlRenderer.h"
#include "render_qt/QtGLTextBox.h"
#include "scene/BrainSceneRenderer.h"
#include "volumira-tool/PngWriter.h"
#include "volumira-tool/Tool.h"

#include <QGuiApplication>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <ostream>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace volumira::tool {

namespace {

struct RenderOptions {
    std::string dataDir, atlasDir, bookmark, rotation, sections, size = "1280x800", output;
    std::vector<std::string> genes;
    float zoom = -1.0f;
    int colourMode = -1;
};

std::vector<float> numbers(const std::string& text, std::size_t count, const char* what) {
    std::vector<float> values;
    std::stringstream in(text);
    std::string piece;
    while (std::getline(in, piece, ','))
        try {
            values.push_back(std::stof(piece));
        } catch (const std::exception&) {
            throw std::runtime_error(std::string("Bad ") + what + ": \"" + text + "\".");
        }
    if (values.size() != count)
        throw std::runtime_error(std::string("Bad ") + what + ": \"" + text + "\" needs " + std::to_string(count) +
                                 " numbers separated by commas.");
    return values;
}

// Qt draws the scene's text; without a display server its offscreen platform suffices.
QGuiApplication& guiApplication() {
    static int argc = 1;
    static char name[] = "volumira-tool";
    static char* argv[] = {name, nullptr};
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static QGuiApplication application(argc, argv);
    return application;
}

void render(std::ostream& out, const RenderOptions& o) {
    int width = 0, height = 0;
    if (std::sscanf(o.size.c_str(), "%dx%d", &width, &height) != 2 || width < 16 || height < 16 || width > 8192 ||
        height > 8192)
        throw std::runtime_error("Bad size \"" + o.size + "\": give WIDTHxHEIGHT, each 16 to 8192.");
    guiApplication();
    const std::string dataDir = dataDirectoryOption(o.dataDir);
    const std::string atlasDir = o.atlasDir.empty() ? atlasDirectory() : asDirectory(o.atlasDir);
    ensureDirectory(atlasDir);
    ReferenceAtlas atlas = fromDataDirectory(dataDir, [&] { return ReferenceAtlas(dataDir, atlasDir); });
    if (!atlas.isUnpacked() && !atlas.unpack(nullptr, nullptr, nullptr))
        throw std::runtime_error("The reference atlas could not be unpacked.");
    atlas.loadFullScale(nullptr, nullptr, nullptr);

    MemorySettingsStore store;
    UserPreferences preferences(store, PreferencesEnvironment::ofProcess());
    BrainExpressionModel model(preferences);
    model.showSearchableStructures(atlas.ontology());
    const ExpressionAtlas expressionAtlas(atlas);
    for (const std::string& path : o.genes)
        model.addGene(std::make_unique<GeneExpression>(path, expressionAtlas));
    if (o.colourMode >= 0) model.setGeneColourMode(o.colourMode, false);
    if (!o.sections.empty()) {
        const std::vector<float> at = numbers(o.sections, 3, "sections");
        for (int axis = 0; axis < 3; ++axis) {
            model.setDisplayFlag(axis, at[axis] >= 0.0f, false);
            if (at[axis] >= 0.0f) model.setSectionPosition(axis, at[axis], false);
        }
    }
    if (!o.bookmark.empty()) {
        const BookmarkTree tree = BookmarksFile(userDirectory(), atlas.ontology()).load();
        const Bookmark* found = nullptr;
        std::vector<const BookmarkNode*> pending{&tree.root};
        while (!pending.empty() && !found) {
            const BookmarkNode* node = pending.back();
            pending.pop_back();
            if (node->bookmark && node->name == o.bookmark) found = node->bookmark.get();
            for (const auto& child : node->children)
                pending.push_back(child.get());
        }
        if (!found) throw std::runtime_error("No bookmark is named \"" + o.bookmark + "\".");
        found->apply(model);
    }
    if (!o.rotation.empty()) {
        const std::vector<float> q = numbers(o.rotation, 4, "rotation");
        model.setRotation({q[0], q[1], q[2], q[3]}, false);
    }
    if (o.zoom > 0.0f) model.setZoom(o.zoom, false);

    OffscreenView view(width, height, createQtTextBox);
    if (!view.makeCurrent()) throw std::runtime_error("The offscreen GL context could not be made current.");
    TabControlRenderer tabs(view, nullptr);
    std::vector<std::uint8_t> rgba;
    {
        BrainSceneRenderer scene(view, model, tabs, atlas, preferences);
        view.events().installPage(&scene);
        view.redrawNow();
        if (!view.lastPaintError().empty()) throw std::runtime_error(view.lastPaintError());
        rgba = view.context().readPixels();
        view.events().installPage(nullptr);
    }
    writeFramebufferPng(o.output, rgba.data(), width, height);
    out << "Wrote " << o.output << " (" << width << "x" << height << ", " << model.geneCount() << " genes).\n";
}

} // namespace

void addRenderCommands(CLI::App& app, std::ostream& out) {
    auto options = std::make_shared<RenderOptions>();
    CLI::App* command = app.add_subcommand("render", "Draw the 3D scene headlessly into a PNG file");
    command->add_option("--data", options->dataDir, "Data directory of the atlas");
    command->add_option("--atlas-dir", options->atlasDir, "Where the unpacked atlas is kept");
    command->add_option("--gene", options->genes, "Expression file to show (repeatable)");
    command->add_option("--bookmark", options->bookmark, "Bookmark of the user's bookmarks to apply");
    command->add_option("--rotation", options->rotation, "View rotation quaternion x,y,z,w");
    command->add_option("--zoom", options->zoom, "View zoom in percent (15 to 250)");
    command->add_option("--sections", options->sections,
                        "Coronal, horizontal and sagittal section positions c,h,s (negative hides one)");
    command->add_option("--colour-mode", options->colourMode, "0 gene, 1 atlas, 2 level, 3 jet");
    command->add_option("--size", options->size, "Picture size WIDTHxHEIGHT (default 1280x800)");
    command->add_option("--out", options->output, "PNG file to write")->required();
    command->callback([&out, options] { render(out, *options); });
}

} // namespace volumira::tool
