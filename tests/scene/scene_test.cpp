#include "atlas/Ontology.h"
#include "atlas/ReferenceAtlas.h"
#include "bookmarks/Bookmark.h"
#include "expression/BrainExpressionModel.h"
#include "preferences/MemorySettingsStore.h"
#include "preferences/UserPreferences.h"
#include "render/GL.h"
#include "render/InputCodes.h"
#include "render/OffscreenView.h"
#include "render/TabControlRenderer.h"
#include "render_qt/QtGLTextBox.h"
#include "storage/MemoryTileCache.h"
#include "scene/BrainSceneRenderer.h"
#include "scene/SceneImagePanel.h"
#include "scene/ScenePick.h"
#include "scene/SampleAtlasFixture.h"
#include "support/TempDir.h"

#include <QGuiApplication>
#include <gtest/gtest.h>

#include <memory>

namespace volumira {
namespace {

constexpr int kWidth = 320, kHeight = 240;

void ensureQtApplication() {
    if (QGuiApplication::instance()) return;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "scene_tests";
    static char* argv[] = {name, nullptr};
    static QGuiApplication app(argc, argv);
}

class SceneTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ensureQtApplication();
        view = std::make_unique<OffscreenView>(kWidth, kHeight, createQtTextBox);
        ASSERT_TRUE(view->makeCurrent());
        model = std::make_unique<BrainExpressionModel>(preferences);
        model->showSearchableStructures(atlas().ontology());
        tabs = std::make_unique<TabControlRenderer>(*view, nullptr);
        scene = std::make_unique<BrainSceneRenderer>(*view, *model, *tabs, atlas(), preferences);
        view->events().installPage(scene.get());
    }
    void TearDown() override {
        view->makeCurrent();
        view->events().installPage(nullptr);
        scene.reset();
        tabs.reset();
    }

    static ReferenceAtlas& atlas() { return test::SampleAtlasFixture::atlas(); }

    // The framebuffer pixel at window point (x, y), y downwards.
    std::array<int, 3> pixel(int x, int y) {
        view->redrawNow();
        const std::vector<std::uint8_t> rgba = view->context().readPixels();
        const std::size_t at = (static_cast<std::size_t>(kHeight - 1 - y) * kWidth + x) * 4;
        return {rgba[at], rgba[at + 1], rgba[at + 2]};
    }
    static bool isBlack(const std::array<int, 3>& p) { return p[0] + p[1] + p[2] < 10; }

    MemorySettingsStore store;
    UserPreferences preferences{store, PreferencesEnvironment::ofProcess()};
    std::unique_ptr<OffscreenView> view;
    std::unique_ptr<BrainExpressionModel> model;
    std::unique_ptr<TabControlRenderer> tabs;
    std::unique_ptr<BrainSceneRenderer> scene;
};

TEST_F(SceneTest, DrawsTheBrainInTheMiddleOnBlack) {
    EXPECT_FALSE(isBlack(pixel(kWidth / 2, kHeight / 2)));
    EXPECT_TRUE(isBlack(pixel(3, kHeight - 3)));
    EXPECT_TRUE(view->lastPaintError().empty()) << view->lastPaintError();
}

TEST_F(SceneTest, PicksAStructureInTheMiddleAndClearsOnEmptySpace) {
    const int name = scene->pickName(kWidth / 2, kHeight / 2);
    ASSERT_GE(name, pickname::kStructureBase);
    ASSERT_LT(name, pickname::kCellBase);
    scene->pick(kWidth / 2, kHeight / 2, false);
    ASSERT_NE(model->highlightedStructure(), nullptr);
    EXPECT_EQ(model->highlightedStructure()->index, name - pickname::kStructureBase);
    // The information box lists the path from the root down.
    EXPECT_EQ(scene->selectionText().rfind(atlas().ontology().root().name, 0), 0u) << scene->selectionText();

    EXPECT_EQ(scene->pickName(2, 2), 0);
    scene->pick(2, 2, false);
    EXPECT_EQ(model->highlightedStructure(), nullptr);
    EXPECT_EQ(scene->selectionText(), "");
}

TEST_F(SceneTest, PicksASectionPlaneAndTheClipBoxFaces) {
    model->setShownStructures(StructureSet(), false);
    model->setDisplayFlag(0, true, false); // the coronal plane faces the default (sagittal) view edge-on
    model->setDisplayFlag(2, true, false);
    // Off the middle, where the coronal plane stands edge-on.
    EXPECT_EQ(scene->pickName(kWidth / 2 + 40, kHeight / 2), pickname::kSectionFirst + 2);
    model->setClippingPlanesShown(true, false);
    const int face = scene->pickName(kWidth / 2 + 40, kHeight / 2);
    EXPECT_GE(face, pickname::kClipLowFirst);
    EXPECT_LT(face, pickname::kSectionFirst);
}

TEST_F(SceneTest, PlaneKeysMoveOnlyShownPlanes) {
    const float before = model->sectionPosition(0);
    EXPECT_FALSE(scene->keyChar(U']', 0, 0));
    EXPECT_EQ(model->sectionPosition(0), before);
    model->setDisplayFlag(0, true, false);
    EXPECT_TRUE(scene->keyChar(U']', 0, 0));
    EXPECT_FLOAT_EQ(model->sectionPosition(0), before + 0.25f);
    EXPECT_TRUE(scene->keyChar(U'[', 0, 0));
    EXPECT_FLOAT_EQ(model->sectionPosition(0), before);
    EXPECT_TRUE(scene->keyChar(U'R', 0, 0));
    EXPECT_TRUE(scene->frameRateShown());
    EXPECT_FALSE(scene->keyChar(U'e', 0, 0));
}

TEST_F(SceneTest, WheelZoomsInStepsOfTen) {
    const float zoom = model->zoom();
    EXPECT_TRUE(scene->mouseWheel(0, 0, 0, 120, 0));
    EXPECT_EQ(model->zoom(), zoom + 10.0f);
    EXPECT_TRUE(scene->mouseWheel(0, 0, 0, -1, 0));
    EXPECT_EQ(model->zoom(), zoom);
}

TEST_F(SceneTest, AQuickTrackballReleaseSpinsOnlyWithAutoRotate) {
    for (const bool autoRotate : {true, false}) {
        preferences.setAutoRotateView(autoRotate);
        view->events().buttonDown(kButtonLeft, 100, 100, 0, 1000);
        view->events().pointerMoved(110, 100, 0, 1010);
        view->events().buttonUp(kButtonLeft, 110, 100, 0, 1020);
        EXPECT_EQ(scene->isSpinning(), autoRotate);
        EXPECT_EQ(view->timerInterval(), autoRotate ? BrainSceneRenderer::kAnimationIntervalMs : 0);
        const auto before = model->rotation();
        view->fireTimer();
        EXPECT_EQ(model->rotation() != before, autoRotate);
        // A press stops the spin.
        view->events().buttonDown(kButtonLeft, 100, 100, 0, 2000);
        view->events().buttonUp(kButtonLeft, 100, 100, 0, 2500);
        EXPECT_FALSE(scene->isSpinning());
    }
}

TEST_F(SceneTest, BookmarksAnimateOnlyAboveTheShortestDuration) {
    Bookmark zoom("Zoom", Bookmark::ViewZoom);
    zoom.zoom = 120.0f;
    preferences.setBookmarkAnimationSpeed(0.04f);
    scene->goToBookmark(zoom, false);
    EXPECT_FALSE(scene->isAnimating());
    EXPECT_EQ(model->zoom(), 120.0f);

    zoom.zoom = 60.0f;
    preferences.setBookmarkAnimationSpeed(0.05f);
    scene->goToBookmark(zoom, false);
    EXPECT_TRUE(scene->isAnimating());
    EXPECT_EQ(view->timerInterval(), BrainSceneRenderer::kAnimationIntervalMs);
    // Any key stops a running animation where it stands.
    scene->keyChar(U's', 0, 0);
    EXPECT_FALSE(scene->isAnimating());
}

// The image panel of the scene, with no server to reach: what it is asked to show, and its errors.
TEST_F(SceneTest, TheImagePanelShowsPlatesAtThePointAndReportsLookupFailures) {
    MemoryTileCache layer0, layer1;
    std::vector<std::string> errors;
    scene->enableSectionImages({layer0, layer1, {}, [&](const std::string& m) { errors.push_back(m); }});
    ASSERT_NE(scene->imagePanel(), nullptr);

    // Coronal plates (mode 0) at the section planes' point.
    model->setImagePanelMode(0, false);
    for (int axis = 0; axis < 3; ++axis) model->setSectionPosition(axis, 60.0f, false);
    scene->showAtlasImageAtPoint();
    ASSERT_TRUE(scene->imageShown());
    const TiledImage& image = *scene->imagePanel()->image();
    EXPECT_EQ(image.record().path.rfind("production1/KVRTReferenceAtlas/Coronal/Zoomify/Atlas-Coronal-", 0), 0u);
    EXPECT_EQ(image.record().width, 5690);
    EXPECT_TRUE(errors.empty());

    // A point on no plate shows the placeholder, which opens nothing.
    model->setImagePanelMode(1, false);
    for (int axis = 0; axis < 3; ++axis) model->setSectionPosition(axis, 0.0f, false);
    scene->showAtlasImageAtPoint();
    EXPECT_TRUE(scene->imageShown());
    EXPECT_FALSE(scene->canOpenImage());

    // Clicking empty space hides the image with the selection.
    view->redrawNow();
    view->events().buttonDown(kButtonRight, kWidth - 2, kHeight - 2, 0, 1000);
    view->events().buttonUp(kButtonRight, kWidth - 2, kHeight - 2, 0, 1010);
    EXPECT_FALSE(scene->imageShown());

    // An atlas whose sagittal mapping was never unpacked: the lookup's own message in the error box.
    test::TempDir empty;
    ReferenceAtlas unpacked(atlas().dataDir(), empty.path() + "/");
    SceneImagePanel panel(*view, *model, unpacked, preferences,
                          {layer0, layer1, {}, [&](const std::string& m) { errors.push_back(m); }});
    for (int axis = 0; axis < 3; ++axis) model->setSectionPosition(axis, 60.0f, false);
    panel.showAtlasImageAtPoint();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], "The sagittal atlas mapping file could not be opened.");
    EXPECT_FALSE(panel.isShown());
}

} // namespace
} // namespace volumira
