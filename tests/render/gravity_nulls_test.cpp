#include <gtest/gtest.h>

#include "host/scene.h"
#include "render/hair_geometry.h"
#include "support/temp_database.h"

namespace vellimor {
namespace {

TEST(GravityNulls, AreReadFromTheSceneAtEveryRefresh) {
    test::TempDatabase db;
    ASSERT_EQ(db.load_text(R"({"version": 1, "models": [
        {"name": "GravityPull", "type": 0,
         "transform": {"translation": [1, 2, 3], "scaling": [0.5, 2, 4]}},
        {"name": "GravityPush", "type": 0,
         "transform": {"translation": [-1, 0, 5], "scaling": [-0.7, 1, 1]}}]})"),
              SAA_OK);
    SceneState &s = scene_state();
    s.scene = db.scene;
    s.gravity = {test::model_named(db.scene, "GravityPull"),
                 test::model_named(db.scene, "GravityPush")};
    update_gravity_nulls();
    ASSERT_EQ(s.gravity_cache.size(), 2u);
    EXPECT_FLOAT_EQ(s.gravity_cache[0].position[1], 2.0f);
    EXPECT_FLOAT_EQ(s.gravity_cache[0].scaling[2], 4.0f);
    EXPECT_FLOAT_EQ(s.gravity_cache[1].position[2], 5.0f);
    EXPECT_FLOAT_EQ(s.gravity_cache[1].scaling[0], -0.7f);  // negative strength: repels

    s.gravity.pop_back();
    update_gravity_nulls();
    EXPECT_EQ(s.gravity_cache.size(), 1u);
    s.gravity.clear();
    s.gravity_cache.clear();
}

}  // namespace
}  // namespace vellimor
