// The toolkit on a real X server (Xvfb), driven by XTest pointer and key events as a person
// would: the demo form's classes, the choice pop-up, the dialogs and the file selector.
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

TEST_F(FormsWindowed, DemoFormAnswersThePointerAndTheKeyboard) {
    DemoForm demo = make_demo_form();
    show_at(demo.form, 40, 40);


    // Slider: drag the knob most of the way right; its callback moves the progress bar too.
    fm_set_slider_value(demo.slider, 0);
    ScreenPoint from = on_screen(driver_, demo.slider, 0.05f), to = on_screen(driver_, demo.slider, 0.8f);
    driver_.drag(from.x, from.y, to.x, to.y);
    EXPECT_TRUE(pump_until([&] { return fm_get_slider_value(demo.slider) > 70; }));
    EXPECT_LT(fm_get_slider_value(demo.slider), 90);
    EXPECT_GT(demo_calls(demo.slider), 1);
    EXPECT_NEAR(fm_get_slider_value(demo.progress), fm_get_slider_value(demo.slider) / 100, 1e-5);

    // Vertical value slider: a click near the top.
    ScreenPoint top = on_screen(driver_, demo.vslider, 0.5f, 0.97f);
    driver_.click(top.x, top.y);
    EXPECT_TRUE(pump_until([&] { return fm_get_slider_value(demo.vslider) > 9; }));
    EXPECT_GE(demo_calls(demo.vslider), 1);

    // Positioner: drag the cross-hair into the lower-right corner.
    ScreenPoint p0 = on_screen(driver_, demo.positioner), p1 = on_screen(driver_, demo.positioner, 0.99f, 0.01f);
    driver_.drag(p0.x, p0.y, p1.x, p1.y);
    EXPECT_TRUE(pump_until([&] {
        return fm_get_positioner_xvalue(demo.positioner) > 0.9f && fm_get_positioner_yvalue(demo.positioner) < -0.9f;
    }));
    EXPECT_GT(demo_calls(demo.positioner), 1);

    // Counter: the outer right arrow steps by 10, the inner left one by 1.
    ScreenPoint large_up = on_screen(driver_, demo.counter, 0.97f), small_down = on_screen(driver_, demo.counter, 0.2f);
    driver_.click(large_up.x, large_up.y);
    EXPECT_TRUE(pump_until([&] { return fm_get_counter_value(demo.counter) == 20; }));
    driver_.click(small_down.x, small_down.y);
    EXPECT_TRUE(pump_until([&] { return fm_get_counter_value(demo.counter) == 19; }));
    EXPECT_EQ(demo_calls(demo.counter), 2);

    // Browser: click the third line, then page down with the scrollbar.
    float line = fm_browser_line_height(kFmDefaultLabelSize);
    float third = 1 - (kFmBrowserTopMargin + 2.5f * line) / demo.browser->h;
    ScreenPoint line3 = on_screen(driver_, demo.browser, 0.3f, third);
    driver_.click(line3.x, line3.y);
    EXPECT_TRUE(pump_until([&] { return fm_get_browser(demo.browser) == 3; }));
    EXPECT_EQ(demo_calls(demo.browser), 1);
    ScreenPoint below_thumb = on_screen(driver_, demo.browser, 0.97f, 0.05f);
    driver_.click(below_thumb.x, below_thumb.y);
    EXPECT_TRUE(pump_until([&] { return fm_get_browser_topline(demo.browser) > 1; }));

    // Buttons: a plain click calls back once; a radio button releases the others of its group.
    ScreenPoint button = on_screen(driver_, demo.button);
    driver_.click(button.x, button.y);
    EXPECT_TRUE(pump_until([&] { return demo_calls(demo.button) == 1; }));
    EXPECT_EQ(fm_get_button(demo.button), 0);
    ScreenPoint green = on_screen(driver_, demo.radio[1], 0.2f);
    driver_.click(green.x, green.y);
    EXPECT_TRUE(pump_until([&] { return fm_get_button(demo.radio[1]) == 1; }));
    EXPECT_EQ(fm_get_button(demo.radio[0]), 0);
    ScreenPoint toggle = on_screen(driver_, demo.toggle);
    driver_.click(toggle.x, toggle.y);
    EXPECT_TRUE(pump_until([&] { return fm_get_button(demo.toggle) == 0; }));

    // Input: click after the text, type, and Return reports the change.
    ScreenPoint field_end = on_screen(driver_, demo.input, 0.95f);
    driver_.focus(native_window(demo.form));
    driver_.click(field_end.x, field_end.y);
    pump_for(50);
    driver_.type(" World");
    driver_.key("BackSpace");
    driver_.type("d\r");
    EXPECT_TRUE(pump_until([&] { return demo_calls(demo.input) == 1; }));
    EXPECT_STREQ(fm_get_input(demo.input), "hello World");

    // Free object: its handler sees the press.
    int presses = demo_free_presses();
    ScreenPoint area = on_screen(driver_, demo.free_area, 0.3f, 0.6f);
    driver_.click(area.x, area.y);
    EXPECT_TRUE(pump_until([&] { return demo_free_presses() == presses + 1; }));

    // Timer: expires once.
    fm_set_timer(demo.timer, 0.05f);
    EXPECT_TRUE(pump_until([&] { return demo_calls(demo.timer) == 1; }));

    // Choice: the pop-up opens below the choice; the third entry is picked by a click on it.
    ScreenPoint corner = on_screen(driver_, demo.choice, 0.0f, 0.0f);
    ScreenPoint entry3{corner.x + 20,
                       corner.y + 1 + static_cast<int>(kFmPopupMargin + 2.5f * kFmPopupLineHeight)};
    int windows_before = driver_.mapped_toplevel_count();
    std::thread picker([&] {
        XDriver x;
        if (wait_for([&] { return x.mapped_toplevel_count() > windows_before; })) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            x.move(entry3.x, entry3.y);
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            x.click(entry3.x, entry3.y);
        }
    });
    ScreenPoint choice = on_screen(driver_, demo.choice);
    driver_.click(choice.x, choice.y);
    bool picked = pump_until([&] { return fm_get_choice(demo.choice) == 3; });
    picker.join();
    EXPECT_TRUE(picked);
    EXPECT_STREQ(fm_get_choice_text(demo.choice), "Textured");
    EXPECT_EQ(demo_calls(demo.choice), 1);
    EXPECT_EQ(fm_shown_form_count(), 1);  // the pop-up is gone
    pump_for(100);
    EXPECT_TRUE(shows_demo_background(driver_.grab(native_window(demo.form)))) << "after the pop-up";

    fm_hide_form(demo.form);
    fm_free_form(demo.form);
}

TEST_F(FormsWindowed, QuestionBoxReturnsTheClickedAnswer) {
    int windows_before = driver_.mapped_toplevel_count();
    std::thread answerer([&] {
        XDriver x;
        if (!wait_for([&] { return x.mapped_toplevel_count() > windows_before; })) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        // The dialog is centred: 400 x 138 with three answers of 100 spaced evenly.
        int left = (1280 - 400) / 2, top = (1024 - 138) / 2;
        x.click(left + 25 + 2 * 125 + 50, top + 138 - 14 - 15);
    });
    int answer = fm_show_choice("Exit program?", "", "", 3, "Exit", "Continue", "Save+Exit");
    answerer.join();
    EXPECT_EQ(answer, 3);
    EXPECT_EQ(fm_shown_form_count(), 0);
}

TEST_F(FormsWindowed, FileSelectorWalksADirectoryAndReturnsAFile) {
    namespace fs = std::filesystem;
    fs::path dir = fs::temp_directory_path() / ("forms_select_" + std::to_string(::getpid()));
    fs::create_directories(dir / "sub");
    for (const char *name : {"a.pic", "b.pic", "notes.txt"}) std::ofstream(dir / "sub" / name) << "x";
    fs::path cwd = fs::current_path();

    int windows_before = driver_.mapped_toplevel_count();
    float line = fm_browser_line_height(kFmDefaultLabelSize);
    std::thread chooser([&] {
        XDriver x;
        if (!wait_for([&] { return x.mapped_toplevel_count() > windows_before; })) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        int left = static_cast<int>((1280 - kFmFileSelectorWidth) / 2);
        int top = static_cast<int>((1024 - kFmFileSelectorHeight) / 2);
        int list_top = top + static_cast<int>(kFmFileSelectorHeight - (kFmFileListY + kFmFileListH));
        auto line_y = [&](int n) { return list_top + static_cast<int>(kFmBrowserTopMargin + (n - 0.5f) * line); };
        int list_x = left + static_cast<int>(kFmFileListX) + 60;
        x.click(list_x, line_y(2));  // "D sub"
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
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
    for (const FmObject *obj : {layout.button, layout.toggle, layout.radio[2], layout.counter, layout.browser}) {
        ScreenPoint p = screen(obj, 0.7f);
        driver_.click(p.x, p.y);
    }
    ScreenPoint s0 = screen(layout.slider, 0.2f), s1 = screen(layout.slider, 0.6f);
    driver_.drag(s0.x, s0.y, s1.x, s1.y);
    ScreenPoint p0 = screen(layout.positioner), p1 = screen(layout.positioner, 0.8f, 0.8f);
    driver_.drag(p0.x, p0.y, p1.x, p1.y, 3);
    ScreenPoint field = screen(layout.input, 0.9f);
    driver_.click(field.x, field.y);
    driver_.type("abc\t");
    driver_.key("Down");
    shows_whole_form("after clicks, drags and keys");
    // Dialogs over it come and go: "Continue" in the question box, "Cancel" in the file selector.
    auto dialog_shown = [&] { return driver_.topmost_toplevel() != window; };
    ScreenPoint question = screen(layout.question_button);
    driver_.click(question.x, question.y);
    EXPECT_TRUE(wait_for(dialog_shown)) << "the question box";
    sleep_ms(300);
    driver_.click((1280 - 400) / 2 + 200, (1024 - 138) / 2 + 138 - 1 - 29);
    sleep_ms(300);
    ScreenPoint file = screen(layout.file_button);
    driver_.click(file.x, file.y);
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
