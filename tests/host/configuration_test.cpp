#include "host/configuration.h"

#include <gtest/gtest.h>

#include "furdata/display_settings.h"
#include "host/globals.h"
#include "test_env.h"

namespace vellimor {
namespace {

using test::ScopedEnv;
using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

const char *const kSwitches[] = {"FUR_USE_IRIS_GL",  "FUR_DONT_MOVE_MOUSE", "FUR_NO_BACKUP",
                                 "FUR_BACKUP_INTERVAL", "FUR_SINGLE_BUFFER", "FUR_SAVE_PLUGIN",
                                 "FUR_SIZE",         "FUR_MAX_PROC",        "FUR_TEXTURE_SEARCH_RANGE"};

class FurSwitches : public testing::Test {
protected:
    void SetUp() override {
        reset_globals();
        display_settings_create();
        for (const char *name : kSwitches) env.unset(name);
    }
    void TearDown() override { display_settings_free(); }
    // Runs read_fur_switches and returns what it printed.
    std::string apply() {
        CaptureStderr();
        read_fur_switches();
        return GetCapturedStderr();
    }
    ScopedEnv env;
};

TEST_F(FurSwitches, NoneSetGivesDefaultsAndOneProcessor) {
    display_settings()->use_opengl = 0;
    EXPECT_EQ(apply(), "Running on 1 processor\n");
    EXPECT_EQ(display_settings()->use_opengl, 1);
    EXPECT_EQ(display_settings()->move_mouse, 1);
    EXPECT_EQ(config().backup, 1);
    EXPECT_FLOAT_EQ(config().backup_interval, 60.0f);
    EXPECT_EQ(config().single_buffer, 0);
    EXPECT_EQ(config().texture_search_range, 500);
    EXPECT_EQ(config().multiprocessor, 0);
}

TEST_F(FurSwitches, FlagsAndTheirMessagesInOrder) {
    env.set("FUR_USE_IRIS_GL", "");
    env.set("FUR_DONT_MOVE_MOUSE", "0");
    env.set("FUR_NO_BACKUP", "yes");
    EXPECT_EQ(apply(),
              "Using IrisGL drawing mode\nMoving mouse disabled\nNo backup files will be saved\n"
              "Running on 1 processor\n");
    EXPECT_EQ(display_settings()->use_opengl, 0);
    EXPECT_EQ(display_settings()->move_mouse, 0);
    EXPECT_EQ(config().backup, 0);
}

TEST_F(FurSwitches, BackupInterval) {
    env.set("FUR_BACKUP_INTERVAL", "0.5");
    apply();
    EXPECT_FLOAT_EQ(config().backup_interval, 0.5f);
    env.set("FUR_BACKUP_INTERVAL", "-3");
    apply();
    EXPECT_FLOAT_EQ(config().backup_interval, 0.5f);
    env.set("FUR_BACKUP_INTERVAL", "0");
    apply();
    EXPECT_FLOAT_EQ(config().backup_interval, 0.5f);
    env.set("FUR_BACKUP_INTERVAL", "junk");
    apply();
    EXPECT_FLOAT_EQ(config().backup_interval, 0.5f);
}

TEST_F(FurSwitches, SingleBufferAndSavePlugin) {
    env.set("FUR_SINGLE_BUFFER", "1");
    env.set("FUR_SAVE_PLUGIN", "1");
    apply();
    EXPECT_EQ(config().single_buffer, 1);
    EXPECT_EQ(config().save_plugin, 1);
    env.set("FUR_SINGLE_BUFFER", "2");
    env.set("FUR_SAVE_PLUGIN", "x");
    apply();
    EXPECT_EQ(config().single_buffer, 0);
    EXPECT_EQ(config().save_plugin, 0);
}

TEST_F(FurSwitches, WindowSizeTakesOnlyComponentsInRange) {
    env.set("FUR_SIZE", "300, 800");
    EXPECT_EQ(apply(), "New size 0x800\nRunning on 1 processor\n");
    EXPECT_EQ(config().window_x, 0);
    EXPECT_EQ(config().window_y, 800);
    env.set("FUR_SIZE", "1024,4096");
    EXPECT_EQ(apply(), "New size 1024x800\nRunning on 1 processor\n");
    env.set("FUR_SIZE", "4095");  // no second number: y stays
    apply();
    EXPECT_EQ(config().window_x, 4095);
    EXPECT_EQ(config().window_y, 800);
    env.set("FUR_SIZE", "99999999999999999999, 401");  // huge numbers clamp, never overflow
    apply();
    EXPECT_EQ(config().window_x, 4095);
    EXPECT_EQ(config().window_y, 401);
    env.set("FUR_SIZE", "1280x1024");  // as "New size" writes it
    EXPECT_EQ(apply(), "New size 1280x1024\nRunning on 1 processor\n");
}

TEST_F(FurSwitches, ProcessorCount) {
    env.set("FUR_MAX_PROC", "2");
    EXPECT_EQ(apply(),
              "Warning: number of processors: 2 set to more than the actual number of "
              "processors:1\nRunning on 2 processors\n");
    EXPECT_EQ(config().processors, 2);
    EXPECT_EQ(config().multiprocessor, 1);
    env.set("FUR_MAX_PROC", "-4");
    EXPECT_EQ(apply(), "Running on 1 processor\n");
    EXPECT_EQ(config().processors, 1);
    EXPECT_EQ(config().multiprocessor, 0);
}

TEST_F(FurSwitches, TextureSearchRange) {
    env.set("FUR_TEXTURE_SEARCH_RANGE", "0");
    EXPECT_EQ(apply(),
              "Running on 1 processor\nWarning: texture_search_range set to 0, this MUST be a "
              "positive integer. It's been changed to 1\n");
    EXPECT_EQ(config().texture_search_range, 1);
    env.set("FUR_TEXTURE_SEARCH_RANGE", "6000");
    EXPECT_EQ(apply(),
              "Running on 1 processor\nWarning: texture_search_range set to 6000, this can slow "
              "down texture-searches (but will work)\n");
    EXPECT_EQ(config().texture_search_range, 6000);
}

TEST_F(FurSwitches, CreatesDisplaySettingsWhenMissing) {
    display_settings_free();
    env.set("FUR_USE_IRIS_GL", "1");
    apply();
    ASSERT_NE(display_settings(), nullptr);
    EXPECT_EQ(display_settings()->use_opengl, 0);
}

class Locations : public testing::Test {
protected:
    void SetUp() override { reset_globals(); }
    ScopedEnv env;
};

TEST_F(Locations, BothSet) {
    env.set("SI_LOCATION", "/opt/host");
    env.set("FUR_LOCATION", "/opt/fur");
    CaptureStderr();
    EXPECT_TRUE(read_locations());
    EXPECT_EQ(GetCapturedStderr(), "");
    EXPECT_EQ(config().host_location, "/opt/host");
    EXPECT_EQ(config().fur_location, "/opt/fur");
    EXPECT_EQ(run_state().resource_path, "/opt/host/3D/rsrc");
}

TEST_F(Locations, FurLocationFallsBackToHost) {
    env.set("SI_LOCATION", "/opt/host");
    env.unset("FUR_LOCATION");
    CaptureStderr();
    EXPECT_TRUE(read_locations());
    EXPECT_EQ(GetCapturedStderr(), "FUR_LOCATION env variable not defined, using SI_LOCATION\n");
    EXPECT_EQ(config().fur_location, "/opt/host");
}

TEST_F(Locations, MissingHostLocationIsReported) {
    env.unset("SI_LOCATION");
    env.set("FUR_LOCATION", "/opt/fur");
    CaptureStderr();
    EXPECT_FALSE(read_locations());
    EXPECT_EQ(GetCapturedStderr(), "SI_LOCATION env variable not defined\n");
    EXPECT_EQ(config().host_location, "");
}

TEST_F(Locations, LongLocationsAreKeptWhole) {
    const std::string long_path = "/" + std::string(3000, 'x');
    env.set("SI_LOCATION", long_path);
    env.unset("FUR_LOCATION");
    CaptureStderr();
    read_locations();
    GetCapturedStderr();
    EXPECT_EQ(run_state().resource_path, long_path + "/3D/rsrc");
}

TEST(MessageFile, OpensInTempAndTruncates) {
    test::TempDir dir;
    ScopedEnv env;
    env.set("TEMP", dir.path());
    {
        std::ofstream old(dir.path() + "/fur_message");
        old << "old content\n";
    }
    open_message_file();
    ASSERT_TRUE(message_file_open());
    message_file_write("first");
    EXPECT_EQ(test::read_file(dir.path() + "/fur_message"), "first\n");
    close_message_file();
    EXPECT_FALSE(message_file_open());
    message_file_write("skipped");
    EXPECT_EQ(test::read_file(dir.path() + "/fur_message"), "first\n");
}

TEST(MessageFile, NoneWithoutTempOrWhenUncreatable) {
    ScopedEnv env;
    env.unset("TEMP");
    open_message_file();
    EXPECT_FALSE(message_file_open());
    env.set("TEMP", "/nonexistent/dir");
    open_message_file();
    EXPECT_FALSE(message_file_open());
    message_file_write("nowhere");
}

}  // namespace
}  // namespace vellimor
