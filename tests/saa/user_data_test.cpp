// Named user-data blocks with their byte order.
#include <cstring>

#include "support/temp_database.h"

using namespace vellimor::test;

namespace {

const char *kTwoModels = R"({"name": "A", "type": 0}, {"name": "B", "type": 0, "user_data": [
    {"name": "Big", "byte_order": "big", "data": "AAAAAQ=="},
    {"name": "Little", "byte_order": "little", "data": "AQAAAA=="}]})";

}  // namespace

TEST(UserData, BlocksReadBackWithTheirSizeAndAnHonestSwapFlag) {
    TempDatabase db;
    ASSERT_EQ(db.load_text(scene_with_models(kTwoModels)), SAA_OK) << last_error();
    SAA_Elem b = model_named(db.scene, "B");
    int size = -1;
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
}

TEST(UserData, SurvivesSaveAndLoadWithItsByteOrder) {
    TempDatabase db;
    ASSERT_EQ(db.load_text(scene_with_models(kTwoModels)), SAA_OK);
    SAA_Elem a = model_named(db.scene, "A");
    const unsigned char fresh[3] = {1, 2, 3};
    ASSERT_EQ(SAA_modelSetUserData(&db.scene, &a, "Fresh", 3, 0, fresh), SAA_OK);
    ASSERT_EQ(SAA_modelSetUserData(&db.scene, &a, "Empty", 0, 0, nullptr), SAA_OK);
    ASSERT_EQ(SAA_sceneSave(&db.database, &db.scene), SAA_OK) << last_error();
    ASSERT_EQ(db.load("test"), SAA_OK) << last_error();
    a = model_named(db.scene, "A");
    SAA_Elem b = model_named(db.scene, "B");
    int size = 0, count = 0;
    short swap = 0;
    void *data = nullptr;
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
