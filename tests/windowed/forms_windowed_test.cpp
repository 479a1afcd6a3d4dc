// The toolkit on a real X server (Xvfb), driven by XTest pointer and key events as a person would,
// and read back from the X server as a person would see it: after timer ticks, drags, typing,
// presses and held dialog buttons the window still shows the whole form and the changed object its
// new state; the file selectors (the toolkit's and the texture selector); and the demo program
// run on its own.
#include <GL/freeglut.h>
#include <GL/gl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

#include "editor/texture_file_select.h"
#include "forms/demo_form.h"
#include "support/test_env.h"
#include "support/test_prelude.h"
#include "support/windowed.h"

namespace vellimor {
namespace {

using namespace test;
namespace fs = std::filesystem;

// A colour of the toolkit's colour map.
Rgb map_color(int index) {
    Rgb c;
    fm_getmcolor(index, &c.r, &c.g, &c.b);
    return c;
}

bool same_color(Rgb a, Rgb b, int tolerance = 6) {
    return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance && std::abs(a.b - b.b) <= tolerance;
}

// The pixel at a point in form units (origin lower left) of a window `form_h` units high.
Rgb form_pixel(const Snapshot &shot, float form_h, float x, float y) {
    return shot.at(static_cast<int>(std::lround(x)), static_cast<int>(std::lround(form_h - 1 - y)));
}

template <class Fn>
int count_pixels(const Snapshot &shot, float form_h, FmRect r, Fn fn) {
    int n = 0;
    for (int y = static_cast<int>(std::ceil(r.y)); y < r.y + r.h; ++y)
        for (int x = static_cast<int>(std::ceil(r.x)); x < r.x + r.w; ++x)
            if (fn(form_pixel(shot, form_h, static_cast<float>(x), static_cast<float>(y)))) ++n;
    return n;
}

// Pixels inside the rectangle (form units): the pixel centres it holds.
int pixel_count(FmRect r) {
    int n = 0;
    for (int y = static_cast<int>(std::ceil(r.y)); y < r.y + r.h; ++y)
        for (int x = static_cast<int>(std::ceil(r.x)); x < r.x + r.w; ++x) ++n;
    return n;
}

// Pixels inside the rectangle (form units) dark enough to be text.
int dark_pixels(const Snapshot &shot, float form_h, FmRect r) {
    return count_pixels(shot, form_h, r, [](Rgb c) { return c.r + c.g + c.b < 240; });
}

int pixels_of(const Snapshot &shot, float form_h, FmRect r, Rgb color) {
    return count_pixels(shot, form_h, r, [&](Rgb c) { return same_color(c, color); });
}

// Points of the demo form that no object covers: they show the form's background colour.
const std::vector<FmRect> &demo_background_spots() {
    static const std::vector<FmRect> spots = {
        {400, 90, 45, 60},   // between the shadow box and the drawing area
        {188, 100, 24, 40},  // between the browser and the shadow box
        {440, 475, 100, 30}, // left of "Quit"
        {642, 60, 12, 400},  // the right margin
        {20, 4, 150, 10},    // below the browser's label
    };
    return spots;
}

// Every background spot of the demo form shows the background colour; the failure names the
// first that does not.
::testing::AssertionResult shows_demo_background(const Snapshot &shot) {
    if (shot.empty()) return ::testing::AssertionFailure() << "the window could not be read";
    Rgb background = map_color(FM_COL1);
    for (const FmRect &r : demo_background_spots()) {
        int matching = pixels_of(shot, kDemoHeight, r, background);
        if (matching != pixel_count(r)) {
            Rgb c = form_pixel(shot, kDemoHeight, r.x + r.w / 2, r.y + r.h / 2);
            return ::testing::AssertionFailure()
                   << "background spot at (" << r.x << ", " << r.y << ") size " << r.w << " x " << r.h << ": only "
                   << matching << " of " << pixel_count(r) << " pixels show the background; its centre is (" << c.r << ", "
                   << c.g << ", " << c.b << ")";
        }
    }
    return ::testing::AssertionSuccess();
}

// Runs `act` on a connection of its own once a new top-level window is on the screen, while the
// calling thread waits in a modal dialog's loop.
std::thread on_next_window(XDriver &driver, std::function<void(XDriver &)> act, int settle_ms = 150) {
    const int windows_before = driver.mapped_toplevel_count();
    return std::thread([=] {
        XDriver x;
        if (!wait_for([&] { return x.mapped_toplevel_count() > windows_before; })) return;
        sleep_ms(settle_ms);
        act(x);
    });
}

// Frees a form made by a test (hiding it first) however the test ends.
struct FormGuard {
    FmForm *form;
    ~FormGuard() { fm_free_form(form); }
};

// Windowed tests need the display and a driver of their own.
class FormsWindowed : public ::testing::Test {
protected:
    void SetUp() override {
        fm_init();
        ASSERT_FALSE(fm_headless()) << "no X display";
        ASSERT_TRUE(driver_.ok());
    }
    // Shows the form at a screen position and waits until its window is on the screen.
    void show_at(FmForm *form, int x, int y) {
        fm_set_form_position(form, x, y);
        fm_show_form(form, FM_PLACE_POSITION, 1, "forms test");
        ASSERT_TRUE(pump_until([&] { return driver_.window_viewable(native_window(form)); }));
        pump_for(100);
    }
    // What the form's window shows now.
    Snapshot look(const FmForm *form) { return driver_.grab(native_window(form)); }
    // Pointer gestures at fractions of an object's rectangle.
    void click_on(const FmObject *obj, float fx = 0.5f, float fy = 0.5f) {
        const ScreenPoint p = on_screen(driver_, obj, fx, fy);
        driver_.click(p.x, p.y);
    }
    void drag_on(const FmObject *obj, float fx0, float fy0, float fx1, float fy1, int button = 1) {
        const ScreenPoint a = on_screen(driver_, obj, fx0, fy0), b = on_screen(driver_, obj, fx1, fy1);
        driver_.drag(a.x, a.y, b.x, b.y, button);
    }

    XDriver driver_;
};

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

TEST_F(FormsWindowed, FileSelectorWalksADirectoryAndReturnsAFile) {
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

// Clicks the given form positions of the selector once its window is up (on a driver thread).
std::thread click_in_selector(XDriver &driver, std::vector<std::pair<float, float>> clicks, float form_h) {
    return on_next_window(driver, [=](XDriver &x) {
        sleep_ms(150);
        int ox = 0, oy = 0;
        x.window_origin(x.topmost_toplevel(), &ox, &oy);
        for (const auto &[fx, fy] : clicks) {
            x.click(ox + int(fx), oy + int(form_h - 1 - fy));
            sleep_ms(150);
        }
    });
}

// A point of an object in form units, as fractions of its rectangle.
std::pair<float, float> centre(const FmObject *obj, float fx = 0.5f, float fy = 0.5f) {
    return {obj->x + obj->w * fx, obj->y + obj->h * fy};
}

// The editor's texture file selector: a file picked from the list with its texture options, and
// "Cancel", which gives nothing.
TEST(TextureFileSelector, AFileIsPickedWithItsOptionsAndCancelGivesNothing) {
    fm_init();
    ASSERT_FALSE(fm_headless());
    TempDir work;
    const fs::path dir = work.path();
    fs::create_directory(dir / "sub");
    std::ofstream(dir / "skin.1.pic") << "x";
    std::ofstream(dir / "notes.txt") << "x";
    const fs::path saved = fs::current_path();
    fs::current_path(dir);

    const TextureSelectorObjects objects = texture_file_selector_objects();
    ASSERT_TRUE(objects.form);
    const float h = objects.form->h;
    // Lines: "D ..", "D sub", then the one picture; the text file is not listed.
    const float line = fm_browser_line_height(kFmDefaultLabelSize);
    const float third = 1.0f - (kFmBrowserTopMargin + 2.5f * line) / objects.list->h;
    XDriver x;
    std::thread picker = click_in_selector(
        x, {centre(objects.use_sequence, 0.2f), centre(objects.list, 0.3f, third), centre(objects.ready)}, h);
    const auto chosen = texture_file_select("Open texture file", "*.pic", "");
    picker.join();
    ASSERT_TRUE(chosen);
    EXPECT_EQ(fs::path(*chosen), fs::canonical(dir) / "skin.1.pic");
    EXPECT_EQ(fm_get_browser_maxline(objects.list), 3);
    const PictureChoice options = texture_file_options();
    EXPECT_TRUE(options.use_sequence);
    EXPECT_EQ(options.error_handling, 0);

    std::thread canceller = click_in_selector(x, {centre(objects.cancel)}, h);
    PictureChoice choice;
    choice.file_name = "kept";
    EXPECT_FALSE(texture_file_choose("Open texture file", choice));
    canceller.join();
    EXPECT_EQ(choice.file_name, "kept");

    fs::current_path(saved);
}

}  // namespace
}  // namespace vellimor
