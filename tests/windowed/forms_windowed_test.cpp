// The toolkit on a real X server (Xvfb), driven by XTest pointer and key events as a person
// would: the file selector, and the demo program run on its own.
#include "forms/demo_form.h"
#include "forms_windowed_support.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <thread>

namespace vellimor {
namespace {

using namespace test;

TEST_F(FormsWindowed, FileSelectorWalksADirectoryAndReturnsAFile) {
    namespace fs = std::filesystem;
    fs::path dir = fs::temp_directory_path() / ("forms_select_" + std::to_string(::getpid()));
    fs::create_directories(dir / "sub");
    for (const char *name : {"a.pic", "b.pic", "notes.txt"}) std::ofstream(dir / "sub" / name) << "x";
    fs::path cwd = fs::current_path();

    float line = fm_browser_line_height(kFmDefaultLabelSize);
    std::thread chooser = on_next_window(driver_, [&](XDriver &x) {
        int left = static_cast<int>((1280 - kFmFileSelectorWidth) / 2);
        int top = static_cast<int>((1024 - kFmFileSelectorHeight) / 2);
        int list_top = top + static_cast<int>(kFmFileSelectorHeight - (kFmFileListY + kFmFileListH));
        auto line_y = [&](int n) { return list_top + static_cast<int>(kFmBrowserTopMargin + (n - 0.5f) * line); };
        int list_x = left + static_cast<int>(kFmFileListX) + 60;
        x.click(list_x, line_y(2));  // "D sub"
        sleep_ms(300);
        x.click(list_x, line_y(3));  // "b.pic", twice in quick succession
        x.click(list_x, line_y(3));
    });
    auto chosen = fm_show_file_selector("Open picture", dir.c_str(), "*.pic", "");
    chooser.join();
    ASSERT_TRUE(chosen);
    EXPECT_EQ(fs::path(*chosen), fs::weakly_canonical(dir / "sub" / "b.pic"));
    EXPECT_EQ(fs::current_path(), cwd);  // the current directory is given back
    EXPECT_EQ(fm_shown_form_count(), 0);
    fs::remove_all(dir);
}

TEST_F(FormsWindowed, DemoProgramShowsItsFormAndQuits) {
    const char *build_dir = std::getenv("VELLIMOR_BUILD_DIR");
    ASSERT_NE(build_dir, nullptr);
    std::string program = std::string(build_dir) + "/bin/forms-demo";
    int windows_before = driver_.mapped_toplevel_count();
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The GL driver's own allocations are not the demo's to report.
        setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
        execl(program.c_str(), "forms-demo", static_cast<char *>(nullptr));
        _exit(127);
    }
    bool shown = wait_for([&] { return driver_.mapped_toplevel_count() > windows_before; });
    EXPECT_TRUE(shown);
    // The demo form is centred; the same layout made here tells where its objects are.
    DemoForm layout = make_demo_form();
    int left = static_cast<int>((1280 - kDemoWidth) / 2), top = static_cast<int>((1024 - kDemoHeight) / 2);
    auto screen = [&](const FmObject *obj, float fx = 0.5f, float fy = 0.5f) {
        return ScreenPoint{left + static_cast<int>(obj->x + obj->w * fx),
                           top + static_cast<int>(kDemoHeight - 1 - (obj->y + obj->h * fy))};
    };
    auto click = [&](const FmObject *obj, float fx = 0.5f) {
        const ScreenPoint p = screen(obj, fx);
        driver_.click(p.x, p.y);
    };
    // Left alone for 2 s with its timer counting, it still shows its whole form.
    sleep_ms(2000);
    unsigned long window = driver_.topmost_toplevel();
    // The program runs on its own: a busy machine may take a moment to bring it up to date.
    auto shows_whole_form = [&](const char *when) {
        Snapshot shot;
        wait_for([&] { return shows_demo_background(shot = driver_.grab(window)); });
        EXPECT_TRUE(shows_demo_background(shot)) << when;
        auto inner = [](const FmObject *obj) {
            return FmRect{obj->x + 4, obj->y + 4, obj->w - 8, obj->h - 8};
        };
        EXPECT_GT(dark_pixels(shot, kDemoHeight, inner(layout.quit_button)), 20) << "the Quit label " << when;
        EXPECT_GT(pixels_of(shot, kDemoHeight, inner(layout.progress), map_color(FM_SELECT_COL)), 100)
            << "the progress bar " << when;
        EXPECT_GT(pixels_of(shot, kDemoHeight, inner(layout.slider), map_color(FM_TOP_BCOL)), 10)
            << "the slider's knob " << when;
        EXPECT_GT(pixels_of(shot, kDemoHeight, inner(layout.browser), map_color(FM_FIELD_COL)), 5000)
            << "the browser " << when;
        EXPECT_GT(dark_pixels(shot, kDemoHeight, inner(layout.browser)), 200) << "the browser's lines " << when;
        return shot;
    };
    shows_whole_form("after 2 s");
    // Driven by clicks, drags and keys, it still does.
    driver_.focus(window);
    for (const FmObject *obj : {layout.button, layout.toggle, layout.radio[2], layout.counter, layout.browser})
        click(obj, 0.7f);
    ScreenPoint s0 = screen(layout.slider, 0.2f), s1 = screen(layout.slider, 0.6f);
    driver_.drag(s0.x, s0.y, s1.x, s1.y);
    ScreenPoint p0 = screen(layout.positioner), p1 = screen(layout.positioner, 0.8f, 0.8f);
    driver_.drag(p0.x, p0.y, p1.x, p1.y, 3);
    click(layout.input, 0.9f);
    driver_.type("abc\t");
    driver_.key("Down");
    shows_whole_form("after clicks, drags and keys");
    // Dialogs over it come and go: "Continue" in the question box, "Cancel" in the file selector.
    auto dialog_shown = [&] { return driver_.topmost_toplevel() != window; };
    click(layout.question_button);
    EXPECT_TRUE(wait_for(dialog_shown)) << "the question box";
    sleep_ms(300);
    driver_.click((1280 - 400) / 2 + 200, (1024 - 138) / 2 + 138 - 1 - 29);
    sleep_ms(300);
    click(layout.file_button);
    EXPECT_TRUE(wait_for(dialog_shown)) << "the file selector";
    sleep_ms(300);
    driver_.click(static_cast<int>((1280 + kFmFileSelectorWidth) / 2 - 120 + 53),
                  static_cast<int>((1024 + kFmFileSelectorHeight) / 2 - 1 - 30));
    sleep_ms(500);
    EXPECT_EQ(driver_.topmost_toplevel(), window) << "the dialogs are gone";
    shows_whole_form("after dialogs over it");
    // "Quit" ends the program.
    ScreenPoint quit = screen(layout.quit_button);
    fm_free_form(layout.form);
    driver_.click(quit.x, quit.y);
    int status = -1;
    bool ended = wait_for([&] { return waitpid(child, &status, WNOHANG) == child; });
    if (!ended) {
        kill(child, SIGKILL);
        waitpid(child, &status, 0);
    }
    EXPECT_TRUE(ended);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

}  // namespace
}  // namespace vellimor
