// Scene files built to exhaust the reader (hundreds of thousands of members in one object, deep
// nesting), and what killed saves leave beside a scene.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/time.h>
#include <unistd.h>

#include "saa/atomic_file.h"
#include "support/temp_database.h"

using namespace vellimor::test;

namespace {

namespace fs = std::filesystem;

const char kMinimalScene[] = R"({"version": 1, "models": [])";

// Sets a file's modification time to `seconds_ago` seconds in the past.
void age(const fs::path &path, int seconds_ago) {
    timeval now{};
    gettimeofday(&now, nullptr);
    timeval times[2] = {now, now};
    times[0].tv_sec -= seconds_ago;
    times[1].tv_sec -= seconds_ago;
    ASSERT_EQ(utimes(path.c_str(), times), 0);
}

void touch(const fs::path &path) { std::ofstream(path) << "partial"; }

}  // namespace

TEST(HostileSceneFile, DeepNestingIsRefusedWithItsReason) {
    std::string text = kMinimalScene;
    text += ", \"deep\": " + std::string(100000, '[') + std::string(100000, ']') + "}";
    TempDatabase db;
    EXPECT_EQ(db.load_text(text), SAA_ERR_FORMAT);
    EXPECT_NE(last_error().find("nested more than 32 levels deep"), std::string::npos) << last_error();
    // Nesting a scene really has is read.
    std::string shallow = std::string(kMinimalScene) + ", \"x\": [[[[[[1]]]]]]}";
    EXPECT_EQ(db.load_text(shallow), SAA_OK) << last_error();
}

TEST(HostileSceneFile, TemporariesOfKilledSavesAreRemovedButNotThoseBeingWritten) {
    TempDatabase db;
    db.write_scene("furball", std::string(kMinimalScene) + "}");
    const fs::path scenes = db.path() / "SCENES";
    const fs::path stale = scenes / ".furball.dsc.a1B2c3";
    const fs::path young = scenes / ".furball.dsc.d4E5f6";
    const fs::path written = scenes / ".furball.dsc.g7H8i9";
    const fs::path other = scenes / ".other.dsc.j1K2l3";
    const fs::path unlike = scenes / ".furball.dsc.orig";
    for (const fs::path &p : {stale, young, written, other, unlike}) touch(p);
    for (const fs::path &p : {stale, written, other, unlike}) age(p, 3600);
    // Another process still writing holds its temporary locked.
    const int writer = open(written.c_str(), O_RDWR);
    ASSERT_GE(writer, 0);
    ASSERT_EQ(flock(writer, LOCK_EX), 0);

    ASSERT_EQ(db.load("furball"), SAA_OK) << last_error();
    EXPECT_FALSE(fs::exists(stale));
    EXPECT_TRUE(fs::exists(young)) << "may be a save that has just begun";
    EXPECT_TRUE(fs::exists(written));
    EXPECT_TRUE(fs::exists(other)) << "another scene's temporaries are its own business";
    EXPECT_TRUE(fs::exists(unlike)) << "not our pattern";

    // Once its writer is gone, the next save removes it.
    close(writer);
    ASSERT_EQ(SAA_sceneSave(&db.database, &db.scene), SAA_OK) << last_error();
    EXPECT_FALSE(fs::exists(written));
    EXPECT_TRUE(fs::exists(young));
}

TEST(HostileSceneFile, AFailedSaveSaysWhy) {
    TempDatabase db;
    db.write_scene("furball", std::string(kMinimalScene) + "}");
    ASSERT_EQ(db.load("furball"), SAA_OK);
    SAA_hostFailWritesAfter(10);
    EXPECT_EQ(SAA_sceneSave(&db.database, &db.scene), SAA_ERR_IO);
    SAA_hostFailWritesAfter(-1);
    EXPECT_NE(last_error().find("No space left on device"), std::string::npos) << last_error();
}
