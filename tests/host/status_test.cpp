#include "host/status.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "furdata/display_settings.h"
#include "host/configuration.h"
#include "host/designer_link.h"
#include "host/globals.h"
#include "platform/beep.h"
#include "saa/saa.h"
#include "support/test_env.h"

namespace vellimor {
namespace {

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

std::string status_bar() {
    char text[2048];
    SAA_statusBarGet(sizeof text, text);
    return text;
}

// A designer stand-in that records what reaches it.
struct FakeDesigner {
    std::vector<std::string> browser;
    std::vector<std::string> boxes;
    std::vector<float> progress;
    int freezes = 0;

    void connect() {
        DesignerOutput out;
        out.message_box = [this](const char *t) { boxes.push_back(t); };
        out.browser_add_line = [this](const char *t) { browser.push_back(t); };
        out.browser_line_count = [this] { return static_cast<int>(browser.size()); };
        out.browser_delete_first_line = [this] { browser.erase(browser.begin()); };
        out.freeze_form = [this] { ++freezes; };
        out.unfreeze_form = [] {};
        out.set_progress = [this](float f) { progress.push_back(f); };
        designer_connect(out);
    }
};

class Status : public testing::Test {
protected:
    void SetUp() override {
        reset_globals();
        status_reset();
        progress_assume_terminal(true);  // the percentages as a terminal shows them
        display_settings_create();
        env.set("TEMP", dir.path());
        open_message_file();
        SAA_statusBarSet("", 1);
    }
    void TearDown() override {
        designer_disconnect();
        close_message_file();
        display_settings_free();
        reset_globals();
    }
    std::string message_file() { return test::read_file(dir.path() + "/fur_message"); }

    test::TempDir dir;
    test::ScopedEnv env;
};

TEST_F(Status, LevelsPrefixTheFormattedText) {
    run_state().batch = 1;
    CaptureStderr();
    status_message(0, "bad %d", 1);
    status_message(1, "odd %s", "thing");
    status_message(2, "plain");
    status_message(3, "sub");
    status_message(4, "dbg");
    status_message(5, "box");
    EXPECT_EQ(GetCapturedStderr(),
              "ERROR: bad 1\nWARNING: odd thing\nplain\n    sub\nDEBUG: dbg\nbox\n");
    EXPECT_EQ(message_file(), "ERROR: bad 1\nWARNING: odd thing\nplain\n    sub\nDEBUG: dbg\nbox\n");
}

TEST_F(Status, BatchLinesReachStderrButPlainLinesOnlyTheFile) {
    run_state().run_mode = kRunModeStandAlone;
    run_state().batch = 1;
    CaptureStderr();
    status_message(2, "Building hairs on: %s", "ball");
    status_line("just a line");
    EXPECT_EQ(GetCapturedStderr(), "Building hairs on: ball\n");
    EXPECT_EQ(message_file(), "Building hairs on: ball\njust a line\n");
    EXPECT_EQ(status_bar(), "");
}

TEST_F(Status, HostModesUseTheStatusBar) {
    run_state().run_mode = kRunModeInternal;
    status_message(2, "internal %d", 7);
    EXPECT_EQ(status_bar(), "internal 7");
    status_line("plain internal");  // not the persistent mode: no status bar
    EXPECT_EQ(status_bar(), "internal 7");
    run_state().run_mode = kRunModePersistent;
    status_line("Update Persistent");
    EXPECT_EQ(status_bar(), "Update Persistent");
    EXPECT_EQ(message_file(), "internal 7\nplain internal\nUpdate Persistent\n");
}

TEST_F(Status, DesignerTargets) {
    run_state().run_mode = kRunModeStandAlone;
    FakeDesigner designer;
    designer.connect();
    status_message(2, "to browser");
    status_message(4, "debug stays out");
    status_message(5, "Really?");
    EXPECT_EQ(designer.browser, (std::vector<std::string>{"to browser"}));
    EXPECT_EQ(designer.boxes, (std::vector<std::string>{"Really?"}));
    EXPECT_EQ(message_file(), "to browser\nDEBUG: debug stays out\n");
}

TEST_F(Status, DesignerBrowserKeepsSixLines) {
    FakeDesigner designer;
    designer.connect();
    for (int i = 0; i < 9; ++i) status_line(("line " + std::to_string(i)).c_str());
    ASSERT_EQ(designer.browser.size(), 6u);
    EXPECT_EQ(designer.browser.front(), "line 3");
    EXPECT_EQ(designer.browser.back(), "line 8");
    EXPECT_EQ(designer.freezes, 3);
}

TEST_F(Status, ErrorsBeepAtMostOncePer250ms) {
    FakeDesigner designer;
    designer.connect();
    const long before = platform::beeps_requested();
    status_message(0, "one");
    status_error("two");
    status_warning("three");
    EXPECT_EQ(platform::beeps_requested() - before, 1);
    EXPECT_EQ(designer.browser,
              (std::vector<std::string>{"ERROR: one", "ERROR: two", "WARNING: three"}));
}

TEST_F(Status, LongTextsAreTruncated) {
    run_state().batch = 1;
    const std::string huge(5000, 'a');
    CaptureStderr();
    status_message(1, "%s", huge.c_str());
    const std::string out = GetCapturedStderr();
    EXPECT_EQ(out, "WARNING: " + std::string(1023 - 9, 'a') + "\n");
    status_line(huge.c_str());
    status_line(huge.c_str());  // still a repeat after truncation
    status_error(huge.c_str());
    const std::string file = message_file();
    EXPECT_EQ(file, "WARNING: " + std::string(1014, 'a') + "\n" + std::string(499, 'a') + "\n" +
                        "ERROR: " + std::string(492, 'a') + "\n");
}

TEST_F(Status, ProgressReportsAboutThirtyThreeTimes) {
    progress_weights(1.0f, 0.0f, 0.0f);
    progress_stage(1, 100);
    CaptureStderr();
    for (int i = 0; i < 100; ++i) progress_step(i);
    progress_done();
    const std::string out = GetCapturedStderr();
    // Float arithmetic as the reports always had it: step 10 of 100 shows 9%.
    EXPECT_EQ(out.substr(0, 12), "1%\r4%\r7%\r9%\r");
    size_t reports = 0;
    for (char c : out) reports += c == '\r';
    EXPECT_EQ(reports, 34u);
    EXPECT_EQ(out.substr(out.size() - 5), "100%\r");
}

TEST_F(Status, ProgressIsSilentInPersistentModeAndUsesTheSlider) {
    run_state().run_mode = kRunModePersistent;
    progress_weights(1.0f, 0.0f, 0.0f);
    progress_stage(1, 10);
    CaptureStderr();
    progress_step(5);
    progress_done();
    EXPECT_EQ(GetCapturedStderr(), "");
    run_state().run_mode = kRunModeStandAlone;
    FakeDesigner designer;
    designer.connect();
    progress_weights(1.0f, 0.0f, 0.0f);
    progress_stage(1, 10);
    progress_step(5);
    progress_done();
    ASSERT_EQ(designer.progress.size(), 3u);
    EXPECT_FLOAT_EQ(designer.progress[1], 0.5f);
    EXPECT_FLOAT_EQ(designer.progress[2], 0.0f);
}

TEST_F(Status, RepeatedPlainLinesAreWrittenOnce) {
    status_line("same");
    status_line("same");
    status_line("other");
    status_line("same");
    EXPECT_EQ(message_file(), "same\nother\nsame\n");
}

TEST_F(Status, NoBeepWithoutDesignerOrWhenSwitchedOff) {
    const long before = platform::beeps_requested();
    status_message(0, "no designer");
    FakeDesigner designer;
    designer.connect();
    display_settings()->beep_on_error = 0;
    status_error("switched off");
    status_message(2, "plain");
    EXPECT_EQ(platform::beeps_requested(), before);
}

TEST_F(Status, AlwaysAndDebugFollowTheDebugLevel) {
    status_always("quiet");
    status_debug("hidden");
    display_settings()->debug_level = 2;
    status_always("more");
    status_always("more");
    status_debug("still hidden");
    display_settings()->debug_level = 3;
    status_debug("shown");
    EXPECT_EQ(message_file(), "more\nmore\nshown\n");
}

TEST_F(Status, ProgressWithoutStepsOrWeightIsHarmless) {
    progress_weights(0.0f, 0.0f, 0.0f);
    progress_stage(1, 0);
    progress_stage(4, 10);
    CaptureStderr();
    progress_step(1);
    progress_step(2);
    EXPECT_EQ(GetCapturedStderr(), "0%\r0%\r");
}

}  // namespace
}  // namespace vellimor
