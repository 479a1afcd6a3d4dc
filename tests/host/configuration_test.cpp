#include "host/configuration.h"
#include "host/command_line.h"

#include <gtest/gtest.h>

#include <functional>
#include <fstream>

#include "furdata/display_settings.h"
#include "host/globals.h"
#include "support/test_env.h"

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

// Each case sets variables on top of the previous case's and expects what is printed and kept.
struct SwitchCase {
    std::vector<std::pair<const char *, const char *>> set;
    const char *printed;  // nullptr: not looked at
    std::function<bool()> kept;
};

TEST_F(FurSwitches, EverySwitchWithGoodAndBadValues) {
    const char *one = "Running on 1 processor\n";
    const SwitchCase cases[] = {
        {{{"FUR_USE_IRIS_GL", ""}, {"FUR_DONT_MOVE_MOUSE", "0"}, {"FUR_NO_BACKUP", "yes"}},
         "Using IrisGL drawing mode\nMoving mouse disabled\nNo backup files will be saved\nRunning on 1 processor\n",
         [] { return display_settings()->use_opengl == 0 && display_settings()->move_mouse == 0 && config().backup == 0; }},
        {{{"FUR_BACKUP_INTERVAL", "0.5"}}, nullptr, [] { return config().backup_interval == 0.5f; }},
        {{{"FUR_BACKUP_INTERVAL", "-3"}}, nullptr, [] { return config().backup_interval == 0.5f; }},
        {{{"FUR_BACKUP_INTERVAL", "0"}}, nullptr, [] { return config().backup_interval == 0.5f; }},
        {{{"FUR_BACKUP_INTERVAL", "junk"}}, nullptr, [] { return config().backup_interval == 0.5f; }},
        {{{"FUR_USE_IRIS_GL", nullptr}, {"FUR_DONT_MOVE_MOUSE", nullptr}, {"FUR_NO_BACKUP", nullptr},
          {"FUR_SIZE", "300, 800"}},
         "New size 0x800\nRunning on 1 processor\n", [] { return config().window_x == 0 && config().window_y == 800; }},
        {{{"FUR_SIZE", "1024,4096"}}, "New size 1024x800\nRunning on 1 processor\n", nullptr},
        {{{"FUR_SIZE", "4095"}}, nullptr, [] { return config().window_x == 4095 && config().window_y == 800; }},
        // Huge numbers clamp, never overflow.
        {{{"FUR_SIZE", "99999999999999999999, 401"}}, nullptr,
         [] { return config().window_x == 4095 && config().window_y == 401; }},
        {{{"FUR_SIZE", "1280x1024"}}, "New size 1280x1024\nRunning on 1 processor\n", nullptr},  // as "New size" writes it
        {{{"FUR_SIZE", nullptr}, {"FUR_MAX_PROC", "2"}},
         "Warning: number of processors: 2 set to more than the actual number of processors:1\nRunning on 2 processors\n",
         [] { return config().processors == 2 && config().multiprocessor == 1; }},
        {{{"FUR_MAX_PROC", "-4"}}, one, [] { return config().processors == 1 && config().multiprocessor == 0; }},
        {{{"FUR_MAX_PROC", nullptr}, {"FUR_TEXTURE_SEARCH_RANGE", "0"}},
         "Running on 1 processor\nWarning: texture_search_range set to 0, this MUST be a positive integer. It's been "
         "changed to 1\n",
         [] { return config().texture_search_range == 1; }},
        {{{"FUR_TEXTURE_SEARCH_RANGE", "6000"}},
         "Running on 1 processor\nWarning: texture_search_range set to 6000, this can slow down texture-searches (but "
         "will work)\n",
         [] { return config().texture_search_range == 6000; }},
    };
    int n = 0;
    for (const SwitchCase &c : cases) {
        for (const auto &[name, value] : c.set) {
            if (value) {
                env.set(name, value);
            } else {
                env.unset(name);
            }
        }
        const std::string printed = apply();
        if (c.printed) {
            EXPECT_EQ(printed, c.printed) << "case " << n;
        }
        if (c.kept) {
            EXPECT_TRUE(c.kept()) << "case " << n;
        }
        ++n;
    }
}

class Locations : public testing::Test {
protected:
    void SetUp() override { reset_globals(); }
    ScopedEnv env;
};

TEST_F(Locations, MissingHostLocationIsReported) {
    env.unset("SI_LOCATION");
    env.set("FUR_LOCATION", "/opt/fur");
    CaptureStderr();
    EXPECT_FALSE(read_locations());
    EXPECT_EQ(GetCapturedStderr(), "SI_LOCATION env variable not defined\n");
    EXPECT_EQ(config().host_location, "");
}

TEST(MessageFile, OpensInTempTruncatesAndIsNoneWithoutTempOrWhenUncreatable) {
    test::TempDir dir;
    ScopedEnv env;
    env.set("TEMP", dir.path());
    std::ofstream(dir.path() + "/fur_message") << "old content\n";
    open_message_file();
    ASSERT_TRUE(message_file_open());
    message_file_write("first");
    EXPECT_EQ(test::read_file(dir.path() + "/fur_message"), "first\n");
    close_message_file();
    EXPECT_FALSE(message_file_open());
    message_file_write("skipped");
    EXPECT_EQ(test::read_file(dir.path() + "/fur_message"), "first\n");
    env.unset("TEMP");
    open_message_file();
    EXPECT_FALSE(message_file_open());
    env.set("TEMP", "/nonexistent/dir");
    open_message_file();
    EXPECT_FALSE(message_file_open());
    message_file_write("nowhere");
}

TEST(CommandLine, NumbersReadFromTheirLeadingDigits) {
    std::vector<const char *> args = {"vellimor", "-n", "12abc", "x", "-3", "-j", "9", "-A", "junk"};
    CommandLine line;
    CaptureStderr();
    ASSERT_EQ(parse_command_line(int(args.size()), args.data(), line), ParseResult::Ok);
    EXPECT_EQ(GetCapturedStderr(), "Render frames 12 -> 0 , -3\nAnti aliazing level 9\nRender aspect 0.000000\n");
    EXPECT_EQ(std::tie(line.start, line.end, line.step, line.antialias), std::make_tuple(12, 0, -3, 9));
}

}  // namespace
}  // namespace vellimor
