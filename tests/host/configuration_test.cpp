#include "host/configuration.h"
#include "host/command_line.h"

#include "support/test_prelude.h"

#include "furdata/display_settings.h"
#include "host/globals.h"
#include "platform/processors.h"
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
    std::optional<std::string> printed;  // nullopt: not looked at
    std::function<bool()> kept;
};

// What a run prints about its processors: every core it may use, unless FUR_MAX_PROC says.
std::string running_on(int processors) {
    return processors == 1 ? "Running on 1 processor\n" : "Running on " + std::to_string(processors) + " processors\n";
}

TEST_F(FurSwitches, EverySwitchWithGoodAndBadValues) {
    const int actual = platform::available_processors();
    const std::string every = running_on(actual), more = std::to_string(actual + 1);
    const SwitchCase cases[] = {
        {{{"FUR_USE_IRIS_GL", ""}, {"FUR_DONT_MOVE_MOUSE", "0"}, {"FUR_NO_BACKUP", "yes"}},
         "Using IrisGL drawing mode\nMoving mouse disabled\nNo backup files will be saved\n" + every,
         [] { return display_settings()->use_opengl == 0 && display_settings()->move_mouse == 0 && config().backup == 0; }},
        {{{"FUR_BACKUP_INTERVAL", "0.5"}}, std::nullopt, [] { return config().backup_interval == 0.5f; }},
        {{{"FUR_BACKUP_INTERVAL", "-3"}}, std::nullopt, [] { return config().backup_interval == 0.5f; }},
        {{{"FUR_BACKUP_INTERVAL", "0"}}, std::nullopt, [] { return config().backup_interval == 0.5f; }},
        {{{"FUR_BACKUP_INTERVAL", "junk"}}, std::nullopt, [] { return config().backup_interval == 0.5f; }},
        {{{"FUR_USE_IRIS_GL", nullptr}, {"FUR_DONT_MOVE_MOUSE", nullptr}, {"FUR_NO_BACKUP", nullptr},
          {"FUR_SIZE", "300, 800"}},
         "New size 0x800\n" + every, [] { return config().window_x == 0 && config().window_y == 800; }},
        {{{"FUR_SIZE", "1024,4096"}}, "New size 1024x800\n" + every, nullptr},
        {{{"FUR_SIZE", "4095"}}, std::nullopt, [] { return config().window_x == 4095 && config().window_y == 800; }},
        // Huge numbers clamp, never overflow.
        {{{"FUR_SIZE", "99999999999999999999, 401"}}, std::nullopt,
         [] { return config().window_x == 4095 && config().window_y == 401; }},
        {{{"FUR_SIZE", "1280x1024"}}, "New size 1280x1024\n" + every, nullptr},  // as "New size" writes it
        // Every core the process may use, unless FUR_MAX_PROC says; a warning above that count.
        {{{"FUR_SIZE", nullptr}}, every, [actual] { return config().processors == actual; }},
        {{{"FUR_MAX_PROC", more.c_str()}},
         "Warning: number of processors: " + more + " set to more than the actual number of processors:" +
             std::to_string(actual) + "\n" + running_on(actual + 1),
         [actual] { return config().processors == actual + 1 && config().multiprocessor == 1; }},
        {{{"FUR_MAX_PROC", "-4"}}, running_on(1), [] { return config().processors == 1 && config().multiprocessor == 0; }},
        {{{"FUR_MAX_PROC", nullptr}, {"FUR_TEXTURE_SEARCH_RANGE", "0"}},
         every + "Warning: texture_search_range set to 0, this MUST be a positive integer. It's been changed to 1\n",
         [] { return config().texture_search_range == 1; }},
        {{{"FUR_TEXTURE_SEARCH_RANGE", "6000"}},
         every + "Warning: texture_search_range set to 6000, this can slow down texture-searches (but will work)\n",
         [] { return config().texture_search_range == 6000; }},
    };
    int n = 0;
    for (const SwitchCase &c : cases) {
        for (const auto &[name, value] : c.set) value ? env.set(name, value) : env.unset(name);
        const std::string printed = apply();
        if (c.printed) EXPECT_EQ(printed, c.printed) << "case " << n;
        if (c.kept) EXPECT_TRUE(c.kept()) << "case " << n;
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
