// The ribbons: their rasteriser draws each pixel of a shared edge once, they picture random
// hairs within the equivalence bounds of the exact tubes, and they draw the same bytes on any
// number of cores.
#include <GL/gl.h>
#include "support/test_prelude.h"

#include "furdata/display_settings.h"
#include "hair/random_generators.h"
#include "platform/pixel_transfer.h"
#include "render/hair_draw_gl.h"
#include "render/hair_ribbons.h"
#include "render/offscreen_target.h"
#include "render/picture_difference.h"
#include "render/triangle_raster.h"

namespace vellimor {
namespace {

// Half-transparent triangles that tile a square and a fan around one centre: a pixel drawn by
// two of them would be blended twice.
TEST(TriangleRaster, TilesDrawEveryPixelOnceAndNothingBeyond) {
    constexpr int kSide = 40;
    std::vector<uint8_t> rgba(kSide * kSide * 4, 100);
    std::vector<float> depth(kSide * kSide, 1.0f);
    RasterTarget target{0, 0, kSide, kSide, rgba.data(), depth.data()};
    auto corner = [](float x, float y) { return RasterVertex{x, y, 0.5f, 1.0f, {1.0f, 0.0f, 0.0f, 0.5f}}; };
    // A square of two triangles, opposite windings, on fractional corners.
    const RasterVertex a = corner(2.3f, 3.7f), b = corner(17.6f, 2.2f), c = corner(18.4f, 17.5f), d = corner(1.5f, 16.1f);
    raster_triangle(a, b, c, target, 0, kSide);
    raster_triangle(a, d, c, target, 0, kSide);
    // An octagon of eight triangles around (29.5, 29.5), the centre on a pixel centre.
    const RasterVertex centre = corner(29.5f, 29.5f);
    for (int k = 0; k < 8; ++k) {
        const float t0 = float(k) * 0.785398f, t1 = float(k + 1) * 0.785398f;
        raster_triangle(centre, corner(29.5f + 8.0f * std::cos(t0), 29.5f + 8.0f * std::sin(t0)),
                        corner(29.5f + 8.0f * std::cos(t1), 29.5f + 8.0f * std::sin(t1)), target, 0, kSide);
    }
    int once = 0, other = 0;
    for (size_t i = 0; i < rgba.size(); i += 4) {
        if (rgba[i] == 100 && rgba[i + 1] == 100) continue;  // not drawn
        if (rgba[i] == 178 && rgba[i + 1] == 50 && rgba[i + 2] == 50) ++once;  // red blended over grey once
        else ++other;
    }
    EXPECT_EQ(other, 0);
    // The areas: 223 pixels of the square and 181 of the octagon.
    EXPECT_NEAR(once, 223 + 181, 10);
}

// Hairs of random shapes and colours, some half-transparent, in a 256 x 256 view: eight segments
// each, side and normal vectors across the hair as the hair geometry makes them.
class RandomHairs : public ::testing::Test {
protected:
    static constexpr int kSide = 256;
    void SetUp() override {
        ASSERT_TRUE(offscreen_target_create(kSide, kSide, OffscreenKind::PixMap));
        display_settings_create();
        constexpr int kHairs = 3000, kSegments = 8;
        points.resize(size_t(kHairs) * (kSegments + 1));
        for (int h = 0; h < kHairs; ++h) {
            HairPoint *p = &points[size_t(h) * (kSegments + 1)];
            float position[3] = {unit(), unit(), unit()}, d[3] = {unit(), unit(), unit()};
            const float thickness = 0.002f + 0.004f * float(random.next());
            const float alpha = random.next() < 0.3 ? 0.5f : 1.0f;
            // Colours blend from root to tip, as the colour keys make them; some above 1.
            float root[3], tip[3];
            for (int c = 0; c < 3; ++c) root[c] = float(random.next()) * 1.2f, tip[c] = float(random.next()) * 1.2f;
            for (int i = 0; i <= kSegments; ++i) {
                for (float &c : d) c += 0.3f * unit();
                // Side across the hair and the view, normal across the hair and the side.
                const float side[3] = {d[1], -d[0], 0.0f}, normal[3] = {d[2] * d[0], d[2] * d[1], -d[0] * d[0] - d[1] * d[1]};
                const float length = std::hypot(d[0], d[1], d[2]), side_length = std::hypot(side[0], side[1]);
                const float normal_length = std::hypot(normal[0], normal[1], normal[2]), t = float(i) / kSegments;
                for (int c = 0; c < 3; ++c) {
                    p[i].position[c] = position[c];
                    p[i].side[c] = thickness * side[c] / side_length;
                    p[i].normal[c] = thickness * normal[c] / normal_length;
                    position[c] += 0.04f * d[c] / length;
                    p[i].color[c] = root[c] + t * (tip[c] - root[c]);
                }
                p[i].color[3] = alpha;
                if (i < kSegments) {
                    p[i].next = &p[i + 1];
                    list.push_back(&p[i]);
                }
            }
        }
    }
    void TearDown() override {
        display_settings_free();
        offscreen_target_destroy();
    }
    float unit() { return float(random.next()) * 2.0f - 1.0f; }

    // An opaque wall over the left half of the view, its depths given per pixel (bottom row first).
    struct Wall {
        std::vector<float> depth;
    };

    // The list drawn in a perspective view with the batch render's state, over a background
    // whose alpha is a quarter (and the wall, when given), the view moved by (dx, dy) pixels as
    // antialiasing moves it; the pixels read back.
    std::vector<uint8_t> draw(bool exact, bool alpha, const PolygonList &drawn, float dx = 0.0f, float dy = 0.0f,
                              const Wall *wall = nullptr) {
        display_settings()->exact_tubes = exact;
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        const double pixel = 1.0 / kSide;  // the frustum is 1 wide at the near plane
        glFrustum(-0.5 - dx * pixel, 0.5 - dx * pixel, -0.5 - dy * pixel, 0.5 - dy * pixel, 1.0, 10.0);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glTranslatef(0.0f, 0.0f, -3.0f);
        glEnable(GL_DEPTH_TEST);
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glClearColor(0.1f, 0.2f, 0.3f, 0.25f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        if (wall) {
            const std::vector<uint8_t> color(wall->depth.size() * 4, 200);
            platform::draw_pixels_unchanged(0, 0, kSide / 2, kSide, GL_RGBA, GL_UNSIGNED_BYTE, color.data());
            platform::draw_pixels_unchanged(0, 0, kSide / 2, kSide, GL_DEPTH_COMPONENT, GL_FLOAT, wall->depth.data());
        }
        EXPECT_EQ(draw_hair_polygons(drawn, alpha), 1);
        std::vector<uint8_t> rgba(size_t(kSide) * kSide * 4);
        glReadPixels(0, 0, kSide, kSide, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
        return rgba;
    }

    Random48 random{3, 5, 7};
    std::vector<HairPoint> points;
    PolygonList list;
};

TEST_F(RandomHairs, RibbonsPictureTheTubesWithinTheBounds) {
    for (bool alpha : {false, true}) {
        const auto tubes = draw(true, alpha, list), ribbons = draw(false, alpha, list);
        const auto background = draw(false, alpha, {});
        const PictureDifference d = picture_difference(tubes, ribbons, kSide, kSide);
        EXPECT_TRUE(d.equivalent()) << "alpha " << alpha << ": mean " << d.mean[0] << " " << d.mean[1] << " "
                                    << d.mean[2] << ", block " << d.worst_block[0] << " " << d.worst_block[1]
                                    << " " << d.worst_block[2];
        size_t drawn = 0, differing = 0;
        for (size_t i = 0; i < tubes.size(); i += 4) {
            drawn += ribbons[i] != background[i];
            differing += tubes[i] != ribbons[i];
        }
        EXPECT_GT(drawn, size_t(kSide * kSide / 4)) << "alpha " << alpha;
        EXPECT_GT(differing, 0u) << "the ribbons were drawn, not the tubes";
    }
}

// The bands kept from a first pass serve the next passes, jittered by up to a pixel across, and
// the alpha pass: the same bytes as bands placed anew; a view that moves further places anew.
TEST_F(RandomHairs, KeptBandsDrawTheBytesOfBandsPlacedAnew) {
    struct Pass {
        float dx, dy;
        bool alpha;
    };
    const Pass passes[] = {{0.45f, -0.3f, false}, {-0.5f, 0.5f, false}, {0.0f, 0.0f, true}, {3.0f, -2.0f, false}};
    std::vector<std::vector<uint8_t>> fresh;
    for (const Pass &p : passes) fresh.push_back(draw(false, p.alpha, list, p.dx, p.dy));
    const HairDrawingReuse reuse(false);
    for (size_t k = 0; k < fresh.size(); ++k)
        EXPECT_TRUE(draw(false, passes[k].alpha, list, passes[k].dx, passes[k].dy) == fresh[k]) << "pass " << k;
}

// A wall through the middle of the hairs hides those behind it, which need not be drawn at all:
// the same bytes as a wall with a far pixel in every 8 x 8 block (where nothing is hidden),
// except at those pixels. On the first pass, on kept bands and in the alpha pass.
TEST_F(RandomHairs, HairsBehindTheSceneLeaveTheSameBytes) {
    constexpr int kHole = 8;
    constexpr float kMiddle = 0.7407f;  // the window depth of the hairs' middle, 3 units away
    Wall solid{std::vector<float>(size_t(kSide / 2) * kSide, kMiddle)}, holed = solid;
    for (int y = 0; y < kSide; y += kHole)
        for (int x = 0; x < kSide / 2; x += kHole) holed.depth[size_t(y) * (kSide / 2) + size_t(x)] = 1.0f;
    const auto compare = [&](bool alpha, const char *what) {
        const auto hidden = draw(false, alpha, list, 0.0f, 0.0f, &solid);
        const auto seen = draw(false, alpha, list, 0.0f, 0.0f, &holed);
        size_t differing = 0, in_front = 0;
        for (int y = 0; y < kSide; ++y)
            for (int x = 0; x < kSide; ++x) {
                const size_t i = (size_t(y) * kSide + size_t(x)) * 4;
                const bool hole = x < kSide / 2 && x % kHole == 0 && y % kHole == 0;
                if (!hole) differing += std::memcmp(&hidden[i], &seen[i], 4) != 0;
                in_front += x < kSide / 2 && hidden[i] != 200;
            }
        EXPECT_EQ(differing, 0u) << what;
        EXPECT_GT(in_front, size_t(kSide * kSide / 16)) << what << ": hairs in front of the wall are drawn";
    };
    compare(false, "first pass");
    const HairDrawingReuse reuse(false);
    compare(false, "kept bands");
    compare(true, "alpha pass");
}

// Long hairs through the camera's plane to behind the camera, and far beside the view: the
// ribbons are clipped where the tubes are. (A hair cut by the near plane at a grazing angle
// shows its tube's ridge along the cut, which a ribbon has not.)
TEST_F(RandomHairs, RibbonsAreClippedWhereTheTubesAre) {
    std::vector<HairPoint> wild(2 * 400);
    PolygonList crossing;
    Random48 random(9, 8, 7);
    auto unit = [&] { return float(random.next()) * 2.0f - 1.0f; };
    for (size_t k = 0; k < wild.size(); k += 2) {
        HairPoint &a = wild[k], &b = wild[k + 1];
        const float from[3] = {4.0f * unit(), 4.0f * unit(), 2.5f * unit()};
        const float to[3] = {2.0f * from[0] + unit(), 2.0f * from[1] + unit(), 4.0f};
        for (int c = 0; c < 3; ++c) {
            a.position[c] = from[c];
            b.position[c] = to[c];
        }
        // Across the segment: any unit vector with no part along it, times the thickness.
        const float d[3] = {to[0] - from[0], to[1] - from[1], to[2] - from[2]};
        const float side[3] = {d[1], -d[0], 0.0f}, length = std::hypot(d[0], d[1]);
        for (int c = 0; c < 3; ++c) {
            a.side[c] = b.side[c] = 0.02f * side[c] / length;
            a.normal[c] = b.normal[c] = c == 2 ? 0.02f : 0.0f;
            a.color[c] = b.color[c] = 0.9f;
        }
        a.color[3] = b.color[3] = 1.0f;
        a.next = &b;
        crossing.push_back(&a);
    }
    const auto tubes = draw(true, false, crossing), ribbons = draw(false, false, crossing);
    size_t drawn = 0, differing = 0;
    for (size_t i = 0; i < ribbons.size(); i += 4) {
        drawn += ribbons[i] == 230;
        differing += std::abs(int(tubes[i]) - int(ribbons[i])) > 32;
    }
    EXPECT_GT(drawn, size_t(kSide * kSide / 20));
    EXPECT_LT(differing, drawn / 50);
}

}  // namespace
}  // namespace vellimor
