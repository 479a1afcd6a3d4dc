#include "host/status.h"

#include "support/test_prelude.h"

#include <chrono>
#include <thread>

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

// Where each kind of line goes: prefixed by its level to stderr in batch and to the message file
// (plain lines and repeats once), to the host's status bar in its modes, and by the debug level.
TEST_F(Status, LinesGoWhereTheirLevelAndTheRunModeSay) {
    run_state().batch = 1;
    CaptureStderr();
    status_message(0, "bad %d", 1);
    status_message(1, "odd %s", "thing");
    status_message(2, "plain");
    status_message(3, "sub");
    status_message(4, "dbg");
    status_message(5, "box");
    status_line("just a line");
    for (const char *line : {"same", "same", "other", "same"}) status_line(line);
    const std::string levels = "ERROR: bad 1\nWARNING: odd thing\nplain\n    sub\nDEBUG: dbg\nbox\n";
    EXPECT_EQ(GetCapturedStderr(), levels);
    EXPECT_EQ(message_file(), levels + "just a line\nsame\nother\nsame\n");
    EXPECT_EQ(status_bar(), "");

    open_message_file();
    run_state().batch = 0;
    run_state().run_mode = kRunModeInternal;
    status_message(2, "internal %d", 7);
    EXPECT_EQ(status_bar(), "internal 7");
    status_line("plain internal");  // not the persistent mode: no status bar
    EXPECT_EQ(status_bar(), "internal 7");
    run_state().run_mode = kRunModePersistent;
    status_line("Update Persistent");
    EXPECT_EQ(status_bar(), "Update Persistent");
    run_state().run_mode = kRunModeStandAlone;
    status_always("quiet");
    status_debug("hidden");
    display_settings()->debug_level = 2;
    status_always("more");
    status_always("more");
    status_debug("still hidden");
    display_settings()->debug_level = 3;
    status_debug("shown");
    EXPECT_EQ(message_file(), "internal 7\nplain internal\nUpdate Persistent\nmore\nmore\nshown\n");
}

// The designer gets the lines in its browser (six at most, the form frozen meanwhile), message
// boxes, and a beep at most once per 250 ms, none when switched off or without a designer.
TEST_F(Status, TheDesignerShowsLinesBoxesAndBeeps) {
    long before = platform::beeps_requested();
    status_message(0, "no designer");
    EXPECT_EQ(platform::beeps_requested(), before);
    run_state().run_mode = kRunModeStandAlone;
    FakeDesigner designer;
    designer.connect();
    status_message(2, "to browser");
    status_message(4, "debug stays out");
    status_message(5, "Really?");
    EXPECT_EQ(designer.browser, (std::vector<std::string>{"to browser"}));
    EXPECT_EQ(designer.boxes, (std::vector<std::string>{"Really?"}));
    EXPECT_EQ(message_file(), "ERROR: no designer\nto browser\nDEBUG: debug stays out\n");
    status_message(0, "one");
    status_error("two");
    status_warning("three");
    EXPECT_EQ(platform::beeps_requested() - before, 1);
    EXPECT_EQ(std::vector<std::string>(designer.browser.end() - 3, designer.browser.end()),
              (std::vector<std::string>{"ERROR: one", "ERROR: two", "WARNING: three"}));
    for (int i = 0; i < 9; ++i) status_line(("line " + std::to_string(i)).c_str());
    ASSERT_EQ(designer.browser.size(), 6u);
    EXPECT_EQ(designer.browser.front(), "line 3");
    EXPECT_EQ(designer.browser.back(), "line 8");
    EXPECT_EQ(designer.freezes, 7);  // one a line taken out
    display_settings()->beep_on_error = 0;
    before = platform::beeps_requested();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // beyond the beeps' interval
    status_error("switched off");
    EXPECT_EQ(platform::beeps_requested(), before);
}

TEST_F(Status, LongTextsAreTruncated) {
    run_state().batch = 1;
    const std::string huge(5000, 'a');
    CaptureStderr();
    status_message(1, "%s", huge.c_str());
    EXPECT_EQ(GetCapturedStderr(), "WARNING: " + std::string(1023 - 9, 'a') + "\n");
    status_line(huge.c_str());
    status_line(huge.c_str());  // still a repeat after truncation
    status_error(huge.c_str());
    EXPECT_EQ(message_file(), "WARNING: " + std::string(1014, 'a') + "\n" + std::string(499, 'a') + "\n" + "ERROR: " +
                                  std::string(492, 'a') + "\n");
}

// Progress on a terminal about thirty-three times, silent in the persistent mode, on the
// designer's slider, and harmless without steps or weight.
TEST_F(Status, ProgressReportsWhereItCan) {
    progress_weights(1.0f, 0.0f, 0.0f);
    progress_stage(1, 100);
    CaptureStderr();
    for (int i = 0; i < 100; ++i) progress_step(i);
    progress_done();
    const std::string out = GetCapturedStderr();
    // Float arithmetic as the reports always had it: step 10 of 100 shows 9%.
    EXPECT_EQ(out.substr(0, 12), "1%\r4%\r7%\r9%\r");
    EXPECT_EQ(std::count(out.begin(), out.end(), '\r'), 34);
    EXPECT_EQ(out.substr(out.size() - 5), "100%\r");

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
    designer_disconnect();

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
