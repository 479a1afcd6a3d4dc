// Channel maps driven by a numbered picture sequence follow the frame and fall back to the keys
// on frames without a picture.
#include <gtest/gtest.h>

#include "hair/channel_maps.h"
#include "support/hair_scene.h"
#include "render/pic_file.h"

namespace vellimor {
namespace {

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
