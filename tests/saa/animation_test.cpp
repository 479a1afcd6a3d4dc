// Transforms, matrices and keyed animation evaluated continuously in time.
#include "support/test_prelude.h"

#include "support/temp_database.h"

using namespace vellimor::test;

namespace {

struct Triple {
    float x, y, z;
};

Triple translation(const SAA_Scene &scene, const SAA_Elem &m) {
    Triple t{};
    EXPECT_EQ(SAA_modelGetTranslation(&scene, &m, 1, &t.x, &t.y, &t.z), SAA_OK);
    return t;
}

void eval_at(const SAA_Scene &scene, double seconds) { ASSERT_EQ(SAA_updatelistEvalScene(&scene, seconds), SAA_OK); }

// Moves one unit in x per second at 24 frames per second: frame 0 at x 0, frame 48 at x 2.
const char *kMover = R"({"name": "Mover", "type": 0, "animation": {"keys": [
    {"frame": 0, "translation": [0, 0, 0]}, {"frame": 48, "translation": [2, 0, 0]}]}})";

}  // namespace

TEST(Animation, KeyedMotionIsContinuousInTime) {
    TempDatabase db;
    ASSERT_EQ(db.load_text(scene_with_models(kMover)), SAA_OK) << last_error();
    SAA_Elem m = model_named(db.scene, "Mover");
    int animated = 0;
    ASSERT_EQ(SAA_modelIsAnimated(&db.scene, &m, &animated), SAA_OK);
    EXPECT_EQ(animated, 1);
    double seconds = 0;
    ASSERT_EQ(SAA_frame2Seconds(&db.scene, 12, &seconds), SAA_OK);
    EXPECT_DOUBLE_EQ(seconds, 0.5);
    eval_at(db.scene, seconds);
    float x0 = translation(db.scene, m).x;
    EXPECT_NEAR(x0, 0.5, 1e-6);
    eval_at(db.scene, seconds - 0.01);
    EXPECT_NEAR(x0 - translation(db.scene, m).x, 0.01, 1e-6) << "0.01 s apart differ by 0.01 units";
    eval_at(db.scene, 0.5 + 1.0 / 48);  // half-way between frames 12 and 13
    EXPECT_NEAR(translation(db.scene, m).x, 0.5 + 1.0 / 48, 1e-6);
    eval_at(db.scene, 10);  // after the last key it holds
    EXPECT_NEAR(translation(db.scene, m).x, 2, 1e-6);
    eval_at(db.scene, -1);
    EXPECT_NEAR(translation(db.scene, m).x, 0, 1e-6);
}

TEST(Animation, SmoothKeysPassThroughEveryKeyWithoutKinks) {
    TempDatabase db;
    ASSERT_EQ(db.load_text(scene_with_models(R"({"name": "S", "type": 4, "animation": {"interpolation": "smooth",
        "keys": [{"frame": 0, "translation": [0, 0, 0]}, {"frame": 10, "translation": [1, 2, 0]},
                 {"frame": 30, "translation": [0, 0, 3]}]}})")),
              SAA_OK);
    SAA_Elem m = model_named(db.scene, "S");
    const double fps = 24;
    eval_at(db.scene, 10 / fps);
    Triple at_key = translation(db.scene, m);
    EXPECT_NEAR(at_key.x, 1, 1e-6);
    EXPECT_NEAR(at_key.y, 2, 1e-6);
    // The slope just before and just after a key agree.
    const double h = 1e-3;
    eval_at(db.scene, 10 / fps - h);
    Triple before = translation(db.scene, m);
    eval_at(db.scene, 10 / fps + h);
    Triple after = translation(db.scene, m);
    EXPECT_NEAR((at_key.z - before.z) / h, (after.z - at_key.z) / h, 0.1);
    EXPECT_NEAR((at_key.y - before.y) / h, (after.y - at_key.y) / h, 0.1) << "linear keys would jump from 4.8 to -2.4";
}

TEST(Animation, MatrixIsScaleThenRotateThenTranslateInRowVectorForm) {
    TempDatabase db;
    ASSERT_EQ(db.load_text(scene_with_models(R"({"name": "T", "type": 0, "transform": {
        "translation": [1, 2, 3], "rotation": [0, 0, 90], "scaling": [2, 2, 2]}})")),
              SAA_OK);
    SAA_Elem m = model_named(db.scene, "T");
    float matrix[4][4];
    ASSERT_EQ(SAA_modelGetMatrix(&db.scene, &m, 1, matrix), SAA_OK);
    // The point (1, 0, 0): scaled to (2, 0, 0), turned 90 degrees about Z to (0, 2, 0), moved.
    float p[4] = {1, 0, 0, 1}, out[4] = {};
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r) out[c] += p[r] * matrix[r][c];
    EXPECT_NEAR(out[0], 1, 1e-6);
    EXPECT_NEAR(out[1], 4, 1e-6);
    EXPECT_NEAR(out[2], 3, 1e-6);
    EXPECT_NEAR(out[3], 1, 1e-6);
    EXPECT_FLOAT_EQ(matrix[3][0], 1);
    EXPECT_FLOAT_EQ(matrix[3][2], 3);
    float sx, sy, sz;
    ASSERT_EQ(SAA_modelGetScaling(&db.scene, &m, 1, &sx, &sy, &sz), SAA_OK);
    EXPECT_EQ(sx, 2);
    float local[4][4];
    ASSERT_EQ(SAA_modelGetMatrix(&db.scene, &m, 0, local), SAA_OK);
    EXPECT_EQ(0, std::memcmp(local, matrix, sizeof local)) << "no hierarchy: local equals global";
    int animated = 1;
    ASSERT_EQ(SAA_modelIsAnimated(&db.scene, &m, &animated), SAA_OK);
    EXPECT_EQ(animated, 0);
}
