// A designer session on the demo that never loses work: every window answers a window manager's
// close request as its own close control does, Escape cancels the dialogs, fields keep their
// value on text that is no number, a frame change shows the new frame everywhere, an interactive
// render is opaque without "Render alpha", and a backup brings the function curves back. The
// pictures of the windows taken here illustrate docs/designer.md (scripts/designer-images.sh).
#include <atomic>
#include <functional>

#include "../keymap_editor/designer_session.h"
#include "editor/render_settings_window.h"
#include "editor/scene_menu.h"
#include "fcurve/curve_editor.h"
#include "fcurve/fcurve_list.h"
#include "forms/file_selector.h"
#include "furdata/fur_text_file.h"
#include "host/configuration.h"
#include "render/pic_file.h"
#include "x_screen.h"

namespace vellimor {
namespace {

namespace fs = std::filesystem;
using test::ScreenPoint;

unsigned long native(const FmForm *form) {
    glutSetWindow(form->window);
    return glutGetHWND(0);
}

std::string picture_path(const char *name) {
    const fs::path dir = fs::path(test::build_dir()) / "artefacts" / "designer";
    fs::create_directories(dir);
    return (dir / name).string();
}

// Answers the next window whose title begins with `title` from a thread of its own, as a person
// would while the designer's loop waits in it (a question, a file selector).
class Answer {
public:
    using Fn = std::function<void(test::XDriver &, unsigned long window)>;
    Answer(std::string title, Fn answer) : thread_([this, title, answer] {
        test::XScreen screen;
        test::XDriver driver;
        const auto end = test::Clock::now() + std::chrono::seconds(30);
        unsigned long window = 0;
        while (!(window = screen.find_window(title)) && test::Clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (!window) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(300));  // drawn, and taking input
        int x = 0, y = 0;
        driver.window_origin(window, &x, &y);
        driver.move(x + 20, y + 20);
        answer(driver, window);
        seen_ = true;
    }) {}
    ~Answer() { thread_.join(); }
    bool seen() const { return seen_; }

private:
    std::atomic<bool> seen_{false};
    std::thread thread_;
};

int differing_pixels(const test::Snapshot &a, const test::Snapshot &b, int rows) {
    int count = 0;
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < a.width(); ++x) {
            const test::Rgb p = a.at(x, y), q = b.at(x, y);
            count += p.r != q.r || p.g != q.g || p.b != q.b;
        }
    return count;
}

// A length curve on the Sphere's first key: 0.2 at frame 1, 0.8 at frame 30.
int animate_sphere_length(PatchData &sphere) {
    TextureKey &key = sphere.texture_keys.front();
    const float start = 0.2f;
    const int id = fcurve_create(2, 1.0f, std::array<float, 2>{start, key.length.random});
    HermInsertPoint(*fcurve_find(id)->limits[0].curve, 1, 30.0f, 0.8f);
    key.length.fcurve_id = id;
    return id;
}

class DesignerSessionWindowed : public test::DesignerSession {
protected:
    void TearDown() override {
        for (int button : {1, 2, 3}) driver.release(button);  // a failed step leaves none held
        test::DesignerSession::TearDown();
        fcurve_delete_all();
    }
    ScreenPoint on_screen(const FmForm *form, const FmObject *obj) {
        int ox = 0, oy = 0;
        driver.window_origin(native(form), &ox, &oy);
        return {ox + int(obj->x + obj->w / 2), oy + int(form->h - 1 - (obj->y + obj->h / 2))};
    }
    bool shown(const FmForm *form) { return form->visible && form->window > 0 && driver.window_viewable(native(form)); }
    // Whether the message area shows the line in its visible part.
    bool message_visible(const std::string &text) {
        const int top = fm_get_browser_topline(main->message_area);
        for (int n = top; n < top + fm_get_browser_screenlines(main->message_area); ++n)
            if (n <= fm_get_browser_maxline(main->message_area) && fm_get_browser_line(main->message_area, n) == text)
                return true;
        return false;
    }
    bool shows_message(const std::string &text) {
        for (int n = fm_get_browser_maxline(main->message_area); n >= 1; --n)
            if (fm_get_browser_line(main->message_area, n) == text) return true;
        return false;
    }
    test::Snapshot view() { return driver.grab(window()); }
    int view_rows() const { return int(main->graphics->h); }
    test::XScreen screen;
};

TEST_F(DesignerSessionWindowed, EveryWindowAnswersTheCloseRequestAndEscapeCancels) {
    select_only({"Sphere"});
    EXPECT_TRUE(driver.save_png(window(), picture_path("main-window.png")));
    DesignerWindows &w = designer_windows();
    struct Toggling {
        FmObject *button;
        FmForm *form;
        const char *picture;
    };
    const Toggling toggling[] = {{main->display, w.display.form, "display-settings.png"},
                                 {main->help, w.help.form, nullptr},
                                 {main->selected, w.selected.form, nullptr},
                                 {main->dynamic, w.dynamic.form, nullptr},
                                 {main->fcurve, curve_editor().form, nullptr}};
    for (const Toggling &t : toggling) {
        SCOPED_TRACE(t.button->label);
        click(object_screen(t.button));
        ASSERT_TRUE(pump_until([&] { return shown(t.form); }));
        if (t.picture) EXPECT_TRUE(driver.save_png(native(t.form), picture_path(t.picture)));
        screen.close_request(native(t.form));
        ASSERT_TRUE(pump_until([&] { return !t.form->visible; }));
        // The window's own button opens it again at once.
        click(object_screen(t.button));
        ASSERT_TRUE(pump_until([&] { return shown(t.form); }));
        screen.close_request(native(t.form));
        ASSERT_TRUE(pump_until([&] { return !t.form->visible; }));
    }

    // The modal windows: the close request and Escape cancel them, and the main window answers.
    FmForm *render = render_settings_window().form;
    click(object_screen(main->render));
    ASSERT_TRUE(pump_until([&] { return shown(render); }));
    EXPECT_TRUE(driver.save_png(native(render), picture_path("render-settings.png")));
    screen.close_request(native(render));
    ASSERT_TRUE(pump_until([&] { return !render->visible && main->form->deactivated == 0; }));
    FmForm *menu = scene_menu_window().form;
    click(object_screen(main->file));
    ASSERT_TRUE(pump_until([&] { return shown(menu); }));
    driver.move(on_screen(menu, scene_menu_window().close).x, on_screen(menu, scene_menu_window().close).y);
    pump_for(50);
    driver.key("Escape");
    ASSERT_TRUE(pump_until([&] { return !menu->visible && main->form->deactivated == 0; }));
    click(object_screen(main->display));
    ASSERT_TRUE(pump_until([&] { return shown(w.display.form); }));

    // The main window's close request asks whether to exit; Escape answers "Continue".
    {
        Answer escape("Question", [](test::XDriver &d, unsigned long question) {
            d.save_png(question, picture_path("exit-question.png"));
            d.key("Escape");
        });
        screen.close_request(window());
        ASSERT_TRUE(pump_until([&] { return escape.seen() && shows_message("Exit cancled"); }));
    }
    EXPECT_EQ(editor_state().quit, 0);
    EXPECT_TRUE(shown(main->form));
    EXPECT_EQ(main->form->deactivated, 0);
}

TEST_F(DesignerSessionWindowed, FieldsKeepTheirValueOnTextThatIsNoNumber) {
    select_only({"Sphere"});
    PatchData &sphere = record("Sphere");
    for (TextureKey &key : sphere.texture_keys) key.selected = 1;
    keymap_load_sliders();
    display_settings()->autokey_fcurves = 1;
    pump_for(300);
    std::vector<float> lengths;
    for (const TextureKey &key : sphere.texture_keys) lengths.push_back(key.length.value);
    const std::string shown_length = fm_get_input(main->length_field);
    const test::Snapshot before = view();

    enter(main->length_field, "abc");
    ASSERT_TRUE(pump_until([&] { return shows_message("WARNING: \"abc\" is not a number: the field keeps its value"); }));
    pump_for(300);
    size_t k = 0;
    for (const TextureKey &key : sphere.texture_keys) EXPECT_EQ(key.length.value, lengths[k++]);
    EXPECT_EQ(fcurve_count(), 0);  // autokey recorded nothing
    EXPECT_EQ(fm_get_input(main->length_field), shown_length);
    EXPECT_EQ(differing_pixels(before, view(), view_rows()), 0);

    const int frame = scene_state().current_frame;
    enter(main->frame_field, "1x");
    ASSERT_TRUE(pump_until([&] { return shows_message("WARNING: \"1x\" is not a number: the field keeps its value"); }));
    EXPECT_EQ(scene_state().current_frame, frame);
    EXPECT_EQ(fm_get_input(main->frame_field), std::to_string(frame));

    // The random fields show their last digit at the design size.
    for (FmObject *field : {main->length_random_field, main->wave_random_field, main->density_random_field})
        EXPECT_LE(fm_text_width(pair_format(0.06f, 2), field->lsize, FM_NORMAL_STYLE), field->w - 8);
}

TEST_F(DesignerSessionWindowed, AFrameChangeShowsTheNewFrameAndARenderKeepsIt) {
    select_only({"Sphere"});
    animate_sphere_length(record("Sphere"));
    redraw_views();
    pump_for(500);
    const test::Snapshot first = view();

    // Typed into the field: the Flag moves to frame 30 in the same drawing as the fur, and the
    // slider panel shows the animated length.
    enter(main->frame_field, "30");
    ASSERT_TRUE(pump_until([&] { return scene_state().current_frame == 30; }));
    pump_for(1500);
    const test::Snapshot typed = view();
    redraw_graphics_view();
    pump_for(1500);
    EXPECT_GT(differing_pixels(first, typed, view_rows()), 500);
    EXPECT_EQ(differing_pixels(typed, view(), view_rows()), 0);
    EXPECT_EQ(std::string(fm_get_input(main->length_field)), "0.80");

    // An interactive render of frame 15 alone: opaque without "Render alpha", and afterwards the
    // frame controls show frame 15.
    RenderSettingsWindow &r = render_settings_window();
    click(object_screen(main->render));
    ASSERT_TRUE(pump_until([&] { return shown(r.form); }));
    const std::string output = (dir / "frame").string();
    fm_set_input(r.output, output.c_str());
    fm_set_input(r.x, "160");
    render_settings_resolution_changed(r.x, 0);
    fm_set_input(r.start, "15");
    fm_set_input(r.end, "15");
    render_settings_range_changed(r.start, 0);
    ASSERT_FALSE(fm_get_button(r.render_alpha));
    click(on_screen(r.form, r.render));
    ASSERT_TRUE(pump_until([&] { return fs::exists(output + ".15.pic") && !r.form->visible; }));
    const auto picture = pic_read_file(output + ".15.pic");
    ASSERT_TRUE(picture);
    if (picture->has_plane(kPicAlpha))
        for (uint8_t a : picture->alpha()) ASSERT_EQ(a, 255);
    EXPECT_EQ(std::string(fm_get_input(main->frame_field)), "15");
    click(object_screen(main->frame_next));
    ASSERT_TRUE(pump_until([&] { return scene_state().current_frame == 16; }));
    EXPECT_EQ(std::string(fm_get_input(main->frame_field)), "16");
}

TEST_F(DesignerSessionWindowed, ABackupRestoresTheFunctionCurves) {
    select_only({"Sphere"});
    const int length_curve = animate_sphere_length(record("Sphere"));
    PatchData &flag = record("Flag");
    flag.wind_length.active = 1;
    flag.wind_length.fcurve_id = fcurve_create(1, 1.0f, std::array<float, 1>{0.3f});
    config().backup = 1;
    ASSERT_EQ(write_hold_file(), 1);
    const std::string hold = scene_state().hold_file_path;

    // The designer starts again with Shift held: "Yes" to the question, the hold file chosen.
    designer_close();
    fcurve_delete_all();
    driver.key_down("Shift_L");
    {
        Answer yes("Question", [](test::XDriver &d, unsigned long) {
            d.key("Return");
            d.key_up("Shift_L");
        });
        Answer chosen("Select holdfile", [&](test::XDriver &d, unsigned long selector) {
            int x = 0, y = 0;
            d.window_origin(selector, &x, &y);
            d.click(x + 100, y + int(kFmFileSelectorHeight) - 72);  // the "File name:" field
            d.type(hold + "\r");
        });
        ASSERT_TRUE(designer_open());
        EXPECT_TRUE(yes.seen() && chosen.seen());
    }
    driver.key_up("Shift_L");
    ASSERT_EQ(fcurve_count(), 2);
    const int restored = record("Sphere").texture_keys.front().length.fcurve_id;
    ASSERT_EQ(restored, length_curve);
    float values[2] = {};
    ASSERT_EQ(fcurve_query(restored, 30, values), 1);
    EXPECT_NEAR(values[0], 0.8f, 1e-3f);
    EXPECT_NE(fcurve_find(record("Flag").wind_length.fcurve_id), nullptr);

    // The curve editor lists the animated length and draws its curve (red, the first component)
    // across the frames, beside the red line of the first frame.
    select_only({"Sphere"});
    record("Sphere").texture_keys.front().selected = 1;
    CurveEditor &e = curve_editor();
    fm_set_form_position(e.form, 20, 20);  // wholly on the screen, to be read back
    click(object_screen(main->fcurve));
    ASSERT_TRUE(pump_until([&] { return shown(e.form) && e.initialised; }));
    ASSERT_GE(fm_get_browser_maxline(e.list), 1);
    EXPECT_EQ(std::string(fm_get_browser_line(e.list, 1)), "*Sphere-1-L");
    pump_for(300);
    EXPECT_TRUE(driver.save_png(native(e.form), picture_path("curve-editor.png")));
    const test::Snapshot area = driver.grab(native(e.form));
    int red_columns = 0;
    for (int x = 0; x < int(e.area->w); ++x) {
        bool any = false;
        for (int y = 0; y < area.height() && !any; ++y) any = red(area.at(x, y));
        red_columns += any;
    }
    EXPECT_GT(red_columns, 200);
}

TEST_F(DesignerSessionWindowed, PanelsGroupsAndScenesFollowWhatIsThere) {
    // Nothing selected: the slider panel shows no values.
    select_only({});
    EXPECT_STREQ(fm_get_input(main->length_field), "");
    select_only({"Sphere"});
    EXPECT_STRNE(fm_get_input(main->length_field), "");

    // The help window opens over the graphics view, clear of the controls below it.
    FmForm *help = designer_windows().help.form;
    click(object_screen(main->help));
    ASSERT_TRUE(pump_until([&] { return shown(help); }));
    int hx = 0, hy = 0, mx = 0, my = 0;
    driver.window_origin(native(help), &hx, &hy);
    driver.window_origin(window(), &mx, &my);
    EXPECT_LE(hy + int(help->h), my + int(main->graphics->h));
    click(object_screen(main->help));

    // "M" shows the numeric direction fields, which set the selected key's direction.
    PatchData &sphere = record("Sphere");
    for (TextureKey &key : sphere.texture_keys) key.selected = &key == &sphere.texture_keys.front();
    keymap_load_sliders();
    click(object_screen(main->direction_fields_mode));
    ASSERT_TRUE(pump_until([&] { return main->dir_u_field->visible && !main->direction->visible; }));
    enter(main->dir_u_field, "0.25");
    ASSERT_TRUE(pump_until([&] { return sphere.texture_keys.front().grow.valueU == 0.25f; }));

    // "Picture" takes the selected colour key's colour from a picture, as the Color row's "T".
    const std::string picture = (dir / "red.pic").string();
    auto red_picture = pic_create(8, 8, false);
    std::fill(red_picture->red().begin(), red_picture->red().end(), 255);
    ASSERT_TRUE(pic_save(picture, *red_picture));
    {
        // The toggle opens the selector as it is pressed: the button is let go in the selector.
        Answer open("Open texture file", [&](test::XDriver &d, unsigned long) {
            d.release(1);
            d.type(picture + "\r");
        });
        click(object_screen(main->color_picture));
        ASSERT_TRUE(pump_until([&] { return open.seen() && sphere.main_color_keys[0][0].this_key_uses_picture; }));
    }
    EXPECT_TRUE(fm_get_button(main->color_picture) && fm_get_button(main->channel_texture[0]));

    // M held with the middle button is no gesture: the key keeps its colour.
    hold("m");
    click(map_screen(0.5f, 0.5f), 2);
    let_go("m");
    pump_for(100);
    EXPECT_TRUE(sphere.texture_keys.front().color_active[kColorDiffuse]);

    // Shift+G1 takes the group from every patch not selected, the deleted ones too.
    record("Flag").group = 1;
    select_only({"Flag"});
    click(object_screen(main->del));
    ASSERT_TRUE(pump_until([&] { return record("Flag").deleted == 1; }));
    select_only({"Sphere"});
    hold("Shift_L");
    click(object_screen(main->group[0]));
    let_go("Shift_L");
    ASSERT_TRUE(pump_until([&] { return (record("Sphere").group & 1) != 0; }));
    EXPECT_EQ(record("Flag").group & 1, 0);

    // "Scene saved ..." stays in view over the drawing that follows it.
    FmForm *menu = scene_menu_window().form;
    click(object_screen(main->file));
    ASSERT_TRUE(pump_until([&] { return shown(menu); }));
    click(on_screen(menu, scene_menu_window().save_scene));
    ASSERT_TRUE(pump_until([&] { return !menu->visible && shows_message("Scene saved ..."); }));
    pump_for(500);
    EXPECT_TRUE(message_visible("Scene saved ..."));

    // A scene that can't be opened leaves no surfaces in the browser; one that opens has its
    // surfaces there, and the main window its size again. As the host runs the designer, the
    // database is loaded first.
    run_state().run_mode = kRunModeInternal;
    glutSetWindow(main->form->window);
    glutReshapeWindow(640, 480);
    int width = 0, height = 0;
    ASSERT_TRUE(pump_until([&] { return driver.window_size(window(), &width, &height) && width == 640; }));
    EXPECT_FALSE(open_scene_file((database / "SCENES" / "missing.dsc").string()));
    EXPECT_EQ(fm_get_browser_maxline(main->browser), 0);
    EXPECT_STREQ(fm_get_input(main->length_field), "");  // nothing is selected now
    ASSERT_TRUE(open_scene_file((database / "SCENES" / "furball.dsc").string()));
    EXPECT_EQ(fm_get_browser_maxline(main->browser), 2);  // the Flag was saved deleted
    EXPECT_TRUE(pump_until([&] { return driver.window_size(window(), &width, &height) && width == 1280 && height == 1024; }));
}

}  // namespace
}  // namespace vellimor
