// What the windows show: after timer ticks, drags, typing, presses and held dialog buttons the
// window still shows the whole form, and the changed object its new state. Read back from the X
// server as a person would see it.
#include "forms/demo_form.h"
#include "forms_windowed_support.h"

#include <GL/freeglut.h>
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <optional>
#include <thread>

namespace vellimor {
namespace {

using namespace test;

// The first column between x0 and x1 (form units) of row y that shows the colour; -1 if none.
int first_column(const Snapshot &shot, float form_h, float y, float x0, float x1, Rgb color) {
    for (int x = static_cast<int>(std::ceil(x0)); x <= x1; ++x)
        if (same_color(form_pixel(shot, form_h, static_cast<float>(x), y), color)) return x;
    return -1;
}

// An inset part of an object's rectangle, as fractions of it.
FmRect part(const FmObject *obj, float fx0, float fy0, float fx1, float fy1) {
    return {obj->x + obj->w * fx0, obj->y + obj->h * fy0, obj->w * (fx1 - fx0), obj->h * (fy1 - fy0)};
}

// Every pixel of the rectangle shows the colour.
::testing::AssertionResult filled_with(const Snapshot &shot, float form_h, FmRect r, int color) {
    int n = pixels_of(shot, form_h, r, map_color(color));
    if (n == pixel_count(r)) return ::testing::AssertionSuccess();
    Rgb c = form_pixel(shot, form_h, r.x + r.w / 2, r.y + r.h / 2);
    return ::testing::AssertionFailure() << n << " of " << pixel_count(r) << " pixels at (" << r.x << ", " << r.y
                                         << ") have colour " << color << "; the centre shows (" << c.r << ", "
                                         << c.g << ", " << c.b << ")";
}

// The demo form driven by pointer and keys (the classes' value rules are checked without a
// display); after each change the window still shows the whole form, and the object its new state.
TEST_F(FormsWindowed, DemoFormAnswersThePointerAndKeysAndShowsTheWholeFormAfterEveryChange) {
    DemoForm demo = make_demo_form();
    FormGuard guard{demo.form};
    show_at(demo.form, 40, 40);
    const float h = demo.form->h;
    Snapshot shot = look(demo.form);
    EXPECT_TRUE(shows_demo_background(shot)) << "when shown";
    EXPECT_GT(dark_pixels(shot, h, part(demo.quit_button, 0.2f, 0.2f, 0.8f, 0.8f)), 20) << "the Quit label";

    // Timer: a value timer redraws its count every tenth of a second, expires once, then shows it ran out.
    fm_set_timer(demo.timer, 0.35f);
    pump_for(150);
    EXPECT_TRUE(shows_demo_background(look(demo.form))) << "while the timer counts";
    ASSERT_TRUE(pump_until([&] { return demo_calls(demo.timer) == 1; }));
    pump_for(50);
    shot = look(demo.form);
    EXPECT_TRUE(shows_demo_background(shot)) << "after the timer ran out";
    EXPECT_TRUE(filled_with(shot, h, part(demo.timer, 0.05f, 0.15f, 0.2f, 0.85f), FM_RED)) << "the run-out timer";
    EXPECT_EQ(demo_calls(demo.timer), 1);

    // Slider drag: the knob follows the pointer, its callback moves the progress bar too.
    fm_set_slider_value(demo.slider, 0);
    drag_on(demo.slider, 0.05f, 0.5f, 0.8f, 0.5f);
    ASSERT_TRUE(pump_until([&] { return fm_get_slider_value(demo.slider) > 70; }));
    EXPECT_LT(fm_get_slider_value(demo.slider), 90);
    EXPECT_GT(demo_calls(demo.slider), 1);
    EXPECT_NEAR(fm_get_slider_value(demo.progress), fm_get_slider_value(demo.slider) / 100, 1e-5);
    pump_for(50);
    shot = look(demo.form);
    EXPECT_TRUE(shows_demo_background(shot)) << "after a slider drag";
    float t = fm_get_slider_value(demo.slider) / 100;
    const FmObject *s = demo.slider;
    float travel = s->w - 2 * kFmBevel, knob = 0.12f * travel;
    int knob_left = first_column(shot, h, s->y + s->h / 2, s->x + kFmBevel, s->x + s->w - 2 * kFmBevel,
                                 map_color(FM_TOP_BCOL));
    EXPECT_NEAR(knob_left, s->x + kFmBevel + (travel - knob) * t, 2.0) << "the knob's left edge";
    const FmObject *p = demo.progress;
    float fill_end = p->x + kFmBevel + (p->w - 2 * kFmBevel) * t;
    EXPECT_TRUE(filled_with(shot, h, {fill_end - 20, p->y + 4, 16, p->h - 8}, FM_SELECT_COL)) << "progress filled";
    EXPECT_TRUE(filled_with(shot, h, {fill_end + 3, p->y + 4, 8, p->h - 8}, FM_COL1)) << "progress beyond";

    // Typing into an input: the new text shows in the field; Return reports the change.
    FmRect beyond_hello = part(demo.input, 0.33f, 0.2f, 0.95f, 0.8f);
    EXPECT_EQ(dark_pixels(look(demo.form), h, beyond_hello), 0);
    driver_.focus(native_window(demo.form));
    click_on(demo.input, 0.95f);
    driver_.type(" Worlx");
    ASSERT_TRUE(pump_until([&] { return std::strcmp(fm_get_input(demo.input), "hello Worlx") == 0; }));
    pump_for(50);
    shot = look(demo.form);
    EXPECT_TRUE(shows_demo_background(shot)) << "after typing";
    EXPECT_GT(dark_pixels(shot, h, beyond_hello), 20) << "the typed text";
    driver_.key("BackSpace");
    driver_.type("d\r");
    EXPECT_TRUE(pump_until([&] { return demo_calls(demo.input) == 1; }));
    EXPECT_STREQ(fm_get_input(demo.input), "hello World");

    // A button shows pushed while it is held and calls back once; a toggle's light goes out when
    // it is clicked.
    FmRect button_face = part(demo.button, 0.03f, 0.2f, 0.15f, 0.8f);
    EXPECT_TRUE(filled_with(look(demo.form), h, button_face, FM_COL1));
    ScreenPoint button = on_screen(driver_, demo.button);
    driver_.move(button.x, button.y);
    driver_.press(1);
    ASSERT_TRUE(pump_until([&] { return fm_get_button(demo.button) == 1; }));
    pump_for(50);
    shot = look(demo.form);
    driver_.release(1);
    EXPECT_TRUE(shows_demo_background(shot)) << "while a button is held";
    EXPECT_TRUE(filled_with(shot, h, button_face, FM_MCOL)) << "the held button";
    EXPECT_TRUE(pump_until([&] { return demo_calls(demo.button) == 1; }));
    EXPECT_EQ(fm_get_button(demo.button), 0);
    FmRect light{demo.toggle->x + 9, demo.toggle->y + 12, 6, 6};
    EXPECT_TRUE(filled_with(shot, h, light, FM_YELLOW)) << "the toggle's light, on";
    click_on(demo.toggle);
    ASSERT_TRUE(pump_until([&] { return fm_get_button(demo.toggle) == 0; }));
    pump_for(50);
    shot = look(demo.form);
    EXPECT_TRUE(shows_demo_background(shot)) << "after a toggle click";
    EXPECT_TRUE(filled_with(shot, h, light, FM_BOTTOM_BCOL)) << "the toggle's light, off";
    EXPECT_TRUE(filled_with(shot, h, button_face, FM_COL1)) << "the released button";

    // A press on a value slider's number box leaves its value; the free object's handler sees a press.
    int calls = demo_calls(demo.valslider), presses = demo_free_presses();
    click_on(demo.valslider, 0.1f);
    click_on(demo.free_area, 0.3f, 0.6f);
    EXPECT_TRUE(pump_until([&] { return demo_free_presses() == presses + 1; }));
    EXPECT_EQ(fm_get_slider_value(demo.valslider), 0.0f);
    EXPECT_EQ(demo_calls(demo.valslider), calls);
    EXPECT_TRUE(shows_demo_background(look(demo.form))) << "after presses on the number box and the area";

    // Choice: the pop-up opens below the choice; the third entry is picked by a click on it.
    ScreenPoint corner = on_screen(driver_, demo.choice, 0.0f, 0.0f);
    ScreenPoint entry3{corner.x + 20, corner.y + 1 + static_cast<int>(kFmPopupMargin + 2.5f * kFmPopupLineHeight)};
    std::thread picker = on_next_window(driver_, [&](XDriver &x) {
        x.move(entry3.x, entry3.y);
        sleep_ms(300);
        x.click(entry3.x, entry3.y);
    }, 100);
    click_on(demo.choice);
    bool picked = pump_until([&] { return fm_get_choice(demo.choice) == 3; });
    picker.join();
    EXPECT_TRUE(picked);
    EXPECT_STREQ(fm_get_choice_text(demo.choice), "Textured");
    EXPECT_EQ(demo_calls(demo.choice), 1);
    EXPECT_EQ(fm_shown_form_count(), 1);  // the pop-up is gone
    pump_for(100);
    EXPECT_TRUE(shows_demo_background(look(demo.form))) << "after the pop-up";
}

TEST_F(FormsWindowed, HeldQuestionButtonShowsPushedInAWholeDialog) {
    // The dialog is centred: 400 x 138, answers of 100 x 30 at x 25, 150 and 275, 14 up.
    constexpr float kW = 400, kH = 138;
    const int left = static_cast<int>((1280 - kW) / 2), top = static_cast<int>((1024 - kH) / 2);
    Snapshot held;
    std::thread answerer = on_next_window(driver_, [&](XDriver &x) {
        x.move(left + 200, top + static_cast<int>(kH - 1 - 29));  // "Continue"
        x.press(1);
        sleep_ms(300);
        held = x.grab(x.topmost_toplevel());
        x.release(1);
    });
    int answer = fm_show_choice("Exit program?", "", "", 3, "Exit", "Continue", "Save+Exit");
    answerer.join();
    EXPECT_EQ(answer, 2);
    ASSERT_FALSE(held.empty());
    for (FmRect spot : {FmRect{5, 48, 390, 7}, FmRect{129, 16, 18, 26}, FmRect{4, 60, 8, 60}, FmRect{389, 60, 8, 60}})
        EXPECT_TRUE(filled_with(held, kH, spot, FM_COL1)) << "dialog background at " << spot.x << ", " << spot.y;
    EXPECT_TRUE(filled_with(held, kH, {154, 18, 14, 22}, FM_MCOL)) << "the held button";
    EXPECT_TRUE(filled_with(held, kH, {29, 18, 14, 22}, FM_COL1)) << "the other buttons";
    EXPECT_GT(dark_pixels(held, kH, {14, 102, 372, 22}), 30) << "the question";
}

TEST_F(FormsWindowed, FileSelectorShowsTheTypedName) {
    constexpr float kW = kFmFileSelectorWidth, kH = kFmFileSelectorHeight;
    const int left = static_cast<int>((1280 - kW) / 2), top = static_cast<int>((1024 - kH) / 2);
    auto screen = [&](float fx, float fy) { return ScreenPoint{left + static_cast<int>(fx), top + static_cast<int>(kH - 1 - fy)}; };
    Snapshot typed;
    std::thread typist = on_next_window(driver_, [&](XDriver &x) {
        x.focus(x.topmost_toplevel());
        ScreenPoint name = screen(90 + 200, 72);
        x.click(name.x, name.y);
        x.type("typed.pic");
        sleep_ms(300);
        typed = x.grab(x.topmost_toplevel());
        ScreenPoint cancel = screen(kW - 120 + 53, 30);
        x.click(cancel.x, cancel.y);
    });
    auto chosen = fm_show_file_selector("Save picture", nullptr, "*.pic", "");
    typist.join();
    EXPECT_FALSE(chosen);
    ASSERT_FALSE(typed.empty());
    for (FmRect spot : {FmRect{14, 12, 200, 34}, FmRect{kW - 11, 110, 6, 250}})
        EXPECT_TRUE(filled_with(typed, kH, spot, FM_COL1)) << "selector background at " << spot.x << ", " << spot.y;
    EXPECT_GT(dark_pixels(typed, kH, {94, 64, 150, 16}), 30) << "the typed name";
    EXPECT_EQ(fm_shown_form_count(), 0);
}

// A drawing area that draws a depth-tested scene: a near red quad over the left two thirds,
// then a far green one over all of it. It also notes how it was asked to draw.
struct DepthArea {
    int draws = 0;
    bool last_redraw = false;
    std::vector<int> keys;
};
DepthArea g_area;

int handle_depth_area(FmObject *obj, int event, float, float, int key) {
    if (event == FM_KEYBOARD) g_area.keys.push_back(key);
    if (event != FM_DRAW) return 0;
    ++g_area.draws;
    g_area.last_redraw = obj->redraw;
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    auto quad = [&](float x1, float z) {
        glBegin(GL_QUADS);
        glVertex3f(obj->x, obj->y, z);
        glVertex3f(x1, obj->y, z);
        glVertex3f(x1, obj->y + obj->h, z);
        glVertex3f(obj->x, obj->y + obj->h, z);
        glEnd();
    };
    glColor3ub(255, 0, 0);
    quad(obj->x + obj->w * 2 / 3, 0.5f);  // near
    glColor3ub(0, 255, 0);
    quad(obj->x + obj->w, -0.5f);  // far
    return 0;
}

TEST_F(FormsWindowed, DrawingAreasGetADepthBufferAndKeysUnderThePointer) {
    constexpr float kW = 240, kH = 160;
    FmForm *form = fm_bgn_form(FM_UP_BOX, kW, kH);
    FmObject *area = fm_add_free(FM_INPUT_FREE, 20, 40, 150, 90, "", handle_depth_area);
    FmObject *button = fm_add_button(FM_PUSH_BUTTON, 180, 40, 50, 30, "B");
    fm_end_form();
    FormGuard guard{form};
    g_area = {};
    show_at(form, 700, 60);
    glutSetWindow(form->window);
    EXPECT_GT(glutGet(GLUT_WINDOW_DEPTH_SIZE), 0);

    Rgb red{255, 0, 0}, green{0, 255, 0};
    for (int round = 0; round < 3; ++round) {
        Snapshot shot = look(form);
        EXPECT_EQ(pixels_of(shot, kH, {30, 50, 70, 70}, red), pixel_count({30, 50, 70, 70})) << "near quad, round " << round;
        EXPECT_EQ(pixels_of(shot, kH, {125, 50, 40, 70}, green), pixel_count({125, 50, 40, 70})) << "far quad, round " << round;
        EXPECT_TRUE(filled_with(shot, kH, {4, 4, 230, 30}, FM_COL1)) << "background, round " << round;
        // Redraws of the area itself, then of another object: the depth starts afresh each time.
        int draws = g_area.draws;
        if (round == 0) {
            fm_redraw_object(area);
            ASSERT_TRUE(pump_until([&] { return g_area.draws > draws; }));
            EXPECT_TRUE(g_area.last_redraw) << "asked for itself";
        } else {
            fm_set_button(button, round % 2);
            ASSERT_TRUE(pump_until([&] { return g_area.draws > draws; }));
            EXPECT_FALSE(g_area.last_redraw) << "repainted for another object";
        }
        pump_for(30);
    }

    // Keys reach the area under the pointer without a click, as keyboard events.
    ScreenPoint inside = on_screen(driver_, area);
    driver_.focus(native_window(form));
    driver_.move(inside.x, inside.y);
    driver_.type("af");
    driver_.key("Left");
    EXPECT_TRUE(pump_until([&] { return g_area.keys.size() == 3; }));
    EXPECT_EQ(g_area.keys, (std::vector<int>{'a', 'f', FM_KEY_LEFT}));
}

// A drawing area that reports progress while it draws, as the graphics view does during a long
// drawing: it sets up its own viewport and projection, moves the progress bar, brings the window
// up to date, and then draws with the set-up it made.
struct ProgressArea {
    FmObject *progress = nullptr;
    float fraction = -1;  // reported while drawing when not negative
    int draws = 0;
};
ProgressArea g_progress;

int handle_progress_area(FmObject *obj, int event, float, float, int) {
    if (event != FM_DRAW) return 0;
    ++g_progress.draws;
    glViewport(static_cast<GLint>(obj->x), static_cast<GLint>(obj->y), static_cast<GLsizei>(obj->w),
               static_cast<GLsizei>(obj->h));
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, 1, 0, 1, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glColor3ub(255, 0, 0);
    if (g_progress.fraction >= 0) {
        fm_set_slider_value(g_progress.progress, g_progress.fraction);
        fm_flush_redraws();
    }
    glRectf(0.5f, 0, 1, 1);  // the right half of the area, in its own units
    return 0;
}

TEST_F(FormsWindowed, ProgressShowsAtOnceAlsoFromInsideADrawing) {
    constexpr float kW = 300, kH = 160;
    FmForm *form = fm_bgn_form(FM_UP_BOX, kW, kH);
    FmObject *bar = fm_add_slider(FM_HOR_FILL_SLIDER, 20, 120, 260, 16, "");
    FmObject *area = fm_add_free(FM_NORMAL_FREE, 20, 20, 200, 80, "", handle_progress_area);
    fm_end_form();
    FormGuard guard{form};
    g_progress = {bar, -1, 0};
    show_at(form, 700, 420);

    // A long computation that does not return to the loop shows its progress with a flush.
    fm_set_slider_value(bar, 0.8f);
    fm_flush_redraws();
    EXPECT_FALSE(fm_form_needs_redraw(form));
    Snapshot shot = look(form);
    EXPECT_TRUE(filled_with(shot, kH, part(bar, 0.6f, 0.3f, 0.75f, 0.7f), FM_SELECT_COL)) << "progress at 0.8";

    // From inside the area's drawing: the bar moves and the area still draws where it meant to.
    g_progress.fraction = 0.6f;
    fm_redraw_object(area);
    int draws = g_progress.draws;
    fm_flush_redraws();
    EXPECT_GT(g_progress.draws, draws);
    shot = look(form);
    EXPECT_TRUE(filled_with(shot, kH, part(bar, 0.4f, 0.3f, 0.55f, 0.7f), FM_SELECT_COL)) << "progress at 0.6";
    EXPECT_TRUE(filled_with(shot, kH, part(bar, 0.7f, 0.3f, 0.9f, 0.7f), FM_COL1)) << "progress beyond 0.6";
    EXPECT_EQ(pixels_of(shot, kH, part(area, 0.55f, 0.1f, 0.95f, 0.9f), {255, 0, 0}),
              pixel_count(part(area, 0.55f, 0.1f, 0.95f, 0.9f)))
        << "the area's own drawing after the nested redraw";
    EXPECT_TRUE(filled_with(shot, kH, {230, 20, 60, 80}, FM_COL1)) << "background beside the area";
    pump_for(50);
    EXPECT_TRUE(filled_with(look(form), kH, {230, 20, 60, 80}, FM_COL1)) << "background after the loop";
}

}  // namespace
}  // namespace vellimor
