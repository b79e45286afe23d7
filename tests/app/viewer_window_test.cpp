#include "app/CGLView.h"
#include "app/Prompt.h"
#include "app/ViewerWindow.h"
#include "atlas/Ontology.h"
#include "expression/BrainExpressionModel.h"
#include "preferences/MemorySettingsStore.h"
#include "preferences/UserPreferences.h"
#include "scene/SampleAtlasFixture.h"

#include <QApplication>
#include <QTest>
#include <QWheelEvent>
#include <gtest/gtest.h>

namespace volumira {
namespace {

// Answers every question with Yes and counts what it was asked.
class YesPrompt : public Prompt {
  public:
    bool askWarning(const std::string& text) override {
        warnings.push_back(text);
        return true;
    }
    bool askQuestion(const std::string& text) override {
        questions.push_back(text);
        return true;
    }
    void inform(const std::string&) override {}
    void error(const std::string& text) override { errors.push_back(text); }
    std::vector<std::string> warnings, questions, errors;
};

class ViewerWindowTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        CGLView::configureSurfaceFormat(formatPreferences());
        static int argc = 1;
        static char name[] = "app_tests";
        static char* argv[] = {name, nullptr};
        static QApplication application(argc, argv);
    }
    static UserPreferences& formatPreferences() {
        static MemorySettingsStore store;
        static UserPreferences preferences(store, PreferencesEnvironment::ofProcess());
        return preferences;
    }

    ReferenceAtlas& atlas = test::SampleAtlasFixture::atlas();
    MemorySettingsStore store;
    UserPreferences preferences{store, PreferencesEnvironment::ofProcess()};
    YesPrompt prompt;
};

QRgb centrePixel(CGLView& view) {
    const QImage image = view.grabFramebuffer();
    return image.pixel(image.width() / 2, image.height() / 2);
}

TEST_F(ViewerWindowTest, ShowsTheSceneAndTakesTheMouseAndKeys) {
    BrainExpressionModel model(preferences);
    model.showSearchableStructures(atlas.ontology());
    model.setDisplayFlag(0, true, false);
    ViewerWindow window(model, atlas, preferences, prompt);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    CGLView& view = window.view();

    // Software rendering here: the warning is asked once, and so is the offer of faster settings.
    ASSERT_TRUE(view.checkDisplay());
    EXPECT_EQ(prompt.warnings.size(), view.displayFacts().renderer.find("llvmpipe") != std::string::npos ? 1u : 0u);
    EXPECT_TRUE(view.checkDisplay());
    EXPECT_LE(prompt.questions.size(), 1u);

    const QRgb centre = centrePixel(view);
    EXPECT_GT(qRed(centre) + qGreen(centre) + qBlue(centre), 30);

    const float zoom = model.zoom();
    const QPointF at(view.width() / 2.0, view.height() / 2.0);
    QWheelEvent wheel(at, view.mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(&view, &wheel);
    EXPECT_EQ(model.zoom(), zoom + 10.0f);

    const float position = model.sectionPosition(0);
    QTest::keyClick(&view, ']');
    EXPECT_FLOAT_EQ(model.sectionPosition(0), position + 0.25f);

    // A right click with the rotate tool selects what lies under the pointer.
    model.setDisplayFlag(0, false, false);
    QTest::mouseClick(&view, Qt::RightButton, Qt::NoModifier, at.toPoint());
    EXPECT_NE(model.highlightedStructure(), nullptr);
    EXPECT_TRUE(prompt.errors.empty());
}

} // namespace
} // namespace volumira
