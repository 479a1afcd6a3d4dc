#include "hair/texture_picture.h"

#include "support/test_prelude.h"

#include "host/configuration.h"
#include "host/globals.h"
#include "host/scene.h"
#include "host/status.h"
#include "support/test_env.h"
#include "render/pic_file.h"
#include "saa/saa.h"

namespace vellimor {
namespace {

namespace fs = std::filesystem;

class TexturePicture : public ::testing::Test {
protected:
    void SetUp() override {
        reset_globals();
        status_reset();
        env.set("TEMP", messages.path());
        open_message_file();
        fs::create_directories(db.path() + "/SCENES");
        fs::create_directories(db.path() + "/PICTURES");
        fs::create_directories(work.path() + "/fur");
        ASSERT_EQ(SAA_databaseLoad(db.path().c_str(), &scene_state().database), SAA_OK);
        scene_state().current_frame = 5;
        picture.texture_filename = work.path() + "/fur/skin";
    }
    void TearDown() override {
        close_message_file();
        reset_globals();
    }

    // A picture file whose one pixel's red value tells which file it was.
    void write_picture(const std::string &path, uint8_t mark) {
        auto image = pic_create(1, 1, false);
        image->red()[0] = mark;
        ASSERT_TRUE(pic_write_file(path, *image));
    }
    std::string sequence_file(int n) const { return work.path() + "/fur/skin." + std::to_string(n) + ".pic"; }
    std::string database_file(const std::string &name) const { return db.path() + "/PICTURES/" + name; }
    std::string message_file() const { return test::read_file(messages.path() + "/fur_message"); }
    int mark() const { return picture.image ? picture.image->red()[0] : -1; }

    int load_sequence(int error_handling, int *loaded_frame_nr) {
        return load_texture_picture(&picture, 1, error_handling, 10, loaded_frame_nr);
    }

    test::TempDir messages, db, work;
    test::ScopedEnv env;
    Picture picture;
};

TEST_F(TexturePicture, SequenceFileIsTriedBesideTheNameThenInThePicturesDirectory) {
    write_picture(database_file("skin.15.pic"), 2);
    int loaded = 0;
    EXPECT_EQ(load_sequence(kTextureShowError, &loaded), 1);
    EXPECT_EQ(loaded, 15);
    EXPECT_EQ(mark(), 2);

    write_picture(sequence_file(15), 1);
    EXPECT_EQ(load_sequence(kTextureShowError, &loaded), 1);
    EXPECT_EQ(mark(), 1);
    EXPECT_NE(message_file().find("Texture set to " + sequence_file(15) + "\n"), std::string::npos);
}

TEST_F(TexturePicture, ForwardBackwardAndBothWaySearches) {
    write_picture(sequence_file(16), 16);
    int loaded = 0;
    EXPECT_EQ(load_sequence(kTextureNext, &loaded), 1);
    EXPECT_EQ(mark(), 16);
    EXPECT_EQ(loaded, 15);  // the number asked for, so the next frame loads again

    fs::remove(sequence_file(16));
    write_picture(sequence_file(12), 12);
    EXPECT_EQ(load_sequence(kTextureNext, &loaded), 0);
    EXPECT_EQ(mark(), -1);
    EXPECT_EQ(load_sequence(kTexturePrevious, &loaded), 1);
    EXPECT_EQ(mark(), 12);
    EXPECT_EQ(load_sequence(kTextureNextThenPrevious, &loaded), 1);
    EXPECT_EQ(mark(), 12);
    EXPECT_EQ(loaded, 15);

    // The search covers n .. n + R - 1 (and n .. n - R + 1) for the configured range R.
    fs::remove(sequence_file(12));
    config().texture_search_range = 5;
    write_picture(sequence_file(20), 20);
    write_picture(sequence_file(10), 10);
    EXPECT_EQ(load_sequence(kTextureNextThenPrevious, &loaded), 0);
    write_picture(sequence_file(19), 19);
    EXPECT_EQ(load_sequence(kTextureNextThenPrevious, &loaded), 1);
    EXPECT_EQ(mark(), 19);
    // The searching modes fall back silently.
    EXPECT_EQ(message_file().find("ERROR"), std::string::npos) << message_file();
}

TEST_F(TexturePicture, PlainPicturesAndUnreadableFiles) {
    picture.texture_filename = work.path() + "/fur/plain.pic";
    write_picture(database_file("plain.pic"), 7);
    EXPECT_EQ(load_texture_picture(&picture, 0, 0, 0, nullptr), 1);
    EXPECT_EQ(mark(), 7);
    write_picture(picture.texture_filename, 8);
    EXPECT_EQ(load_texture_picture(&picture, 0, 0, 0, nullptr), 1);
    EXPECT_EQ(mark(), 8);

    // A file that exists but is not a picture: the image held before is gone too.
    std::ofstream(picture.texture_filename) << "garbage";
    status_reset();
    close_message_file();
    open_message_file();
    EXPECT_EQ(load_texture_picture(&picture, 0, 0, 0, nullptr), 0);
    EXPECT_EQ(mark(), -1);
    EXPECT_EQ(message_file(),
              "ERROR: ERROR!!!! Read texture error, texture has been deleted. File " + picture.texture_filename +
                  "\n\n    not a PIC file (wrong magic number)\n");

    close_message_file();
    open_message_file();
    picture.texture_filename = work.path() + "/nowhere.pic";
    EXPECT_EQ(load_texture_picture(&picture, 0, 0, 0, nullptr), 0);
    EXPECT_EQ(message_file(), "ERROR: Read texture error, file not found: " + picture.texture_filename + "\n\n");

    EXPECT_EQ(load_texture_picture(nullptr, 0, 0, 0, nullptr), 0);
}

}  // namespace
}  // namespace vellimor
