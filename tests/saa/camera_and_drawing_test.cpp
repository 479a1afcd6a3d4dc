// The camera: its values, the moves of the interactive view, and the scene drawn through it into
// an OSMesa context, read back from memory.
#include <GL/gl.h>
#include <GL/osmesa.h>

#include "support/test_prelude.h"

#include "support/temp_database.h"

using namespace vellimor::test;

namespace {

struct View {
    float position[3], interest[3], fov;
};

class CameraMoves : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(db_.load_text(scene_with_models(R"({"name": "Box", "type": 1, "transform": {"translation": [10, 0, 0]},
            "patch": {"u": {"type": 0, "count": 2}, "v": {"type": 0, "count": 2},
                      "vertices": [[-1, -1, 0], [1, -1, 0], [-1, 1, 0], [1, 1, 0]]}},
            {"name": "Far", "type": 0, "transform": {"translation": [-20, 0, 0]}})")),
                  SAA_OK)
            << last_error();
        ASSERT_EQ(SAA_sceneGetCameras(&db_.scene, 1, &camera_), SAA_OK);
    }
    View view() {
        View v{};
        SAA_cameraGetPosition(&db_.scene, &camera_, v.position);
        SAA_cameraGetInterest(&db_.scene, &camera_, v.interest);
        SAA_cameraGetFieldOfView(&db_.scene, &camera_, &v.fov);
        return v;
    }
    static double distance(const View &v) {
        return std::hypot(v.position[0] - v.interest[0], v.position[1] - v.interest[1], v.position[2] - v.interest[2]);
    }
    // Half the angle the point makes with the view axis, in degrees.
    static double off_axis(const View &v, const float p[3]) {
        double a[3], b[3];
        for (int k = 0; k < 3; ++k) {
            a[k] = v.interest[k] - v.position[k];
            b[k] = p[k] - v.position[k];
        }
        double c = (a[0] * b[0] + a[1] * b[1] + a[2] * b[2]) / (std::hypot(a[0], a[1], a[2]) * std::hypot(b[0], b[1], b[2]));
        return std::acos(std::min(1.0, c)) * 180 / M_PI;
    }

    TempDatabase db_;
    SAA_Elem camera_{};
};

TEST_F(CameraMoves, FitFramesTheElementOrTheWholeScene) {
    SAA_Elem box = model_named(db_.scene, "Box");
    ASSERT_EQ(SAA_cameraFitElement(&db_.scene, &camera_, &box), SAA_OK);
    View fitted = view();
    EXPECT_NEAR(fitted.interest[0], 10, 1e-5);
    const float corner[3] = {11, 1, 0};
    double angle = off_axis(fitted, corner);
    EXPECT_LT(angle, fitted.fov / 2) << "the box's corner is in view";
    EXPECT_GT(angle, fitted.fov / 8) << "and the box fills a good part of it";
    ASSERT_EQ(SAA_cameraFitScene(&db_.scene, &camera_, 0), SAA_OK);
    View whole = view();
    const float far_null[3] = {-21, 0, 0};
    EXPECT_LT(off_axis(whole, far_null), whole.fov / 2);
    EXPECT_LT(off_axis(whole, corner), whole.fov / 2);
}

TEST_F(CameraMoves, AspectRatioIsSetAndChecked) {
    float aspect = 0;
    ASSERT_EQ(SAA_cameraSetAspectRatio(&db_.scene, &camera_, 2.0f), SAA_OK);
    ASSERT_EQ(SAA_cameraGetAspectRatio(&db_.scene, &camera_, &aspect), SAA_OK);
    EXPECT_EQ(aspect, 2.0f);
    EXPECT_EQ(SAA_cameraSetAspectRatio(&db_.scene, &camera_, 0), SAA_ERR_ARGUMENT);
    SAA_Elem not_a_camera = model_named(db_.scene, "Box");
    EXPECT_EQ(SAA_cameraGetAspectRatio(&db_.scene, &not_a_camera, &aspect), SAA_ERR_INVALID);
}

TEST_F(CameraMoves, OrbitKeepsDistanceAndInterest) {
    View before = view();
    ASSERT_EQ(SAA_cameraOrbit(&db_.scene, &camera_, 0.5f, 0.3f), SAA_OK);
    View after = view();
    EXPECT_NEAR(distance(after), distance(before), 1e-4);
    for (int k = 0; k < 3; ++k) EXPECT_FLOAT_EQ(after.interest[k], before.interest[k]);
    EXPECT_GT(after.position[1], before.position[1]) << "positive dy raises the eye";
    ASSERT_EQ(SAA_cameraOrbit(&db_.scene, &camera_, 0, 10), SAA_OK);  // never over the pole
    EXPECT_LT(std::fabs(view().position[1]), distance(before));
    EXPECT_EQ(SAA_cameraOrbit(&db_.scene, &camera_, NAN, 0), SAA_ERR_ARGUMENT);
}

TEST_F(CameraMoves, PanMovesBothDollyApproachesZoomNarrows) {
    View before = view();
    ASSERT_EQ(SAA_cameraPan(&db_.scene, &camera_, 0.1f, 0, 0.1f, 0), SAA_OK);
    View panned = view();
    EXPECT_NEAR(distance(panned), distance(before), 1e-4);
    EXPECT_NEAR(panned.interest[0] - before.interest[0], 0.1 * distance(before), 1e-4) << "right is +x from the default camera";
    ASSERT_EQ(SAA_cameraDolly(&db_.scene, &camera_, 0.5f), SAA_OK);
    EXPECT_NEAR(distance(view()), 0.5 * distance(before), 1e-4);
    ASSERT_EQ(SAA_cameraDolly(&db_.scene, &camera_, 5.0f), SAA_OK);
    EXPECT_GT(distance(view()), 0) << "dolly never reaches the interest";
    ASSERT_EQ(SAA_cameraZoom(&db_.scene, &camera_, 1.0f), SAA_OK);
    EXPECT_FLOAT_EQ(view().fov, before.fov - 1);
    ASSERT_EQ(SAA_cameraZoom(&db_.scene, &camera_, 1000.0f), SAA_OK);
    EXPECT_GE(view().fov, 1.0f);
}

constexpr int kSize = 64;

class HostDrawing : public ::testing::Test {
protected:
    void SetUp() override {
        context_ = OSMesaCreateContextExt(OSMESA_RGBA, 24, 0, 0, nullptr);
        ASSERT_NE(context_, nullptr);
        pixels_.assign(kSize * kSize * 4, 0);
        ASSERT_TRUE(OSMesaMakeCurrent(context_, pixels_.data(), GL_UNSIGNED_BYTE, kSize, kSize));
        glViewport(0, 0, kSize, kSize);
        std::filesystem::copy_file(source_dir() + "/examples/furball/SCENES/furball.dsc", db_.scene_file("furball"));
        ASSERT_EQ(db_.load("furball"), SAA_OK) << last_error();
        int n = 0;
        ASSERT_EQ(SAA_sceneGetCameras(&db_.scene, 1, &camera_), SAA_OK);
        ASSERT_EQ(SAA_sceneGetNbLights(&db_.scene, &n), SAA_OK);
        ASSERT_EQ(SAA_gpropsAlloc(&props_), SAA_OK);
    }
    void TearDown() override {
        SAA_gpropsDispose(&props_);
        OSMesaMakeCurrent(nullptr, nullptr, 0, 0, 0);
        if (context_) OSMesaDestroyContext(context_);
    }

    void clear() {
        glClearColor(0, 0, 0, 0);
        glClearDepth(1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glEnable(GL_DEPTH_TEST);
    }
    void draw_scene(int mode) {
        ASSERT_EQ(SAA_gpropsSetDisplayMode(&props_, mode), SAA_OK);
        ASSERT_EQ(SAA_grStateInit(&db_.scene, &props_), SAA_OK);
        ASSERT_EQ(SAA_grCameraApply(&db_.scene, &camera_), SAA_OK);
        ASSERT_EQ(SAA_sceneDraw(&db_.scene, &props_), SAA_OK);
        glFinish();
    }
    int lit_pixels() const {
        int n = 0;
        for (int i = 0; i < kSize * kSize; ++i) n += pixels_[4 * i] + pixels_[4 * i + 1] + pixels_[4 * i + 2] > 0;
        return n;
    }
    float depth_at(int x, int y) {
        float depth = 0;
        glReadPixels(x, y, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
        return depth;
    }
    const unsigned char *pixel(int x, int y) const { return &pixels_[static_cast<std::size_t>(4 * (y * kSize + x))]; }

    OSMesaContext context_ = nullptr;
    std::vector<unsigned char> pixels_;
    TempDatabase db_;
    SAA_Elem camera_{};
    SAA_GrProps props_{};
};

}  // namespace

TEST_F(HostDrawing, CameraApplyLooksFromThePositionAtTheInterest) {
    ASSERT_EQ(SAA_grCameraApply(&db_.scene, &camera_), SAA_OK);
    double projection[16], modelview[16];
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    glGetDoublev(GL_MODELVIEW_MATRIX, modelview);
    float position[3], interest[3], fov = 0, aspect = 0;
    SAA_cameraGetPosition(&db_.scene, &camera_, position);
    SAA_cameraGetInterest(&db_.scene, &camera_, interest);
    SAA_cameraGetFieldOfView(&db_.scene, &camera_, &fov);
    SAA_cameraGetAspectRatio(&db_.scene, &camera_, &aspect);
    auto to_eye = [&](const float p[3], double out[4]) {
        for (int r = 0; r < 4; ++r)
            out[r] = modelview[r] * p[0] + modelview[4 + r] * p[1] + modelview[8 + r] * p[2] + modelview[12 + r];
    };
    double eye[4], at[4];
    to_eye(position, eye);
    to_eye(interest, at);
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(eye[k], 0, 1e-5) << "the camera sits at the eye origin";
    EXPECT_NEAR(at[0], 0, 1e-5);
    EXPECT_NEAR(at[1], 0, 1e-5);
    EXPECT_LT(at[2], 0) << "the interest lies ahead, down -z";
    double f = 1 / std::tan(fov * M_PI / 360);
    EXPECT_NEAR(projection[5], f, 1e-5);
    EXPECT_NEAR(projection[0], f / aspect, 1e-5);
    EXPECT_EQ(projection[11], -1);
}

TEST_F(HostDrawing, ShadedOrMatteOverItsOwnDepthShows) {
    clear();
    draw_scene(1);
    const float depth = depth_at(kSize / 2, kSize / 2);
    ASSERT_LT(depth, 1.0f);
    draw_scene(2);  // the same surfaces again, at the depth they left
    const unsigned char *centre = pixel(kSize / 2, kSize / 2);
    EXPECT_GT(centre[0] + centre[1] + centre[2], 60);
    EXPECT_EQ(depth_at(kSize / 2, kSize / 2), depth);
    // Matte over a coloured, opaque picture: black with no alpha, even with blending on.
    glClearColor(0, 0, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    draw_scene(3);
    for (int k = 0; k < 4; ++k) EXPECT_EQ(centre[k], 0) << k;
    EXPECT_EQ(pixel(0, kSize - 1)[2], 255) << "the sky keeps its colour";
    GLint function = 0;
    glGetIntegerv(GL_DEPTH_FUNC, &function);
    EXPECT_EQ(function, GL_LESS) << "drawing leaves the caller's depth comparison";
    GLboolean blend = GL_FALSE;
    glGetBooleanv(GL_BLEND, &blend);
    EXPECT_EQ(blend, GL_TRUE);
}

TEST_F(HostDrawing, ShadedSceneShowsTheLitSphereWhereTheWireframeDrawsLinesInTheWireColour) {
    clear();
    draw_scene(0);
    int wire = lit_pixels();
    EXPECT_GT(wire, 50);
    clear();
    draw_scene(2);
    EXPECT_GT(lit_pixels(), wire) << "shading fills what the wireframe outlines";
    EXPECT_GT(lit_pixels(), kSize * kSize / 10);
    const unsigned char *centre = pixel(kSize / 2, kSize / 2);
    EXPECT_GT(centre[0] + centre[1] + centre[2], 60) << "the sphere faces the camera and its lights";
    EXPECT_LT(depth_at(kSize / 2, kSize / 2), 1.0f);
    GLboolean lighting = GL_TRUE;
    glGetBooleanv(GL_LIGHTING, &lighting);
    EXPECT_EQ(lighting, GL_FALSE) << "drawing leaves the state as it was";
    SAA_Elem sphere = model_named(db_.scene, "Sphere");
    int type = -1;
    ASSERT_EQ(SAA_elementSetWireType(&db_.scene, &sphere, 1), SAA_OK);
    ASSERT_EQ(SAA_elementGetWireType(&db_.scene, &sphere, &type), SAA_OK);
    EXPECT_EQ(type, 1);
    clear();
    ASSERT_EQ(SAA_gpropsSetDisplayMode(&props_, 0), SAA_OK);
    ASSERT_EQ(SAA_grCameraApply(&db_.scene, &camera_), SAA_OK);
    ASSERT_EQ(SAA_elementDraw(&db_.scene, &props_, &sphere), SAA_OK);
    glFinish();
    int red = 0;
    for (int i = 0; i < kSize * kSize; ++i) red += pixels_[4 * i] > 200 && pixels_[4 * i + 1] < 100;
    EXPECT_GT(red, 20) << "wire type 1 draws red";
}

TEST_F(HostDrawing, LightsAndNullsDrawAsMarkersAndStaleHandlesAreRefused) {
    SAA_Elem lights[2];
    ASSERT_EQ(SAA_sceneGetLights(&db_.scene, 2, lights), SAA_OK);
    clear();
    ASSERT_EQ(SAA_gpropsSetDisplayMode(&props_, 0), SAA_OK);
    ASSERT_EQ(SAA_grCameraApply(&db_.scene, &camera_), SAA_OK);
    SAA_Elem gravity = model_named(db_.scene, "GravityA");
    ASSERT_EQ(SAA_elementDraw(&db_.scene, &props_, &gravity), SAA_OK);
    glFinish();
    EXPECT_GT(lit_pixels(), 5);
    EXPECT_EQ(SAA_elementDraw(&db_.scene, &props_, &lights[0]), SAA_OK);
    SAA_GrProps disposed = props_;
    SAA_GrProps other{};
    ASSERT_EQ(SAA_gpropsAlloc(&other), SAA_OK);
    ASSERT_EQ(SAA_gpropsDispose(&other), SAA_OK);
    EXPECT_EQ(SAA_sceneDraw(&db_.scene, &other), SAA_ERR_INVALID);
    EXPECT_EQ(SAA_gpropsSetDisplayMode(&disposed, 9), SAA_ERR_ARGUMENT);
    ASSERT_EQ(SAA_sceneClear(&db_.scene), SAA_OK);
    EXPECT_EQ(SAA_elementDraw(&db_.scene, &props_, &gravity), SAA_ERR_INVALID);
}
