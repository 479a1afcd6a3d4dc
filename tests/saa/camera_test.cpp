// Camera values and the moves of the interactive view.
#include <cmath>

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

}  // namespace

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

