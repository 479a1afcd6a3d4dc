#include <bit>
#include "support/test_prelude.h"

#include "furdata/display_settings.h"
#include "furdata/patch_data.h"
#include "hair/channel_maps.h"
#include "hair/picture_maps.h"
#include "hair/random_generators.h"
#include "host/scene.h"
#include "render/pic_file.h"
#include "support/hair_scene.h"

namespace vellimor {
namespace {

// A scene table holding `count` fresh fur records (no host models needed for maps).
class ChannelMaps : public ::testing::Test {
protected:
    void SetUp() override { add_surfaces(1); }
    void TearDown() override {
        scene_state().patches.clear();
        scene_state().models.clear();
        display_settings_free();
    }
    void add_surfaces(int count) {
        for (int i = 0; i < count; ++i) {
            scene_state().patches.push_back(patch_new());
            scene_state().models.push_back(SAA_Elem{});
        }
    }
    PatchData &record(int p = 0) { return *scene_state().patches[p]; }
    TextureKey &key(int i = 0) {
        auto it = record().texture_keys.begin();
        std::advance(it, i);
        return *it;
    }
    TextureKey &add_key(float u, float v) {
        TextureKey k = texture_key_new();
        k.u = u;
        k.v = v;
        record().texture_keys.push_back(k);
        return record().texture_keys.back();
    }
    std::vector<float> build(int channel, int res, std::vector<float> *second = nullptr) {
        std::vector<float> a(size_t(res) * res), b(size_t(res) * res);
        standard_srand(1);
        build_value_map(record(), a.data(), b.data(), res, channel);
        if (second) *second = b;
        return a;
    }
};

TEST_F(ChannelMaps, RandomLengthStaysWithinItsSpreadAndRebuildsIdentically) {
    key().u = 0.3f;
    key().v = 0.6f;
    key().length = {1, 4.5f, 0.5f, 0};
    update_channel_maps(0);
    const std::vector<float> first = record().length_map;
    ASSERT_EQ(first.size(), 50u * 50u);
    for (float x : first) {
        ASSERT_GE(x, 2.25f);
        ASSERT_LE(x, 4.5f);
    }
    EXPECT_GT(*std::max_element(first.begin(), first.end()) -
                  *std::min_element(first.begin(), first.end()),
              1.5f);
    EXPECT_EQ(record().length_map_dirty, 0);

    update_channel_maps(0);  // not dirty: kept
    EXPECT_EQ(record().length_map, first);
    record().length_map_dirty = 1;
    standard_srand(12345);  // whatever ran before, the rebuild reseeds
    update_channel_maps(0);
    EXPECT_EQ(record().length_map, first);
}

// The largest resolution the settings accept is built; one beyond it is left unbuilt, not
// allocated.
TEST_F(ChannelMaps, ResolutionsUpToTheLargestAreBuiltAndBeyondAreLeftUnbuilt) {
    for (const auto &[res, cells] : std::vector<std::pair<int, size_t>>{{2048, size_t(2048) * 2048}, {2049, 0}, {0, 0}}) {
        record().length_map_res = res;
        record().length_map_dirty = 1;
        update_channel_maps(0);
        EXPECT_EQ(record().length_map.size(), cells) << res;
    }
}

// Squared distance to a key at (0.5, 0.5), plus 0.0001 so that the key's own cell weighs 10000.
TEST(KeyDistance, ByShape) {
    const struct {
        int mode;
        float w, h, angle, u, v, expected;
    } cases[] = {
        {0, 0, 0, 0, 0.5f, 0.5f, 0.0f},        {0, 0, 0, 0, 0.8f, 0.5f, 0.09f},
        {1, 0.2f, 0, 0, 0.6f, 0.55f, 0.0f},    {1, 0.2f, 0, 0, 0.8f, 0.5f, 0.09f - 0.04f},  // circle
        {2, 0.1f, 0.2f, 0, 0.55f, 0.65f, 0.0f},  // box 0.4..0.6 x 0.4..0.7
        {2, 0.1f, 0.2f, 0, 0.5f, 0.9f, 0.04f},   // above the top side
        {2, 0.1f, 0.2f, 0, 0.9f, 0.5f, 0.09f},   // right of the box
        {2, 0.1f, 0.2f, 0, 0.9f, 0.9f, 0.13f},   // corner
        {2, 0.1f, 0.2f, 0, 0.3f, 0.2f, 0.02f},
        {3, 0.1f, 0.2f, float(M_PI / 2), 0.68f, 0.5f, 0.0f},  // the same box turned: 0.3..0.7 x 0.4..0.6
        {3, 0.1f, 0.2f, float(M_PI / 2), 0.5f, 0.68f, 0.0064f},
    };
    for (const auto &c : cases) {
        TextureKey k = texture_key_new();
        k.u = k.v = 0.5f;
        k.key_mode = c.mode;
        k.w = c.w;
        k.h = c.h;
        k.ang = c.angle;
        EXPECT_NEAR(key_distance2(c.u, c.v, k), c.expected + 0.0001f, 1e-6f) << c.mode << " " << c.u << " " << c.v;
    }
}

TEST_F(ChannelMaps, CellOnKeyAndCircleInteriorDominate) {
    key().u = 0.0f;
    key().v = 0.0f;
    key().length = {1, 1.0f, 0.0f, 0};
    TextureKey &far = add_key(1.0f, 1.0f);
    far.length = {1, 0.0f, 0.0f, 0};
    std::vector<float> m = build(kChannelLength, 50);
    EXPECT_NEAR(m[0], 1.0f, 1e-3f);  // weight 10000 against ~0.5

    key().key_mode = 1;
    key().w = 0.25f;
    m = build(kChannelLength, 50);
    for (int c = 0; c < 8; ++c) EXPECT_NEAR(m[c], 1.0f, 1e-3f) << c;  // u = c/48 < 0.25
}

TEST_F(ChannelMaps, PictureDrivenChannelsFallBackToKeysWithoutAnImage) {
    key().u = key().v = 0.5f;
    key().length = {1, 3.0f, 0.0f, 0};
    std::shared_ptr<PicImage> image = pic_create(4, 4, false);  // all bytes 0
    ASSERT_TRUE(image);
    record().length_picture = std::make_unique<Picture>();
    record().length_picture->image = image;
    record().length_picture_scale = {1, 2.0f, 0};
    record().length_sequence.picture_was_found = 1;
    update_channel_maps(0);
    for (float x : record().length_map) ASSERT_FLOAT_EQ(x, 0.001f);  // floored, not 0

    record().length_picture->image.reset();
    record().length_map_dirty = 1;
    update_channel_maps(0);
    EXPECT_EQ(record().length_sequence.picture_was_found, 0);
    for (float x : record().length_map) ASSERT_NEAR(x, 3.0f, 1e-5f);

    MainColorKey &diffuse = record().main_color_keys[kColorDiffuse][0];
    image->red().assign(16, 200);
    diffuse.this_key_uses_picture = 1;
    diffuse.picture.image = image;
    diffuse.picture_channels = 3;
    diffuse.seq_cont.picture_was_found = 1;
    diffuse.map_dirty = 1;
    update_channel_maps(0);
    EXPECT_EQ(diffuse.map_dirty, 0);
    // Red from the picture; alpha from the first diffuse key's A (1.0).
    EXPECT_EQ(diffuse.color_map[0], 0xC80000FFu);
}

// Nearest cells for patches (mirrored in u) and NURBS, bilinear between cells, and unbuilt or
// hostile input read safely.
TEST(ChannelMapSampling, NearestBilinearAndHostile) {
    std::vector<float> ramp16(16), ramp9 = {0, 1, 2, 3, 4, 5, 6, 7, 8}, sevens(4, 7.0f), none;
    for (int i = 0; i < 16; ++i) ramp16[size_t(i)] = float(i);
    const struct {
        const std::vector<float> &map;
        float u, v;
        int res, surface_type, bilinear;
        float expected;
    } cases[] = {
        {ramp16, 0.0f, 0.0f, 4, 1, 0, 3.0f},  // a patch: the last column
        {ramp16, 0.0f, 0.0f, 4, 10, 0, 0.0f},   {ramp16, 1.0f, 1.0f, 4, 10, 0, 15.0f},
        {ramp16, 0.5f, 0.5f, 4, 10, 0, 5.0f},   // trunc(1.5)
        {ramp9, 1.0f, 1.0f, 3, 10, 1, 8.0f},    // only the last cell
        {ramp9, 0.0f, 0.0f, 3, 10, 1, 0.0f},    {ramp9, 0.25f, 0.25f, 3, 10, 1, 2.0f},
        {ramp9, 0.75f, 0.0f, 3, 1, 1, 0.5f},    // mirrored
        {none, 0.5f, 0.5f, 50, 10, 1, 0.0f},    {sevens, 0.5f, 0.5f, 3, 10, 1, 0.0f},  // smaller than res²
        {sevens, NAN, 2.0f, 2, 10, 1, 7.0f},    {sevens, -5.0f, 1e30f, 2, 1, 0, 7.0f},
    };
    for (const auto &c : cases)
        EXPECT_FLOAT_EQ(sample_channel_map(c.map, c.u, c.v, c.res, c.surface_type, c.bilinear), c.expected)
            << c.u << " " << c.v << " res " << c.res;
    std::vector<uint32_t> colors = {0x00000000u, 0xFF0000FFu, 0x00FF0000u, 0x10203040u};
    EXPECT_EQ(sample_color_map(colors, 0.5f, 0.5f, 2, 10, 1), 0x43470C4Fu);  // byte by byte, truncated
    EXPECT_EQ(sample_color_map(colors, 1.0f, 1.0f, 2, 10, 1), 0x10203040u);
}

TEST(PictureMaps, FloorsScalesAndRowOrder) {
    // 2x2 picture: top row red 0 and 255, bottom row 127 and 254.
    const std::vector<uint8_t> red = {0, 255, 127, 254}, green = {127, 127, 0, 255};
    PicturePlanes picture{2, 2, red, green, {}, {}};
    std::vector<float> a(4), b(4);
    ASSERT_TRUE(
        fill_value_map_from_picture(picture, kChannelLength, 2.0f, 0, a.data(), nullptr, 2));
    // Picture row 0 becomes the last map row.
    EXPECT_FLOAT_EQ(a[2], 0.001f);
    EXPECT_FLOAT_EQ(a[3], 2.0f);
    EXPECT_FLOAT_EQ(a[0], 127 * 2.0f / 255);
    ASSERT_TRUE(
        fill_value_map_from_picture(picture, kChannelBend, 1.0f, 1.0f, a.data(), b.data(), 2));
    EXPECT_FLOAT_EQ(a[0], 0.001f);  // byte 127 gives +0.001, not 0
    EXPECT_FLOAT_EQ(b[2], 0.001f);
    EXPECT_FLOAT_EQ(a[2], -1.0f);
    ASSERT_TRUE(
        fill_value_map_from_picture(picture, kChannelGrow, 1.0f, 1.0f, a.data(), b.data(), 2));
    EXPECT_FLOAT_EQ(a[0], 0.0f);
    ASSERT_TRUE(fill_value_map_from_picture(picture, kChannelCurl, 1.0f, 0, a.data(), nullptr, 2));
    EXPECT_FLOAT_EQ(a[2], 0.0f);  // no floor on curl
    EXPECT_FALSE(fill_value_map_from_picture(picture, kChannelGrow, 1, 1, a.data(), nullptr, 2));
    PicturePlanes truncated{4, 4, red, green, {}, {}};
    EXPECT_FALSE(
        fill_value_map_from_picture(truncated, kChannelLength, 1, 0, a.data(), nullptr, 2));
}

TEST(PictureMaps, ColorPicturesTakeAlphaOnlyWithFourChannels) {
    const std::vector<uint8_t> r = {10}, g = {20}, b = {30}, alpha = {40};
    PicturePlanes picture{1, 1, r, g, b, alpha};
    uint32_t cell = 0;
    ASSERT_TRUE(fill_color_map_from_picture(picture, kColorDiffuse, 4, 200, &cell, 1));
    EXPECT_EQ(cell, 0x0A141E28u);
    ASSERT_TRUE(fill_color_map_from_picture(picture, kColorDiffuse, 3, 200, &cell, 1));
    EXPECT_EQ(cell, 0x0A141EC8u);
    ASSERT_TRUE(fill_color_map_from_picture(picture, kColorThickness, 1, 0, &cell, 1));
    EXPECT_FLOAT_EQ(std::bit_cast<float>(cell), 10 / 255.0f);
}

// Channel maps driven by a numbered picture sequence follow the frame and fall back to the keys
// on frames without a picture.
class PictureSequence : public testing::HairScene {
protected:
    void SetUp() override {
        open_scene(testing::square_patch("Square"), {{"Square", SAA_MODEL_PATCH, 1, 1}});
        for (int frame : {1, 2}) {  // red 100 on frame 1, 200 on frame 2
            std::unique_ptr<PicImage> image = pic_create(8, 8, false);
            ASSERT_TRUE(image);
            image->red().assign(64, uint8_t(100 * frame));
            ASSERT_TRUE(pic_write_file(
                (root_ / "PICTURES" / ("len." + std::to_string(frame) + ".pic")).string(), *image));
        }
        PatchData &r = record();
        r.texture_keys.front().u = r.texture_keys.front().v = 0.5f;
        r.texture_keys.front().length = {1, 3.0f, 0.0f, 0};
        r.length_picture = std::make_unique<Picture>();
        r.length_picture->texture_filename = "len";
        r.length_picture_scale = {1, 2.55f, 0};
        r.length_sequence.use_sequence = 1;
        r.length_sequence.error_handling = 0;  // a missing frame falls back to the keys
        r.length_sequence.loaded_frame_nr = -1;
    }
    float length_at_frame(int frame) {
        set_frame(frame);
        update_channel_maps(0);
        return sample_channel_map(record().length_map, 0.5f, 0.5f, record().length_map_res, 1, 0);
    }
};

TEST_F(PictureSequence, MapsFollowTheFrameAndFallBackToKeys) {
    EXPECT_NEAR(length_at_frame(1), 1.0f, 1e-5f);
    EXPECT_EQ(record().length_sequence.loaded_frame_nr, 1);
    EXPECT_NEAR(length_at_frame(2), 2.0f, 1e-5f);
    EXPECT_NEAR(length_at_frame(3), 3.0f, 1e-4f);  // no picture 3: the key's length
    EXPECT_EQ(record().length_sequence.picture_was_found, 0);
    EXPECT_NEAR(length_at_frame(1), 1.0f, 1e-5f);
}

TEST_F(PictureSequence, KeyAreaModeRecordsTheFrameSoItsMapIsBuiltOnce) {
    record().length_sequence.error_handling = 4;  // the keys, without a message
    EXPECT_NEAR(length_at_frame(1), 3.0f, 1e-4f);
    EXPECT_EQ(record().length_sequence.loaded_frame_nr, 1);
    EXPECT_EQ(record().length_sequence.picture_was_found, 0);
    // A key changed without marking the map: the frame's map stays as it was built.
    record().texture_keys.front().length.value = 5.0f;
    EXPECT_NEAR(length_at_frame(1), 3.0f, 1e-4f);
    // The next frame builds it again.
    EXPECT_NEAR(length_at_frame(2), 5.0f, 1e-4f);
    EXPECT_EQ(record().length_sequence.loaded_frame_nr, 2);
}


}  // namespace
}  // namespace vellimor
