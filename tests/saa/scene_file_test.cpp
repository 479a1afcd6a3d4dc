// The scene database on disk: loading, saving, play control, user data blocks, the selection,
// hostile scene files (built to exhaust the reader too) and what killed saves leave beside a scene.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "support/test_prelude.h"

#include <random>

#include "support/data_table.h"
#include "support/temp_database.h"
#include "support/test_env.h"

using namespace vellimor::test;

namespace {

namespace fs = std::filesystem;

std::string demo_text() { return read_file(demo_database() + "/SCENES/furball.dsc"); }

int model_count(const SAA_Scene &scene) {
    int n = -1;
    SAA_sceneGetNbModels(&scene, &n);
    return n;
}

const char *kTwoModels = R"({"name": "A", "type": 0}, {"name": "B", "type": 0, "user_data": [
    {"name": "Big", "byte_order": "big", "data": "AAAAAQ=="},
    {"name": "Little", "byte_order": "little", "data": "AQAAAA=="}]})";

// The demo scene loaded into a database of its own.
class DemoScene : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(db.load_text(demo_text(), "furball"), SAA_OK) << last_error(); }
    TempDatabase db;
};

}  // namespace

// The demo's play control, cameras, lights and models are checked through the same getters by
// the info command's end-to-end test; here what it does not print.
TEST_F(DemoScene, LoadsUnderItsNameFromItsDatabase) {
    char name[64];
    ASSERT_EQ(SAA_sceneGetName(&db.scene, sizeof name, name), SAA_OK);
    EXPECT_STREQ(name, "furball");
    int length = 0;
    ASSERT_EQ(SAA_databaseGetPathLength(&db.database, &length), SAA_OK);
    std::vector<char> path(static_cast<std::size_t>(length) + 1);
    ASSERT_EQ(SAA_databaseGetPath(&db.database, length + 1, path.data()), SAA_OK);
    EXPECT_EQ(std::string(path.data()), db.path().string());
    EXPECT_EQ(SAA_databaseGetPath(&db.database, length, path.data()), SAA_ERR_ARGUMENT) << "no room for the terminator";
}

TEST_F(DemoScene, SaveAndLoadKeepEveryModelKeyAndBlock) {
    SAA_Elem sphere = model_named(db.scene, "Sphere");
    const unsigned char bytes[5] = {5, 4, 3, 2, 1};
    ASSERT_EQ(SAA_modelSetUserData(&db.scene, &sphere, "PatchData", 5, 0, bytes), SAA_OK);
    ASSERT_EQ(SAA_sceneSetPrefix(&db.scene, "3-7"), SAA_OK);
    ASSERT_EQ(SAA_sceneSave(&db.database, &db.scene), SAA_OK) << last_error();
    std::string first = db.read_scene("furball");
    ASSERT_EQ(db.load("furball"), SAA_OK) << last_error();
    ASSERT_EQ(SAA_sceneSave(&db.database, &db.scene), SAA_OK);
    EXPECT_EQ(db.read_scene("furball"), first) << "a second round trip changes nothing";
    EXPECT_EQ(model_count(db.scene), 5);
    char prefix[16];
    ASSERT_EQ(SAA_sceneGetPrefix(&db.scene, sizeof prefix, prefix), SAA_OK);
    EXPECT_STREQ(prefix, "3-7");
    // The wind keys survive: the wind still moves between frames 1 and 30.
    SAA_Elem wind = model_named(db.scene, "Wind");
    float x0, y0, z0, x1, y1, z1;
    SAA_updatelistEvalScene(&db.scene, 1 / 24.0);
    SAA_modelGetTranslation(&db.scene, &wind, 1, &x0, &y0, &z0);
    SAA_updatelistEvalScene(&db.scene, 30 / 24.0);
    SAA_modelGetTranslation(&db.scene, &wind, 1, &x1, &y1, &z1);
    EXPECT_FLOAT_EQ(z0, 0);
    EXPECT_FLOAT_EQ(z1, 1);
    int size = 0;
    short swap = 0;
    void *data = nullptr;
    sphere = model_named(db.scene, "Sphere");
    ASSERT_EQ(SAA_modelAllocUserData(&db.scene, &sphere, "PatchData", &size, &swap, &data), SAA_OK);
    EXPECT_EQ(size, 5);
}

TEST_F(DemoScene, FailedSaveLeavesTheOldFileIntact) {
    std::string before = db.read_scene("furball");
    SAA_Elem sphere = model_named(db.scene, "Sphere");
    ASSERT_EQ(SAA_elementSetName(&db.scene, &sphere, "Renamed"), SAA_OK);
    SAA_hostFailWritesAfter(100);
    int status = SAA_sceneSave(&db.database, &db.scene);
    SAA_hostFailWritesAfter(-1);
    EXPECT_EQ(status, SAA_ERR_IO);
    EXPECT_NE(last_error().find("furball.dsc"), std::string::npos) << last_error();
    EXPECT_NE(last_error().find("No space left on device"), std::string::npos) << last_error();
    EXPECT_EQ(db.read_scene("furball"), before);
    std::size_t files = 0;
    for (auto &entry : std::filesystem::directory_iterator(db.path() / "SCENES")) files += entry.exists();
    EXPECT_EQ(files, 1u) << "no temporary file left behind";
    ASSERT_EQ(SAA_sceneSave(&db.database, &db.scene), SAA_OK);
    EXPECT_NE(db.read_scene("furball").find("Renamed"), std::string::npos);
}

// Every malformed file gives an error naming the problem and leaves the current scene alone.
TEST_F(DemoScene, HostileFilesAreRefusedWithoutHarm) {
    const auto cases = read_table("hostile/scene_files.tsv");
    ASSERT_GT(cases.size(), 20u);
    for (const auto &row : cases) {
        const std::string &mention = row.at(0), &text = row.at(1);
        db.write_scene("bad", text);
        int status = SAA_sceneLoad(&db.database, "bad", &db.scene);
        EXPECT_EQ(status, SAA_ERR_FORMAT) << text;
        std::string reason = last_error();
        EXPECT_NE(reason.find("bad.dsc"), std::string::npos) << reason;
        EXPECT_NE(reason.find(mention), std::string::npos) << "for " << text << " got: " << reason;
        EXPECT_EQ(model_count(db.scene), 5) << "the current scene stays";
    }
}

TEST(SceneFile, TruncatedAndMangledDemoFilesNeverCrash) {
    TempDatabase db;
    const std::string demo = demo_text();
    std::mt19937 random(12345);
    for (std::size_t cut = 0; cut < demo.size(); cut += 97) {
        db.write_scene("bad", demo.substr(0, cut));
        EXPECT_NE(SAA_sceneLoad(&db.database, "bad", &db.scene), SAA_OK) << "truncated at " << cut;
    }
    for (int round = 0; round < 200; ++round) {
        std::string mangled = demo;
        for (int k = 0; k < 4; ++k) mangled[random() % mangled.size()] = static_cast<char>(random() % 256);
        db.write_scene("bad", mangled);
        SAA_sceneLoad(&db.database, "bad", &db.scene);  // any status, no crash
    }
}

TEST(SceneFile, DeepNestingAndOversizedValuesAreRefused) {
    TempDatabase db;
    const int depth = 200000;
    db.write_scene("deep", R"({"version": 1, "models": [{"name": "A", "type": 0, "extra": )" + std::string(depth, '[') +
                               std::string(depth, ']') + "}]}");
    int status = db.load("deep");
    EXPECT_TRUE(status == SAA_OK || status == SAA_ERR_FORMAT) << "unknown members may be anything, but no crash";
    db.write_scene("deep2", std::string(depth, '[') + std::string(depth, ']'));
    EXPECT_EQ(db.load("deep2"), SAA_ERR_FORMAT);
    EXPECT_NE(last_error().find("nested more than 32 levels deep"), std::string::npos) << last_error();
    // Nesting a scene really has is read.
    EXPECT_EQ(db.load_text(R"({"version": 1, "models": [], "x": [[[[[[1]]]]]]})"), SAA_OK) << last_error();
    db.write_scene("big", R"({"version": 18446744073709551615})");
    EXPECT_EQ(db.load("big"), SAA_ERR_FORMAT);
    db.write_scene("long", R"({"version": 1, "models": [{"name": ")" + std::string(100000, 'x') + R"(", "type": 0}]})");
    ASSERT_EQ(db.load("long"), SAA_OK);
    SAA_Elem m = all_models(db.scene).at(0);
    int length = 0;
    char small[8];
    ASSERT_EQ(SAA_elementGetNameLength(&db.scene, &m, &length), SAA_OK);
    EXPECT_EQ(length, 100000);
    EXPECT_EQ(SAA_elementGetName(&db.scene, &m, sizeof small, small), SAA_ERR_ARGUMENT) << "no room: refused, not overrun";
    EXPECT_EQ(std::string(small), "xxxxxxx");
}

TEST(SceneFile, TemporariesOfKilledSavesAreRemovedButNotThoseBeingWritten) {
    TempDatabase db;
    db.write_scene("furball", R"({"version": 1, "models": []})");
    const fs::path scenes = db.path() / "SCENES";
    const fs::path stale = scenes / ".furball.dsc.a1B2c3";
    const fs::path young = scenes / ".furball.dsc.d4E5f6";
    const fs::path written = scenes / ".furball.dsc.g7H8i9";
    const fs::path other = scenes / ".other.dsc.j1K2l3";
    const fs::path unlike = scenes / ".furball.dsc.orig";
    for (const fs::path &p : {stale, young, written, other, unlike}) std::ofstream(p) << "partial";
    for (const fs::path &p : {stale, written, other, unlike})
        fs::last_write_time(p, fs::file_time_type::clock::now() - std::chrono::hours(1));
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

// Blocks read back with their size and an honest swap flag, and survive a save and a load.
TEST(UserData, BlocksKeepTheirSizeBytesAndByteOrderThroughSaveAndLoad) {
    TempDatabase db;
    ASSERT_EQ(db.load_text(scene_with_models(kTwoModels)), SAA_OK) << last_error();
    SAA_Elem a = model_named(db.scene, "A"), b = model_named(db.scene, "B");
    int size = -1, count = 0;
    short swap = -1;
    void *data = nullptr;
    ASSERT_EQ(SAA_modelAllocUserData(&db.scene, &b, "Big", &size, &swap, &data), SAA_OK);
    ASSERT_EQ(size, 4);
    EXPECT_EQ(swap, 1) << "stored big-endian, read on a little-endian machine";
    const unsigned char big_bytes[4] = {0, 0, 0, 1};
    EXPECT_EQ(0, std::memcmp(data, big_bytes, 4)) << "the stored bytes, not swapped";
    ASSERT_EQ(SAA_modelAllocUserData(&db.scene, &b, "Little", &size, &swap, &data), SAA_OK);
    EXPECT_EQ(swap, 0);
    int value = 0;
    std::memcpy(&value, data, 4);
    EXPECT_EQ(value, 1);

    const unsigned char fresh[3] = {1, 2, 3};
    ASSERT_EQ(SAA_modelSetUserData(&db.scene, &a, "Fresh", 3, 0, fresh), SAA_OK);
    ASSERT_EQ(SAA_modelSetUserData(&db.scene, &a, "Empty", 0, 0, nullptr), SAA_OK);
    ASSERT_EQ(SAA_sceneSave(&db.database, &db.scene), SAA_OK) << last_error();
    ASSERT_EQ(db.load("test"), SAA_OK) << last_error();
    a = model_named(db.scene, "A");
    b = model_named(db.scene, "B");
    ASSERT_EQ(SAA_modelAllocUserData(&db.scene, &a, "Fresh", &size, &swap, &data), SAA_OK);
    ASSERT_EQ(size, 3);
    EXPECT_EQ(0, std::memcmp(data, fresh, 3));
    ASSERT_EQ(SAA_modelGetNbUserData(&db.scene, &a, &count), SAA_OK);
    EXPECT_EQ(count, 2);
    ASSERT_EQ(SAA_modelAllocUserData(&db.scene, &b, "Big", &size, &swap, &data), SAA_OK);
    EXPECT_EQ(swap, 1);
    char name[16];
    ASSERT_EQ(SAA_modelGetUserDataInfo(&db.scene, &b, 0, sizeof name, name, &size), SAA_OK);
    EXPECT_STREQ(name, "Big");
    EXPECT_EQ(size, 4);
}

TEST(Interface, SelectionHoldsValidElementsOnly) {
    TempDatabase db;
    ASSERT_EQ(db.load_text(scene_with_models(R"({"name": "A", "type": 0}, {"name": "B", "type": 0})")), SAA_OK);
    SAA_Elem b = model_named(db.scene, "B");
    ASSERT_EQ(SAA_selectlistSetElements(&db.scene, 1, 1, &b), SAA_OK);
    SAA_Elem got[4];
    int count = 0;
    ASSERT_EQ(SAA_selectlistGetElements(&db.scene, 4, got, &count), SAA_OK);
    ASSERT_EQ(count, 1);
    EXPECT_EQ(element_name(db.scene, got[0]), "B");
    SAA_Elem stale{1, 0, 0, 0};
    EXPECT_EQ(SAA_selectlistSetElements(&db.scene, 1, 1, &stale), SAA_ERR_INVALID);
    ASSERT_EQ(SAA_selectlistGetElements(&db.scene, 4, got, &count), SAA_OK);
    EXPECT_EQ(count, 1) << "a refused selection keeps the old one";
    ASSERT_EQ(SAA_selectlistClear(&db.scene), SAA_OK);
    ASSERT_EQ(SAA_selectlistGetElements(&db.scene, 4, got, &count), SAA_OK);
    EXPECT_EQ(count, 0);
}
