#include <atomic>
#include <bit>
#include "support/test_prelude.h"

#include "furdata/display_settings.h"
#include "furdata/patch_data.h"
#include "host/scene.h"
#include "host/status.h"
#include "render/draw.h"
#include "render/hair_geometry.h"
#include "render/hair_point.h"
#include "render/hair_workers.h"
#include "support/temp_database.h"

namespace vellimor {
namespace {

constexpr int kMapRes = 2;

void fill(std::vector<float> &map, float value) { map.assign(kMapRes * kMapRes, value); }

float distance(const float a[3], const float b[3]) {
    return std::sqrt((a[0] - b[0]) * (a[0] - b[0]) + (a[1] - b[1]) * (a[1] - b[1]) +
                     (a[2] - b[2]) * (a[2] - b[2]));
}

float dot(const float a[3], const float b[3]) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

// One surface with `roots` roots along x (root k at x = k + offset), normal +z, every channel
// constant, one white light far above.
struct GeometryFixture : ::testing::Test {
    HairDrawing drawing;
    PatchData *record = nullptr;

    void SetUp() override {
        SceneState &s = scene_state();
        s.models.assign(1, SAA_Elem{});
        s.patches.clear();
        s.patches.push_back(patch_new());
        s.gravity_cache.clear();
        s.light_cache.assign(1, LightInfo{});
        s.light_cache[0].position[2] = 1000.0f;
        for (float &c : s.light_cache[0].color) c = 1.0f;
        s.current_frame = 0;
        s.frame_offset = 0;
        s.wind_table_length = 1;
        s.wind_frequency = {1.0f};
        s.wind_step = {{0.3f, 0.1f, 0.0f}};
        s.wind_offset = {{0.3f, 0.1f, 0.0f}};
        display_settings_create();
        record = s.patches[0].get();
        record->is_selected = 1;
        record->length_map_res = record->curl_map_res = record->grow_map_res =
            record->bend_map_res = record->segments_map_res = record->gravity_map_res = kMapRes;
        set_channels(5.0f, 2.0f);
        set_roots(1);
        set_thickness(0.05f);
    }
    void TearDown() override {
        SceneState &s = scene_state();
        s.patches.clear();
        s.models.clear();
        s.gravity_cache.clear();
        s.light_cache.clear();
        s.wind_table_length = 0;
        display_settings_free();
    }
    void set_channels(float segments, float length, float curl = 0.0f, float gravity = 0.0f) {
        fill(record->segments_map, segments);
        fill(record->length_map, length);
        fill(record->curl_map, curl);
        fill(record->gravity_map, gravity);
        for (auto *m : {&record->grow_map_u, &record->grow_map_v, &record->bend_map_u,
                        &record->bend_map_v})
            fill(*m, 0.0f);
    }
    void set_thickness(float thickness) {
        for (int k = 0; k < 2; ++k) {
            MainColorKey &key = record->main_color_keys[kColorThickness][k];
            key.map_res = 1;
            key.color_map = {std::bit_cast<uint32_t>(thickness)};
        }
    }
    void set_roots(int count, float offset = 0.35f) {
        record->hairs.assign(size_t(count), HairRoot{});
        for (int k = 0; k < count; ++k) {
            HairRoot &root = record->hairs[size_t(k)];
            root.u = root.v = 0.5f;
            root.position[0] = float(k) + offset;
            root.position[1] = 0.45f;
            root.position[2] = 0.15f;
            root.normal[2] = root.tangent_u[0] = root.tangent_v[1] = 1.0f;
        }
        record->hair_count = count;
    }
    GeometryResult grow(int mode = kDrawRender) {
        drawing.clear();
        const int total = drawn_hair_total(mode, *display_settings());
        drawing.strands.assign(size_t(total), {});
        progress_weights(0.5f, 1.0f, 0.0f);  // as the drawing driver sets it up
        progress_stage(1, total);
        return hair_geometry(drawing, mode, false, -1);
    }
    // Every segment of every strand is `length` long (within float rounding).
    void expect_segments_of_length(float length) {
        for (const HairStrand &strand : drawing.strands)
            for (int i = 1; i <= strand.segments; ++i)
                EXPECT_NEAR(distance(strand.points[i].position, strand.points[i - 1].position),
                            std::fabs(length), 1e-4f * std::max(1.0f, std::fabs(length)))
                    << "segment " << i;
    }
    // Every strand's segments are as long as its first one.
    void expect_equal_segments_per_strand() {
        for (const HairStrand &strand : drawing.strands) {
            const float first = distance(strand.points[1].position, strand.points[0].position);
            for (int i = 2; i <= strand.segments; ++i)
                EXPECT_NEAR(distance(strand.points[i].position, strand.points[i - 1].position),
                            first, 1e-4f * std::max(1.0f, first));
        }
    }
};

TEST_F(GeometryFixture, AStraightHairRunsAlongTheNormalWithNPlusOnePoints) {
    set_roots(3);
    ASSERT_EQ(grow(), GeometryResult::kDone);
    ASSERT_EQ(drawing.strands.size(), 3u);
    EXPECT_EQ(std::make_tuple(drawing.point_total, drawing.hair_total, drawing.pool.allocated()), std::make_tuple(15, 3, 18u));
    for (int h = 0; h < 3; ++h) {
        const HairStrand &strand = drawing.strands[size_t(h)];
        ASSERT_EQ(strand.segments, 5);
        const HairRoot &root = record->hairs[size_t(h)];
        for (int i = 0; i <= 5; ++i) {
            const HairPoint &p = strand.points[i];
            EXPECT_FLOAT_EQ(p.position[0], root.position[0]);
            EXPECT_FLOAT_EQ(p.position[1], root.position[1]);
            EXPECT_NEAR(p.position[2], root.position[2] + 2.0f * float(i) / 5.0f, 1e-5);
            // Width vectors: perpendicular to the hair and to each other, thickness long.
            const float up[3] = {0, 0, 1};
            EXPECT_NEAR(dot(p.side, up), 0.0f, 1e-6);
            EXPECT_NEAR(dot(p.normal, up), 0.0f, 1e-6);
            EXPECT_NEAR(dot(p.side, p.normal), 0.0f, 1e-6);
            const float origin[3] = {0, 0, 0};
            EXPECT_NEAR(distance(p.side, origin), 0.05f, 1e-6);
            EXPECT_NEAR(distance(p.normal, origin), 0.05f, 1e-6);
            EXPECT_NEAR(p.eye_distance, distance(p.position, drawing.eye), 1e-5);
        }
    }
}

TEST_F(GeometryFixture, SegmentCountsRoundHalfUpAndZeroSegmentHairsAreSkipped) {
    for (const auto &[channel, segments] : {std::pair{2.5f, 3}, {2.49f, 2}, {0.49f, 0}, {-3.0f, 0}}) {
        set_channels(channel, 1.0f);
        EXPECT_EQ(grow(), GeometryResult::kDone);
        EXPECT_EQ(drawing.strands[0].segments, segments) << channel;
    }
    EXPECT_EQ(drawing.strands[0].points, nullptr);
    EXPECT_EQ(drawing.point_total, 0);
}

TEST_F(GeometryFixture, SegmentsKeepOneLengthUnderWindDynamicsAndGravity) {
    set_roots(4);
    set_channels(6.0f, 3.0f, 0.4f, 0.8f);
    fill(record->bend_map_u, 0.7f);
    fill(record->grow_map_v, -0.3f);
    record->wind_curl = {1, 0.5f, 0};
    record->wind_gravity = {1, 0.5f, 0};
    record->wind_grow = {1, 0.5f, 2.0f, 0.0f, 0};
    record->wind_bend = {1, 0.2f, 1.0f, 0.0f, 0};
    record->wind_velocity = {1, 0.5f, 0.5f, 0};
    record->velocity_scale = {1, 1.0f, 0};
    record->acceleration_scale = {1, 0.5f, 0};
    record->dynamics_valid = 1;
    record->dynamics_state.assign(4, HairDynamics{{3.0f, -1.0f, 0.5f}, {0.0f, 4.0f, 0.0f}});
    GravityNull attractor{{2.0f, 1.0f, 2.0f}, {1.5f, 1, 1}};
    GravityNull repeller{{0.0f, -1.0f, 1.0f}, {-0.7f, 1, 1}};
    scene_state().gravity_cache = {attractor, repeller};
    grow();
    expect_segments_of_length(3.0f / 6.0f);

    // The wind's length effect changes the segment length, still the same for every segment.
    record->wind_length = {1, 0.8f, 0};
    grow();
    EXPECT_NE(distance(drawing.strands[1].points[1].position, drawing.strands[1].points[0].position), 0.5f);
    expect_equal_segments_per_strand();
}

TEST_F(GeometryFixture, GravityNullsAttractOrRepelByTheSignOfTheirXScaling) {
    set_channels(8.0f, 2.0f, 0.0f, 1.0f);
    grow();
    const float straight_tip_x = drawing.strands[0].points[8].position[0];
    const float null_x = straight_tip_x + 2.0f;
    scene_state().gravity_cache = {GravityNull{{null_x, 0.45f, 1.5f}, {1.0f, 1, 1}}};
    grow();
    const float attracted = drawing.strands[0].points[8].position[0];
    scene_state().gravity_cache[0].scaling[0] = -1.0f;
    grow();
    const float repelled = drawing.strands[0].points[8].position[0];
    EXPECT_GT(attracted, straight_tip_x + 0.01f);
    EXPECT_LT(repelled, straight_tip_x - 0.01f);
    expect_segments_of_length(0.25f);
}

TEST_F(GeometryFixture, TheSameRootGrowsTheSameWaveOnEveryDrawing) {
    set_roots(2);
    set_channels(7.0f, 2.0f, 0.6f);
    auto wave = [&] {
        grow();
        std::vector<float> points;
        for (int i = 0; i <= 7; ++i)
            for (float c : drawing.strands[0].points[i].position) points.push_back(c);
        return points;
    };
    EXPECT_EQ(wave(), wave());
    // The wave is there, and another root waves differently.
    const float dx0 = drawing.strands[0].points[7].position[0] - record->hairs[0].position[0];
    const float dx1 = drawing.strands[1].points[7].position[0] - record->hairs[1].position[0];
    EXPECT_GT(std::fabs(dx0), 1e-3f);
    EXPECT_NE(dx0, dx1);
}

TEST_F(GeometryFixture, PreviewOfAFullBuildSpreadsItsHairsEvenlyOverTheRoots) {
    set_roots(10);
    display_settings()->preview_fraction = 0.5f;
    ASSERT_EQ(grow(kDrawPreviewSelected), GeometryResult::kDone);
    ASSERT_EQ(drawing.strands.size(), 5u);
    for (int k = 0; k < 5; ++k)
        EXPECT_FLOAT_EQ(drawing.strands[size_t(k)].points[0].position[0],
                        record->hairs[size_t(2 * k)].position[0]);
    // A preview build is drawn whole; a render draws every root.
    record->built_as_preview = 1;
    grow(kDrawPreviewAll);
    EXPECT_EQ(drawing.strands.size(), 10u);
    record->built_as_preview = 0;
    grow(kDrawRender);
    EXPECT_EQ(drawing.strands.size(), 10u);
    // Preview fraction 0 grows nothing in the preview modes.
    display_settings()->preview_fraction = 0.0f;
    EXPECT_EQ(drawn_hair_total(kDrawPreviewSelected, *display_settings()), 0);
    grow(kDrawPreviewSelected);
    EXPECT_EQ(drawing.point_total, 0);
    EXPECT_EQ(drawing.pool.allocated(), 0u);
}

TEST_F(GeometryFixture, ColourAndThicknessRunFromRootKeyToTipKey) {
    DisplaySettings &settings = *display_settings();
    settings.shading = 0;
    settings.hilights = 0;
    MainColorKey *diffuse = record->main_color_keys[kColorDiffuse];
    diffuse[0].map_res = diffuse[1].map_res = 1;
    diffuse[0].color_map = {0xFF0000FFu};  // red, opaque
    diffuse[1].color_map = {0x0000FF00u};  // blue, clear
    MainColorKey *thickness = record->main_color_keys[kColorThickness];
    thickness[1].color_map = {std::bit_cast<uint32_t>(0.01f)};
    set_channels(4.0f, 1.0f);
    grow();
    const HairStrand &strand = drawing.strands[0];
    const float origin[3] = {0, 0, 0};
    for (int i = 0; i <= 4; ++i) {
        const float t = float(i) / 4.0f;
        const HairPoint &p = strand.points[i];
        const float expected[4] = {1.0f - t, 0.0f, t, 1.0f - t};  // one white light at exposure 1
        for (int c = 0; c < 4; ++c) EXPECT_NEAR(p.color[c], expected[c], 1e-6) << i << " channel " << c;
        EXPECT_NEAR(distance(p.side, origin), 0.05f + (0.01f - 0.05f) * t, 1e-6) << i;
    }
}

TEST_F(GeometryFixture, TheWindCurlsTheHairWithTheNoiseAtItsRoot) {
    set_channels(6.0f, 2.0f);
    grow();
    const float still_tip = drawing.strands[0].points[6].position[0];
    record->wind_curl = {1, 2.0f, 0};
    grow();
    EXPECT_NE(drawing.strands[0].points[6].position[0], still_tip);
    expect_segments_of_length(2.0f / 6.0f);
}

// Hair shapes worked out by hand from the growth rules for a root at the fixture's place (normal
// +z, first tangent +x, second tangent +y), two segments of length 1: the direction of point i is
// the normal turned about the second tangent by t·bend U + grow U, then about the first tangent
// by t·bend V + grow V (t = i/2), and point i = point i−1 + that direction.
struct HandWorkedHair : GeometryFixture {
    void SetUp() override {
        GeometryFixture::SetUp();
        set_channels(2.0f, 2.0f);
    }
    // Point i of the only hair, relative to its root.
    std::array<float, 3> offset(int i) const {
        const HairPoint &p = drawing.strands.at(0).points[i];
        const HairRoot &root = record->hairs[0];
        return {p.position[0] - root.position[0], p.position[1] - root.position[1],
                p.position[2] - root.position[2]};
    }
    void expect_offsets(const std::array<std::array<float, 3>, 2> &expected) {
        ASSERT_EQ(grow(), GeometryResult::kDone);
        ASSERT_EQ(drawing.strands.at(0).segments, 2);
        for (int i = 1; i <= 2; ++i)
            for (int k = 0; k < 3; ++k)
                EXPECT_NEAR(offset(i)[k], expected[size_t(i - 1)][size_t(k)], 1e-4f) << "point " << i << " axis " << k;
    }
};

constexpr float kHalfPi = 1.5707963f;

TEST_F(HandWorkedHair, BendUTurnsAboutTheSecondTangentTowardsTheFirst) {
    fill(record->bend_map_u, kHalfPi);
    // t = 1/2: 45 degrees, (sin, 0, cos); t = 1: along +x.
    expect_offsets({{{0.70711f, 0.0f, 0.70711f}, {1.70711f, 0.0f, 0.70711f}}});
}

TEST_F(HandWorkedHair, BendVTurnsAboutTheFirstTangentAwayFromTheSecond) {
    fill(record->bend_map_v, kHalfPi);
    expect_offsets({{{0.0f, -0.70711f, 0.70711f}, {0.0f, -1.70711f, 0.70711f}}});
}

TEST_F(HandWorkedHair, GrowUThenBendVTurnInThatOrder) {
    fill(record->grow_map_u, 0.3f);
    fill(record->bend_map_v, 0.6f);
    // (sin 0.3, 0, cos 0.3) turned about x by 0.3, then by 0.6.
    expect_offsets({{{0.29552f, -0.28232f, 0.91267f}, {0.59104f, -0.82175f, 1.70115f}}});
}

TEST_F(HandWorkedHair, GravityNullPullsEachPointAndKeepsTheSegmentLength) {
    set_channels(2.0f, 2.0f, 0.0f, 1.0f);
    const HairRoot &root = record->hairs[0];
    GravityNull null;
    null.position[0] = root.position[0] + 1.0f;
    null.position[2] = root.position[2] + 1.0f;
    null.position[1] = root.position[1];
    null.scaling[0] = 0.5f;
    scene_state().gravity_cache.assign(1, null);
    // Point 1 (t = 1/2, r = √½): the trial point (0, 0, 1) sees the null 1 away along +x,
    // f = 0.5·√½ = 0.35355, squared 0.125: (0.125, 0, 1) normalised = (0.12403, 0, 0.99228).
    // Point 2 (r = 1): trial (0.12403, 0, 1.99228), the null at (0.87597, 0, −0.99228) from it,
    // distance² 1.75193, f = 0.28540, squared 0.08145: (0.07135, 0, 0.91918) normalised
    // = (0.07739, 0, 0.99700), added to point 1.
    expect_offsets({{{0.12403f, 0.0f, 0.99228f}, {0.20143f, 0.0f, 1.98928f}}});
}

TEST_F(HandWorkedHair, WindGrowLeansEveryStepAlongTheWindDirection) {
    record->wind_grow = {1, 1.0f, 0.0f, 0.0f, 0};  // amount 1 whatever the noise
    // Each step (0, 0, 1) + the frame's wind direction (0.3, 0.1, 0), normalised.
    const float n = std::sqrt(1.1f);
    expect_offsets({{{0.3f / n, 0.1f / n, 1.0f / n}, {0.6f / n, 0.2f / n, 2.0f / n}}});
    // A play range from frame 10: frame 11 reads the table's second step.
    SceneState &s = scene_state();
    s.wind_table_length = 3;
    s.wind_step = {{0.0f, 0.0f, 0.0f}, {0.3f, 0.1f, 0.0f}, {0.0f, -0.5f, 0.0f}};
    s.wind_offset = s.wind_step;
    s.wind_frequency.assign(3, 1.0f);
    s.frame_offset = -10;
    s.current_frame = 11;
    expect_offsets({{{0.3f / n, 0.1f / n, 1.0f / n}, {0.6f / n, 0.2f / n, 2.0f / n}}});
}

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

// The pool of hair points, and sharing hair work among cores: every hair is grown exactly once
// whatever the worker count, the calling thread's polls can stop the work, and the workers'
// points join one pool.
TEST(HairWorkers, EveryItemIsWorkedOnceOnAnyNumberOfWorkers) {
    for (const int workers : {1, 2, 5}) {
        for (const size_t chunk : {size_t(1), size_t(7), size_t(1000)}) {
            std::vector<std::atomic<int>> seen(503);
            std::atomic<int> worker_ids_beyond{0};
            const bool done = for_each_chunk(
                seen.size(), chunk, workers,
                [&](int worker, size_t first, size_t end) {
                    if (worker >= workers) ++worker_ids_beyond;
                    for (size_t k = first; k < end; ++k) ++seen[k];
                },
                [](size_t) { return true; });
            EXPECT_TRUE(done);
            EXPECT_EQ(worker_ids_beyond.load(), 0);
            for (size_t k = 0; k < seen.size(); ++k)
                ASSERT_EQ(seen[k].load(), 1) << "item " << k << ", " << workers << " workers";
        }
    }
}

TEST(HairWorkers, APollThatSaysStopEndsTheHandingOut) {
    std::atomic<size_t> worked{0};
    int polls = 0;
    const bool done = for_each_chunk(
        100000, 10, 1, [&](int, size_t first, size_t end) { worked += end - first; },
        [&](size_t done_so_far) {
            ++polls;
            return done_so_far < 50;
        });
    EXPECT_FALSE(done);
    EXPECT_EQ(worked.load(), 50u);  // five chunks of ten, then the poll said stop
    EXPECT_EQ(polls, 6);
}

// Points never move once handed out: requests fill a block exactly, a larger one gets a block of
// its own, and adopted blocks stay where they are without being written into.
TEST(PointPool, ServesRequestsFromBlocksWithoutMovingPoints) {
    PointPool pool;
    HairPoint *first = pool.allocate(6);
    EXPECT_EQ(pool.allocate(PointPool::kPointBlockSize - 9), first + 6);
    pool.allocate(3);
    EXPECT_EQ(pool.block_count(), 1u);
    HairPoint *big = pool.allocate(PointPool::kPointBlockSize + 5);
    big[PointPool::kPointBlockSize + 4].eye_distance = 1.0f;
    first[0].eye_distance = 7.0f;
    pool.allocate(1);
    EXPECT_EQ(std::make_tuple(pool.block_count(), pool.allocated(), first[0].eye_distance),
              std::make_tuple(3u, 2 * PointPool::kPointBlockSize + 6, 7.0f));

    PointPool theirs;
    HairPoint *b = theirs.allocate(20);
    b[19].eye_distance = 2.0f;
    pool.adopt(std::move(theirs));
    EXPECT_EQ(std::make_tuple(pool.block_count(), pool.allocated(), theirs.allocated()),
              std::make_tuple(4u, 2 * PointPool::kPointBlockSize + 26, 0u));
    EXPECT_EQ(std::make_tuple(first[0].eye_distance, b[19].eye_distance), std::make_tuple(7.0f, 2.0f));
    HairPoint *c = pool.allocate(5);
    EXPECT_EQ(pool.block_count(), 5u);
    EXPECT_TRUE(c < b || c >= b + 20);
    pool.clear();
    EXPECT_EQ(std::make_tuple(pool.block_count(), pool.allocated()), std::make_tuple(0u, 0u));
}

}  // namespace
}  // namespace vellimor
