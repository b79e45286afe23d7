#include "RenderTestSupport.h"
#include "render/MatrixMath.h"
#include "render/PanMouseTool.h"
#include "render/SceneCamera.h"
#include "render/Trackball.h"

#include <cmath>
#include <gtest/gtest.h>

namespace volumira {
namespace {

using test::RecordingOwner;

void expectQuaternion(const Quaternion& actual, const Quaternion& expected, float tolerance = 1e-5f) {
    for (int i = 0; i < 4; ++i)
        EXPECT_NEAR(actual[i], expected[i], tolerance) << "component " << i;
}

TEST(TrackballMath, ProjectToSphereOnTheBallAndOnTheSheet) {
    struct Case {
        float x, y, expected;
    };
    const Case cases[] = {
        {0.0f, 0.0f, 0.4f},         // top of the ball
        {0.2f, 0.0f, 0.3464102f},   // on the ball: sqrt(0.16 - 0.04)
        {0.0f, -0.28f, 0.2856571f}, // just inside the switch radius 0.2828
        {0.3f, 0.0f, 0.2666667f},   // on the sheet: 0.08 / 0.3
        {0.6f, 0.8f, 0.08f},        // on the sheet: 0.08 / 1
    };
    for (const Case& c : cases)
        EXPECT_NEAR(trackball::projectToSphere(0.4f, c.x, c.y), c.expected, 1e-6f) << c.x << ", " << c.y;
}

TEST(TrackballMath, RotationBetweenTwoPointerPositions) {
    struct Case {
        float p1x, p1y, p2x, p2y;
        Quaternion expected;
    };
    const Case cases[] = {
        {0.3f, -0.2f, 0.3f, -0.2f, {0, 0, 0, 1}}, // same point: exactly the identity
        {0.0f, 0.0f, 0.1f, 0.0f, {0, -0.1260043f, 0, 0.9920297f}},
        {0.5f, 0.5f, -0.2f, 0.3f, {-0.2412107f, 0.4184201f, -0.7831626f, 0.3916610f}},
        // Far apart: the angle is clamped to half a turn.
        {1.0f, 1.0f, -1.0f, -1.0f, {-0.7071068f, 0.7071068f, 0, 0}},
    };
    for (const Case& c : cases)
        expectQuaternion(trackball::rotationBetween(c.p1x, c.p1y, c.p2x, c.p2y), c.expected);
    EXPECT_EQ(trackball::rotationBetween(0.3f, -0.2f, 0.3f, -0.2f), (Quaternion{0, 0, 0, 1}));
}

TEST(TrackballMath, ComposeAppliesTheFirstAfterTheSecond) {
    const float h = std::sqrt(0.5f);
    const Quaternion aboutZ = trackball::axisAngle({0, 0, 2}, static_cast<float>(M_PI / 2));
    const Quaternion aboutX = trackball::axisAngle({3, 0, 0}, static_cast<float>(M_PI / 2));
    expectQuaternion(aboutZ, {0, 0, h, h});
    expectQuaternion(aboutX, {h, 0, 0, h});
    trackball::resetCompositionCount();
    expectQuaternion(trackball::compose(aboutZ, aboutX), {0.5f, -0.5f, 0.5f, 0.5f});
    expectQuaternion(trackball::compose(aboutX, aboutZ), {0.5f, 0.5f, 0.5f, 0.5f});
    EXPECT_EQ(trackball::compositionCount(), 2);
}

TEST(TrackballMath, EveryNinetyEighthCompositionDividesBySquaredLength) {
    trackball::resetCompositionCount();
    const Quaternion identity{0, 0, 0, 1}, doubled{0, 0, 0, 2};
    for (int i = 0; i < 96; ++i)
        trackball::compose(identity, identity);
    // The 97th keeps the drifted length; the 98th divides by 2 squared and restarts the count.
    EXPECT_EQ(trackball::compose(doubled, identity), doubled);
    EXPECT_EQ(trackball::compositionCount(), 97);
    EXPECT_EQ(trackball::compose(doubled, identity), (Quaternion{0, 0, 0, 0.5f}));
    EXPECT_EQ(trackball::compositionCount(), 0);
    EXPECT_EQ(trackball::compose(doubled, identity), doubled);
}

TEST(TrackballMath, MatrixFromQuaternion) {
    const float h = std::sqrt(0.5f);
    struct Case {
        Quaternion q;
        Matrix4 expected;
    };
    const Case cases[] = {
        {{0, 0, 0, 1}, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}},
        {{0, 0, h, h}, {0, -1, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}},
        {{h, 0, 0, h}, {1, 0, 0, 0, 0, 0, -1, 0, 0, 1, 0, 0, 0, 0, 0, 1}},
        {{0.5f, 0.5f, 0.5f, 0.5f}, {0, 0, 1, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1}},
    };
    for (const Case& c : cases) {
        const Matrix4 m = trackball::rotationMatrix(c.q);
        for (int i = 0; i < 16; ++i)
            EXPECT_NEAR(m[i], c.expected[i], 1e-6f) << "element " << i;
    }
}

TEST(Trackball, QuickReleaseKeepsSpinningSlowReleaseStops) {
    struct Case {
        std::uint32_t lastMotion, release;
        bool spins;
    };
    const Case cases[] = {
        {1000, 1024, true},
        {1000, 1025, false},
        {1000, 1000, true},
        {0xFFFFFFF0u, 0x00000007u, true}, // the tick counter wrapped: 23 ms
        {0xFFFFFFF0u, 0x00000009u, false},
    };
    for (const Case& c : cases) {
        RecordingOwner owner;
        Trackball ball;
        ball.setOwner(&owner);
        ball.setViewportSize(200, 100);
        EXPECT_TRUE(ball.mouseDown(0, 100, 50, 0, c.lastMotion - 30));
        EXPECT_TRUE(ball.mouseMove(110, 50, 0, c.lastMotion));
        EXPECT_TRUE(ball.mouseUp(0, 110, 50, 0, c.release));
        ASSERT_EQ(owner.spins.size(), 1u);
        EXPECT_EQ(owner.spins[0], c.spins) << c.lastMotion << " -> " << c.release;
    }

    // A quick release after no turning leaves the view still: a click or tap with no motion, and a drag
    // whose last motion stayed where the pointer was.
    for (const bool withMotion : {false, true}) {
        RecordingOwner owner;
        Trackball ball;
        ball.setOwner(&owner);
        ball.setViewportSize(200, 100);
        ball.mouseDown(0, 100, 50, 0, 1000);
        if (withMotion) {
            ball.mouseMove(110, 50, 0, 1005);
            ball.mouseMove(110, 50, 0, 1010);
        }
        ball.mouseUp(0, 110, 50, 0, 1012);
        EXPECT_EQ(owner.spins, std::vector<bool>{false}) << "with motion: " << withMotion;
    }
}

TEST(Trackball, DragRotatesAndStoresTheOrientationInTheModel) {
    RecordingOwner owner;
    Trackball ball;
    ball.setOwner(&owner);
    ball.setViewportSize(200, 100);
    ball.mouseDown(0, 100, 50, 0, 0);
    // Centre to 10 pixels right: from (0, 0) to (0.1, 0) in ball units.
    ball.mouseMove(110, 50, 0, 5);
    expectQuaternion(ball.spinRotation(), {0, -0.1260043f, 0, 0.9920297f});
    expectQuaternion(ball.orientation(), {0, -0.1260043f, 0, 0.9920297f});
    EXPECT_EQ(owner.testModel.rotation(), ball.orientation());
    const Matrix4 expected = trackball::rotationMatrix(ball.orientation());
    EXPECT_EQ(ball.matrix(), expected);

    // Moving to where the pointer already is changes nothing.
    const Quaternion before = ball.orientation();
    ball.mouseMove(110, 50, 0, 6);
    EXPECT_EQ(ball.spinRotation(), (Quaternion{0, 0, 0, 1}));
    EXPECT_EQ(ball.orientation(), before);

    // Without a press, motion does nothing.
    ball.mouseUp(0, 110, 50, 0, 100);
    ball.mouseMove(150, 20, 0, 110);
    EXPECT_EQ(ball.orientation(), before);
}

TEST(Trackball, RotateTurnsOnceOrStartsSpinning) {
    const float angle = 0.017453292f;
    RecordingOwner owner;
    Trackball ball;
    ball.setOwner(&owner);
    ball.rotate({1, 0, 0}, angle, false);
    expectQuaternion(ball.orientation(), trackball::axisAngle({1, 0, 0}, angle));
    EXPECT_TRUE(owner.spins.empty());
    EXPECT_EQ(owner.testModel.rotation(), ball.orientation());

    Trackball animated;
    animated.setOwner(&owner);
    animated.rotate({0, 1, 0}, angle, true);
    expectQuaternion(animated.spinRotation(), trackball::axisAngle({0, 1, 0}, 2 * angle));
    expectQuaternion(animated.orientation(), animated.spinRotation());
    EXPECT_EQ(owner.spins, std::vector<bool>{true});

    animated.setOrientation({0, 0, 0, 1});
    EXPECT_EQ(animated.spinRotation(), (Quaternion{0, 0, 0, 1}));
    animated.step();
    EXPECT_EQ(animated.orientation(), (Quaternion{0, 0, 0, 1}));
}

TEST(PanMouseTool, PansByPointerOffsetWithYUpwards) {
    RecordingOwner owner;
    PanMouseTool tool;
    tool.setOwner(&owner);
    EXPECT_TRUE(tool.mouseDown(1, 10, 20, 0, 0));
    EXPECT_TRUE(tool.mouseMove(15, 12, 0, 1));
    EXPECT_TRUE(tool.mouseMove(13, 30, 0, 2));
    EXPECT_FALSE(tool.mouseUp(1, 13, 30, 0, 3));
    const std::vector<std::array<int, 2>> expected{{5, 8}, {-2, -18}};
    EXPECT_EQ(owner.pans, expected);
}

// Where the camera puts a volume point, in window pixels (x right, y up).
std::array<float, 2> toWindow(const SceneCamera& camera, const Matrix4& modelView,
                              const std::array<float, 3>& p) {
    const SceneCamera::Ortho o = camera.ortho();
    float eye[3];
    for (int r = 0; r < 3; ++r)
        eye[r] = modelView[r] * p[0] + modelView[4 + r] * p[1] + modelView[8 + r] * p[2] + modelView[12 + r];
    const float ndcX = 2 * (eye[0] - o.left) / (o.right - o.left) - 1;
    const float ndcY = 2 * (eye[1] - o.bottom) / (o.top - o.bottom) - 1;
    return {(ndcX + 1) / 2 * camera.viewportWidth(), (ndcY + 1) / 2 * camera.viewportHeight()};
}

TEST(SceneCamera, OrthographicVolumeFromViewport) {
    SceneCamera camera({133, 81, 115});
    camera.setViewport(800, 600);
    const SceneCamera::Ortho o = camera.ortho();
    // half = 133 / 2 in integers = 66.
    EXPECT_FLOAT_EQ(o.left, -66);
    EXPECT_FLOAT_EQ(o.right, 66);
    EXPECT_FLOAT_EQ(o.bottom, -49.5f);
    EXPECT_FLOAT_EQ(o.top, 49.5f);
    EXPECT_FLOAT_EQ(o.nearPlane, -660);
    EXPECT_FLOAT_EQ(o.farPlane, 660);
    EXPECT_FLOAT_EQ(SceneCamera::zoomScale(40), 0.8f);
    EXPECT_FLOAT_EQ(SceneCamera::zoomScale(15), 0.3f);
    EXPECT_FLOAT_EQ(SceneCamera::zoomScale(250), 5.0f);
}

TEST(SceneCamera, ModelViewCentresAndFlipsTheVolume) {
    SceneCamera camera({133, 81, 115});
    const Matrix4 identity = trackball::rotationMatrix({0, 0, 0, 1});
    const Matrix4 m = camera.modelView(identity, 40, {0, 0, 0});
    struct Case {
        std::array<float, 3> volume, eye;
    };
    const Case cases[] = {
        {{66.5f, 40.5f, 57.5f}, {0, 0, 0}},
        {{76.5f, 40.5f, 57.5f}, {8, 0, 0}},
        {{66.5f, 50.5f, 57.5f}, {0, -8, 0}},
        {{66.5f, 40.5f, 67.5f}, {0, 0, -8}},
    };
    for (const Case& c : cases)
        for (int r = 0; r < 3; ++r)
            EXPECT_NEAR(m[r] * c.volume[0] + m[4 + r] * c.volume[1] + m[8 + r] * c.volume[2] + m[12 + r],
                        c.eye[r], 1e-4f);
    // The pan moves in scaled units, before the flip: y up on screen is -y in the volume.
    const Matrix4 panned = camera.modelView(identity, 40, {1, 2, 3});
    EXPECT_NEAR(panned[12], 0.8f * (1 - 66.5f), 1e-4f);
    EXPECT_NEAR(panned[13], 0.8f * (2 + 40.5f), 1e-4f);
    EXPECT_NEAR(panned[14], 0.8f * (3 + 57.5f), 1e-4f);
}

TEST(SceneCamera, PanKeepsThePointUnderThePointer) {
    SceneCamera camera({133, 81, 115});
    camera.setViewport(640, 480);
    const Matrix4 rotation =
        trackball::rotationMatrix(trackball::compose(trackball::axisAngle({1, 2, 3}, 0.7f), {0, 0, 0, 1}));
    const std::array<float, 3> point{30, 60, 20};
    for (float zoom : {15.0f, 40.0f, 250.0f}) {
        const std::array<float, 3> pan{1.5f, -2, 4};
        const auto before = toWindow(camera, camera.modelView(rotation, zoom, pan), point);
        const auto moved = camera.panBy(pan, rotation, zoom, 17, -9);
        const auto after = toWindow(camera, camera.modelView(rotation, zoom, moved), point);
        // The pan measures pixels against the full grid width while the projection spans twice the integer
        // half of it (132 of 133 units), so the point trails the pointer by under 1%.
        EXPECT_NEAR(after[0] - before[0], 17, 0.17f) << zoom;
        EXPECT_NEAR(after[1] - before[1], -9, 0.09f) << zoom;
    }
    // A window of no width (minimised) cannot turn pixels into units: the pan stays.
    camera.setViewport(0, 0);
    EXPECT_EQ(camera.panBy({1, 2, 3}, rotation, 40, 5, 5), (std::array<float, 3>{1, 2, 3}));
}

TEST(SceneCamera, CentringPutsThePointInTheMiddle) {
    SceneCamera camera({133, 81, 115});
    camera.setViewport(400, 300);
    const Matrix4 rotation = trackball::rotationMatrix(trackball::axisAngle({0.3f, -1, 0.2f}, 2.1f));
    for (const std::array<float, 3>& p :
         {std::array<float, 3>{10, 20, 30}, {120, 5, 100}, {66.5f, 40.5f, 57.5f}}) {
        const auto window = toWindow(camera, camera.modelView(rotation, 120, camera.centreOn(p)), p);
        EXPECT_NEAR(window[0], 200, 1e-2f);
        EXPECT_NEAR(window[1], 150, 1e-2f);
    }
    EXPECT_EQ(camera.centreOn({66.5f, 40.5f, 57.5f}), (std::array<float, 3>{0, 0, 0}));
}

void expectIdentity(const Matrix4& m) {
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(m[i], i % 5 == 0 ? 1.0f : 0.0f, 1e-5f) << "element " << i;
}

TEST(MatrixMath, InverseOfInvertibleMatrices) {
    const Matrix4 cases[] = {
        {2, 0, 0, 0, 0, 4, 0, 0, 0, 0, 0.5f, 0, 3, -2, 7, 1},
        // Zero on the diagonal: needs the row exchange of partial pivoting.
        {0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 0, 1, 0, 0, 1, 0},
        {1, 2, 3, 4, 0, 1, 5, 6, 2, 1, 0, 3, 1, 1, 1, 2},
    };
    for (const Matrix4& m : cases) {
        Matrix4 inverse{};
        ASSERT_TRUE(invertMatrix(m, inverse));
        expectIdentity(multiplyMatrices(m, inverse));
        expectIdentity(multiplyMatrices(inverse, m));
    }
}

TEST(MatrixMath, SingularMatrixLeavesOutputAlone) {
    const Matrix4 singular{1, 2, 3, 4, 2, 4, 6, 8, 0, 1, 0, 1, 5, 5, 5, 5};
    Matrix4 out;
    out.fill(7);
    EXPECT_FALSE(invertMatrix(singular, out));
    for (float v : out)
        EXPECT_EQ(v, 7);
}

TEST(MatrixMath, UnprojectMapsWindowPointsBack) {
    Matrix4 identity{};
    for (int i = 0; i < 4; ++i)
        identity[i * 5] = 1;
    const std::array<int, 4> viewport{10, 20, 200, 100};
    struct Case {
        float x, y, depth;
        std::array<float, 3> expected;
    };
    const Case cases[] = {
        {110, 70, 0.5f, {0, 0, 0}},
        {10, 20, 0, {-1, -1, -1}},
        {210, 120, 1, {1, 1, 1}},
        {160, 45, 0.75f, {0.5f, -0.5f, 0.5f}},
    };
    for (const Case& c : cases) {
        std::array<float, 3> out{};
        ASSERT_TRUE(unproject(c.x, c.y, c.depth, identity, viewport, out));
        for (int i = 0; i < 3; ++i)
            EXPECT_NEAR(out[i], c.expected[i], 1e-6f);
    }
    // A scaled homogeneous coordinate is divided out; a zero one fails and changes nothing.
    Matrix4 halfW = identity;
    halfW[15] = 0.5f;
    std::array<float, 3> out{};
    ASSERT_TRUE(unproject(160, 45, 0.75f, halfW, viewport, out));
    EXPECT_NEAR(out[0], 1.0f, 1e-6f);
    Matrix4 zeroW = identity;
    zeroW[15] = 0;
    out = {4, 5, 6};
    EXPECT_FALSE(unproject(110, 70, 0.5f, zeroW, viewport, out));
    EXPECT_EQ(out, (std::array<float, 3>{4, 5, 6}));
}

} // namespace
} // namespace volumira
