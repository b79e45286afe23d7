// The real GL view with the 3D scene of the sample atlas under a private X server, driven with real Qt
// events after ordinary paints, the way a user meets it. An ordinary paint leaves the toolkit's
// compositing context current, so each case checks that the view's own context is made current for
// input and for the deletion of GL objects.

// Declares the buffer functions the link seam below replaces; must precede every GL header.
#define GL_GLEXT_PROTOTYPES 1

#include "app/CGLView.h"
#include "app/Prompt.h"
#include "atlas/Ontology.h"
#include "expression/BrainExpressionModel.h"
#include "expression/GeneExpression.h"
#include "expression/XprTestFiles.h"
#include "preferences/MemorySettingsStore.h"
#include "preferences/UserPreferences.h"
#include "render/GL.h"
#include "render/TabControlRenderer.h"
#include "render_qt/QtGLTextBox.h"
#include "scene/BrainSceneRenderer.h"
#include "scene/SampleAtlasFixture.h"

#include <QApplication>
#include <QOpenGLContext>
#include <QScopeGuard>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <cstring>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>
#include <xcb/xcb.h>

namespace {

// Every deletion of buffers and textures the program's own code makes: the names and the context
// current at the call. The program calls these GL entry points directly, so the definitions here
// take the calls and pass them on to the GL library.
struct Deletion {
    QOpenGLContext* context;
    std::vector<GLuint> names;
};
std::vector<Deletion> bufferDeletions, textureDeletions, listDeletions;

template <typename Function> Function nextDefinition(const char* name) {
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

} // namespace

extern "C" void glDeleteBuffers(GLsizei n, const GLuint* names) {
    bufferDeletions.push_back({QOpenGLContext::currentContext(), std::vector<GLuint>(names, names + n)});
    static const auto next = nextDefinition<void (*)(GLsizei, const GLuint*)>("glDeleteBuffers");
    next(n, names);
}

extern "C" void glDeleteTextures(GLsizei n, const GLuint* names) {
    textureDeletions.push_back({QOpenGLContext::currentContext(), std::vector<GLuint>(names, names + n)});
    static const auto next = nextDefinition<void (*)(GLsizei, const GLuint*)>("glDeleteTextures");
    next(n, names);
}

extern "C" void glDeleteLists(GLuint list, GLsizei range) {
    std::vector<GLuint> names;
    for (GLsizei i = 0; i < range; ++i)
        names.push_back(list + static_cast<GLuint>(i));
    listDeletions.push_back({QOpenGLContext::currentContext(), names});
    static const auto next = nextDefinition<void (*)(GLuint, GLsizei)>("glDeleteLists");
    next(list, range);
}

namespace volumira {
namespace {

class SilentPrompt : public Prompt {
  public:
    bool askWarning(const std::string&) override { return true; }
    bool askQuestion(const std::string&) override { return true; }
    void inform(const std::string&) override {}
    void error(const std::string& text) override { errors.push_back(text); }
    std::vector<std::string> errors;
};

// The desktop's settings as a settings daemon publishes them to the X server (the XSETTINGS convention):
// here only the font resolution, from which the toolkit takes each screen's pixel ratio (96 dpi: 1, 192
// dpi: 2). It must exist before the application object, which looks for it once.
class DesktopSettings {
  public:
    static DesktopSettings& get() {
        static DesktopSettings settings;
        return settings;
    }

    // The toolkit hears of the change through the X server, in its event loop.
    void setDpi(int dpi) {
        std::vector<std::uint8_t> data{0, 0, 0, 0}; // least significant byte first, padding
        const auto u32 = [&](std::uint32_t v) {
            for (int i = 0; i < 4; ++i)
                data.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
        };
        const std::string name = "Xft/DPI";
        u32(++serial_);
        u32(1);                    // one setting
        data.push_back(0);         // an integer
        data.push_back(0);         // padding
        data.push_back(static_cast<std::uint8_t>(name.size()));
        data.push_back(0);
        data.insert(data.end(), name.begin(), name.end());
        while (data.size() % 4 != 0)
            data.push_back(0);
        u32(serial_);
        u32(static_cast<std::uint32_t>(dpi * 1024));
        xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window_, settingsAtom_, settingsAtom_, 8,
                            static_cast<std::uint32_t>(data.size()), data.data());
        xcb_flush(connection_);
    }

  private:
    DesktopSettings() : connection_(xcb_connect(nullptr, nullptr)) {
        xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
        window_ = xcb_generate_id(connection_);
        xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window_, screen->root, 0, 0, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
        settingsAtom_ = atom("_XSETTINGS_SETTINGS");
        setDpi(96);
        xcb_set_selection_owner(connection_, window_, atom("_XSETTINGS_S0"), XCB_CURRENT_TIME);
        xcb_flush(connection_);
    }
    xcb_atom_t atom(const char* name) {
        xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
            connection_, xcb_intern_atom(connection_, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
        const xcb_atom_t atom = reply ? reply->atom : XCB_ATOM_NONE;
        std::free(reply);
        return atom;
    }

    xcb_connection_t* connection_;
    xcb_window_t window_ = 0;
    xcb_atom_t settingsAtom_ = XCB_ATOM_NONE;
    std::uint32_t serial_ = 0;
};

// A gene of the sample atlas with a block of strongly expressing cells around the middle of the brain.
std::unique_ptr<GeneExpression> middleGene(const ReferenceAtlas& atlas) {
    std::vector<std::int32_t> ids;
    for (int x = 60; x < 72; x += 2)
        for (int y = 30; y < 42; y += 2)
            for (int z = 50; z < 62; z += 2)
                ids.push_back(test::gridIdOf(x, y, z));
    test::Bytes payload;
    for (int i = 0; i < GeneExpression::kHeaderSize; ++i)
        payload.i32(i == GeneExpression::kHeaderCellCount ? static_cast<std::int32_t>(ids.size()) : 0);
    payload.str("Middle gene").str("Mid1").str("").str("").str("");
    for (const std::int32_t id : ids)
        payload.raw(test::currentRecord(id, 40.0f, 1.0f, 120.0f, 1, 0, 0, 12));
    MemoryStream stream = test::streamOf(test::Bytes{}
                                             .u32(GeneExpression::kMagic)
                                             .i32(GeneExpression::kFormatCurrent)
                                             .raw(test::compressedBlock(payload.data))
                                             .data);
    return std::make_unique<GeneExpression>(stream, ExpressionAtlas(atlas));
}

class GLViewTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        CGLView::configureSurfaceFormat(formatPreferences());
        DesktopSettings::get();
        static int argc = 1;
        static char name[] = "gl_view_tests";
        static char* argv[] = {name, nullptr};
        static QApplication application(argc, argv);
    }
    static UserPreferences& formatPreferences() {
        static MemorySettingsStore store;
        static UserPreferences preferences(store, PreferencesEnvironment::ofProcess());
        return preferences;
    }

    void SetUp() override {
        model.showSearchableStructures(atlas.ontology());
        makeView();
    }

    // The view with the scene installed, made with the preferences as they are now.
    void makeView() {
        view = std::make_unique<CGLView>(preferences, prompt);
        view->setTextBoxFactory(createQtTextBox);
        tabs = std::make_unique<TabControlRenderer>(*view, nullptr);
        scene = std::make_unique<BrainSceneRenderer>(*view, model, *tabs, atlas, preferences);
        tabs->addTab("Detail View", false, static_cast<GLInteractiveRenderer*>(scene.get()));
        view->installPage(scene.get());
        view->resize(800, 600);
    }

    void dropView() {
        view->installPage(nullptr);
        scene.reset();
        tabs.reset();
        view.reset();
    }

    void TearDown() override {
        dropView();
        EXPECT_TRUE(prompt.errors.empty());
    }

    // Shows the view, or draws the model's change, and waits for the frame to reach the window: an
    // ordinary paint, after which the toolkit's own context is current.
    void paintAndWait() {
        QSignalSpy swapped(view.get(), &QOpenGLWidget::frameSwapped);
        if (!view->isVisible()) {
            view->show();
            ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
        } else {
            view->requestRedraw();
        }
        ASSERT_TRUE(swapped.count() > 0 || swapped.wait(10000));
        QCoreApplication::processEvents();
    }

    QPoint centre() const { return QPoint(view->width() / 2, view->height() / 2); }

    ReferenceAtlas& atlas = test::SampleAtlasFixture::atlas();
    MemorySettingsStore store;
    UserPreferences preferences{store, PreferencesEnvironment::ofProcess()};
    SilentPrompt prompt;
    BrainExpressionModel model{preferences};
    std::unique_ptr<CGLView> view;
    std::unique_ptr<TabControlRenderer> tabs;
    std::unique_ptr<BrainSceneRenderer> scene;
};

TEST_F(GLViewTest, ARightClickAfterAPaintSelectsTheStructureUnderThePointer) {
    paintAndWait();
    ASSERT_NE(QOpenGLContext::currentContext(), view->context());
    QTest::mouseClick(view.get(), Qt::RightButton, Qt::NoModifier, centre());
    ASSERT_NE(model.highlightedStructure(), nullptr);
    EXPECT_NE(model.highlightedStructure()->parent, nullptr); // a region, not the whole brain
    EXPECT_FALSE(scene->selectionText().empty());
}

TEST_F(GLViewTest, DraggingAShownSectionMovesIt) {
    // Turned 45 degrees about the vertical axis, the coronal section faces the viewer obliquely, its
    // middle under the view's centre; a sideways drag then runs partly along its axis.
    model.setRotation({0.0f, 0.38268343f, 0.0f, 0.92387953f}, true);
    model.setShownStructures(StructureSet{}, true);
    model.setDisplayFlag(0, true, true);
    paintAndWait();
    ASSERT_NE(QOpenGLContext::currentContext(), view->context());
    const float before = model.sectionPosition(0);
    const QPoint from = centre();
    QTest::mousePress(view.get(), Qt::RightButton, Qt::NoModifier, from);
    for (int step = 1; step <= 4; ++step)
        QTest::mouseMove(view.get(), from + QPoint(20 * step, 0));
    QTest::mouseRelease(view.get(), Qt::RightButton, Qt::NoModifier, from + QPoint(80, 0));
    EXPECT_GT(std::abs(model.sectionPosition(0) - before), 2.0f);
    EXPECT_EQ(model.highlightedStructure(), nullptr); // a drag, not a click
}

TEST_F(GLViewTest, AClickOnASectionSelectsTheSameStructureWithMultisamplingOn) {
    // The coronal section turned to face the viewer obliquely: where along the line of sight the click
    // meets the section comes from the depth under the pointer.
    model.setRotation({0.0f, 0.38268343f, 0.0f, 0.92387953f}, true);
    model.setShownStructures(StructureSet{}, true);
    model.setDisplayFlag(0, true, true);
    const QPoint at = centre();
    const auto clickedStructure = [&] {
        model.setHighlightedStructure(nullptr, true);
        paintAndWait();
        QTest::mouseClick(view.get(), Qt::RightButton, Qt::NoModifier, at);
        return model.highlightedStructure();
    };
    const Structure* const single = clickedStructure();
    ASSERT_NE(single, nullptr);

    dropView();
    preferences.setMultisample(4);
    makeView();
    const Structure* const multisampled = clickedStructure();
    // The view did draw into a framebuffer of several samples per pixel.
    view->makeCurrent();
    GLint sampleBuffers = 0;
    glGetIntegerv(GL_SAMPLE_BUFFERS, &sampleBuffers);
    view->doneCurrent();
    ASSERT_GT(sampleBuffers, 0) << "no multisampling on this display";
    ASSERT_NE(multisampled, nullptr);
    EXPECT_EQ(multisampled->acronym, single->acronym);
}

TEST_F(GLViewTest, AWindowClosedOverTheViewLeavesTheSceneOnTheScreen) {
    paintAndWait();
    // What the screen shows of the view, read back from the X server.
    const auto onScreen = [&] {
        const QPoint origin = view->mapToGlobal(QPoint(0, 0));
        return view->screen()->grabWindow(0, origin.x(), origin.y(), view->width(), view->height()).toImage();
    };
    const auto litPixels = [](const QImage& image) {
        int lit = 0;
        for (int y = 0; y < image.height(); y += 4)
            for (int x = 0; x < image.width(); x += 4)
                lit += (image.pixel(x, y) & 0xFFFFFF) != 0;
        return lit;
    };
    const QImage before = onScreen();
    ASSERT_GT(litPixels(before), 100);

    // A dialog over the view takes the focus and goes again: the toolkit paints the view once more on
    // its own, though nothing in the scene changed.
    QWidget dialog;
    dialog.setGeometry(QRect(view->mapToGlobal(QPoint(0, 0)) + QPoint(100, 100), QSize(300, 200)));
    dialog.show();
    dialog.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    QSignalSpy swapped(view.get(), &QOpenGLWidget::frameSwapped);
    dialog.hide();
    view->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(view.get()));
    ASSERT_TRUE(swapped.count() > 0 || swapped.wait(10000));
    QCoreApplication::processEvents();
    const QImage after = onScreen();
    EXPECT_EQ(litPixels(after), litPixels(before)); // all but 0 when the view went black
    EXPECT_TRUE(after == before) << "the view shows another picture";
}

TEST_F(GLViewTest, AViewMovedToAScreenOfAnotherPixelRatioIsDrawnAgain) {
    paintAndWait();
    // Pixels lit in the framebuffer the toolkit composes into the window, one in sixteen.
    const auto litPixels = [&] {
        view->makeCurrent();
        const QSize size = view->size() * view->devicePixelRatioF();
        std::vector<std::uint8_t> rgba(static_cast<std::size_t>(size.width()) * size.height() * 4);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, size.width(), size.height(), GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
        view->doneCurrent();
        int lit = 0;
        for (std::size_t i = 0; i < rgba.size(); i += 4 * 16)
            lit += (rgba[i] | rgba[i + 1] | rgba[i + 2]) != 0;
        return lit;
    };
    ASSERT_GT(litPixels(), 100);
    // The screen's pixel ratio doubles; the toolkit tells the view its screen changed and paints the window
    // again, as when the window is moved to a screen of another ratio.
    const auto changeRatio = [&](int dpi, qreal ratio) {
        DesktopSettings::get().setDpi(dpi);
        ASSERT_TRUE(QTest::qWaitFor([&] { return view->devicePixelRatioF() == ratio; }, 5000));
        QSignalSpy swapped(view.get(), &QOpenGLWidget::frameSwapped);
        QEvent changed(QEvent::ScreenChangeInternal);
        QCoreApplication::sendEvent(view.get(), &changed);
        view->update();
        ASSERT_TRUE(swapped.wait(10000));
        QCoreApplication::processEvents();
    };
    changeRatio(192, 2.0);
    EXPECT_GT(litPixels(), 100) << "the view shows an empty framebuffer";
    changeRatio(96, 1.0);
    EXPECT_GT(litPixels(), 100) << "the view shows an empty framebuffer";
}

TEST_F(GLViewTest, AFlickSpinsTheSceneAndAQuickClickStopsIt) {
    paintAndWait();
    // QTest stamps each event a millisecond after the one before: the release follows the last motion at
    // once, as after a flick, and a click's release its press, as a touchpad tap does.
    QTest::mousePress(view.get(), Qt::LeftButton, Qt::NoModifier, centre());
    QTest::mouseMove(view.get(), centre() + QPoint(10, 0));
    QTest::mouseMove(view.get(), centre() + QPoint(20, 0));
    QTest::mouseRelease(view.get(), Qt::LeftButton, Qt::NoModifier, centre() + QPoint(20, 0));
    ASSERT_TRUE(scene->isSpinning());
    const std::array<float, 4> flicked = model.rotation();
    EXPECT_TRUE(QTest::qWaitFor([&] { return model.rotation() != flicked; }, 5000));

    QTest::mouseClick(view.get(), Qt::LeftButton, Qt::NoModifier, centre());
    EXPECT_FALSE(scene->isSpinning());
    const std::array<float, 4> clicked = model.rotation();
    QTest::qWait(5 * BrainSceneRenderer::kAnimationIntervalMs);
    EXPECT_EQ(model.rotation(), clicked);
}

TEST_F(GLViewTest, RemovingAGeneDeletesItsBuffersAndTexturesInTheViewsContext) {
    model.setShownStructures(StructureSet{}, true);
    model.addGene(middleGene(atlas));
    model.setCurrentGene(&model.geneAt(0), true);
    model.setThresholdControlsShown(true, true);
    paintAndWait();
    QOpenGLContext* const compositor = QOpenGLContext::currentContext();
    ASSERT_NE(compositor, view->context());

    bufferDeletions.clear();
    textureDeletions.clear();
    model.removeGene(0);
    // The guard puts back what was current.
    EXPECT_EQ(QOpenGLContext::currentContext(), compositor);

    ASSERT_FALSE(bufferDeletions.empty()) << "the gene's expressors were drawn from buffers";
    ASSERT_FALSE(textureDeletions.empty()) << "its threshold plot was drawn from a texture";
    std::vector<GLuint> buffers;
    for (const auto* deletions : {&bufferDeletions, &textureDeletions})
        for (const Deletion& d : *deletions)
            EXPECT_EQ(d.context, view->context());
    for (const Deletion& d : bufferDeletions)
        buffers.insert(buffers.end(), d.names.begin(), d.names.end());
    view->makeCurrent();
    for (const GLuint name : buffers)
        EXPECT_FALSE(glIsBuffer(name)) << "buffer " << name;
    view->doneCurrent();
    paintAndWait();
    EXPECT_TRUE(prompt.errors.empty());
}

TEST_F(GLViewTest, TheViewsContextGoingFreesItsObjectsThereAndTheSceneIsDrawnAgainInTheNext) {
    model.addGene(middleGene(atlas));
    model.setCurrentGene(&model.geneAt(0), true);
    model.setThresholdControlsShown(true, true);
    paintAndWait();
    const QImage before = view->grabFramebuffer();
    QOpenGLContext* const first = view->context();
    bufferDeletions.clear();
    textureDeletions.clear();
    listDeletions.clear();

    // Moved into another window, the view loses its context while the scene and the strip stay.
    QSignalSpy going(first, &QOpenGLContext::aboutToBeDestroyed);
    QWidget window;
    window.resize(800, 600);
    view->setParent(&window);
    const auto backOut = qScopeGuard([&] { view->setParent(nullptr); });
    ASSERT_EQ(going.count(), 1);
    ASSERT_FALSE(bufferDeletions.empty()) << "the gene's expressors";
    ASSERT_FALSE(textureDeletions.empty()) << "its threshold plot, the text boxes";
    ASSERT_FALSE(listDeletions.empty()) << "the structure surfaces";
    for (const auto* deletions : {&bufferDeletions, &textureDeletions, &listDeletions})
        for (const Deletion& d : *deletions)
            EXPECT_EQ(d.context, first) << d.names.size() << " names deleted without their context";

    // In the new window the view has a new context: the scene makes its objects and its state again and
    // draws the same picture.
    bufferDeletions.clear();
    textureDeletions.clear();
    listDeletions.clear();
    QSignalSpy swapped(view.get(), &QOpenGLWidget::frameSwapped);
    view->show();
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    ASSERT_TRUE(swapped.count() > 0 || swapped.wait(10000));
    QOpenGLContext* const second = view->context();
    ASSERT_NE(second, nullptr);
    const QImage after = view->grabFramebuffer();
    int lit = 0;
    for (int y = 0; y < after.height(); y += 4)
        for (int x = 0; x < after.width(); x += 4)
            lit += (after.pixel(x, y) & 0xFFFFFF) != 0;
    EXPECT_GT(lit, 100);
    EXPECT_TRUE(after == before) << "the view shows another picture";
    // Nothing of the first context is deleted a second time, in this context or in none.
    EXPECT_TRUE(bufferDeletions.empty() && textureDeletions.empty() && listDeletions.empty());

    // What the scene made in the new context goes in it.
    view->installPage(nullptr);
    scene.reset();
    tabs.reset();
    ASSERT_FALSE(listDeletions.empty());
    for (const auto* deletions : {&bufferDeletions, &textureDeletions, &listDeletions})
        for (const Deletion& d : *deletions)
            EXPECT_EQ(d.context, second) << d.names.size() << " names deleted without their context";
}

TEST_F(GLViewTest, HoveringTheThresholdControlShowsItsPointerShapes) {
    model.addGene(middleGene(atlas));
    model.setCurrentGene(&model.geneAt(0), true);
    model.setThresholdControlsShown(true, true);
    paintAndWait();
    // The middle of the plot in the lower right corner lies inside the threshold window.
    const QPoint plotMiddle(view->width() - 75, view->height() - 1 - 100);
    QTest::mouseMove(view.get(), plotMiddle);
    EXPECT_TRUE(QTest::qWaitFor([&] { return view->cursor().shape() == Qt::SizeAllCursor; }, 5000));
    QTest::mouseMove(view.get(), centre());
    EXPECT_TRUE(QTest::qWaitFor([&] { return view->cursor().shape() == Qt::ArrowCursor; }, 5000));
}

TEST_F(GLViewTest, LosingTheFocusMidDragLetsTheNextClickThrough) {
    paintAndWait();
    QWidget other;
    other.resize(100, 100);
    other.move(900, 700);
    other.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&other));

    view->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(view.get()));
    // A rotation drag starts; another window takes the focus before the button comes up there.
    QTest::mousePress(view.get(), Qt::LeftButton, Qt::NoModifier, centre());
    QTest::mouseMove(view.get(), centre() + QPoint(10, 0));
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    QTest::mouseRelease(&other, Qt::LeftButton, Qt::NoModifier, QPoint(50, 50));

    view->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(view.get()));
    paintAndWait();
    QTest::mouseClick(view.get(), Qt::RightButton, Qt::NoModifier, centre());
    EXPECT_NE(model.highlightedStructure(), nullptr);
}

} // namespace
} // namespace volumira
