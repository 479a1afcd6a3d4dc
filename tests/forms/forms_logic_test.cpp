// The toolkit's behaviour without a display: forms are "shown" in windowless mode and driven by
// the same device events that the window layer posts.
#include "forms/forms.h"

#include "support/test_prelude.h"

#include <chrono>
#include <thread>

// The sanitizer lets a failed allocation return null, as the C library does.
extern "C" const char *__asan_default_options() { return "allocator_may_return_null=1"; }

namespace vellimor {
namespace {

// No display for this program, whatever the environment says.
const bool kWindowless = (unsetenv("DISPLAY"), true);

class FormsLogic : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(kWindowless);
        ASSERT_TRUE(fm_headless());
        while (fm_check_forms()) {
        }
    }
    void TearDown() override {
        for (FmForm *form : made_) fm_free_form(form);
        while (fm_check_forms()) {
        }
    }

    FmForm *begin(float w = 300, float h = 200) {
        FmForm *form = fm_bgn_form(FM_UP_BOX, w, h);
        made_.push_back(form);
        return form;
    }

    int show(FmForm *form) {
        int window = fm_show_form(form, FM_PLACE_FREE, 1, "test");
        fm_post_device_event({FM_DEV_INPUTCHANGE, window, window});
        fm_check_forms();
        return window;
    }

    // Window pixel of a point in form units.
    static FmDeviceEvent at(FmForm *form, int code, int value, float fx, float fy) {
        return {code, value, form->window, static_cast<int>(fx), static_cast<int>(form->h - 1 - fy)};
    }

    static void click(FmObject *obj, float fx_frac = 0.5f, float fy_frac = 0.5f) {
        FmForm *form = obj->form;
        float fx = obj->x + obj->w * fx_frac, fy = obj->y + obj->h * fy_frac;
        fm_post_device_event(at(form, FM_DEV_LEFTMOUSE, 1, fx, fy));
        fm_post_device_event(at(form, FM_DEV_LEFTMOUSE, 0, fx, fy));
    }

    // Clicks and lets the loop answer: the object it reports, if any.
    static FmObject *clicked(FmObject *obj, float fx_frac = 0.5f, float fy_frac = 0.5f) {
        click(obj, fx_frac, fy_frac);
        return fm_check_forms();
    }

    static void type(FmForm *form, int key) { fm_post_device_event({FM_DEV_KEYBD, key, form->window, 1, 1}); }

    std::vector<FmForm *> made_;
};

int g_calls = 0;
long g_last_arg = 0;
void count_call(FmObject *, long arg) {
    ++g_calls;
    g_last_arg = arg;
}

TEST_F(FormsLogic, RadioButtonsReleaseOnlyWithinTheirGroup) {
    FmForm *form = begin();
    fm_bgn_group();
    FmObject *a1 = fm_add_button(FM_RADIO_BUTTON, 10, 10, 40, 20, "a1");
    FmObject *a2 = fm_add_button(FM_RADIO_BUTTON, 60, 10, 40, 20, "a2");
    fm_end_group();
    fm_bgn_group();
    FmObject *b1 = fm_add_button(FM_RADIO_BUTTON, 10, 50, 40, 20, "b1");
    FmObject *b2 = fm_add_button(FM_RADIO_BUTTON, 60, 50, 40, 20, "b2");
    fm_end_group();
    fm_end_form();
    show(form);
    fm_set_button(a1, 1);
    fm_set_button(b1, 1);
    EXPECT_TRUE(a1->pushed);

    EXPECT_EQ(clicked(a2), a2);
    EXPECT_EQ(fm_get_button(a1), 0);
    EXPECT_FALSE(a1->pushed);
    EXPECT_EQ(fm_get_button(a2), 1);
    EXPECT_TRUE(a2->pushed);  // a radio button stays pushed after the mouse is released
    EXPECT_EQ(fm_get_button(b1), 1);
    EXPECT_EQ(fm_get_button(b2), 0);

    EXPECT_EQ(clicked(b2), b2);
    EXPECT_EQ(fm_get_button(b1), 0);
    EXPECT_EQ(fm_get_button(a2), 1);

    // From the keyboard too.
    fm_set_object_shortcut(a1, "1");
    type(form, '1');
    EXPECT_EQ(fm_check_forms(), a1);
    EXPECT_EQ(fm_get_button(a1), 1);
    EXPECT_EQ(fm_get_button(a2), 0);
    EXPECT_EQ(fm_get_button(b2), 1);
}

TEST_F(FormsLogic, FortyFirstFormIsRefusedAndNothingChanges) {
    std::vector<FmForm *> forms;
    for (int i = 0; i < 41; ++i) {
        forms.push_back(begin(50, 50));
        fm_end_form();
    }
    for (int i = 0; i < 40; ++i) EXPECT_GT(fm_show_form(forms[i], FM_PLACE_CENTER, 1, nullptr), 0);
    EXPECT_EQ(fm_shown_form_count(), 40);
    EXPECT_EQ(fm_show_form(forms[40], FM_PLACE_CENTER, 1, nullptr), -1);
    EXPECT_EQ(fm_last_error(), "Can show only 40 forms.");
    EXPECT_EQ(fm_shown_form_count(), 40);
    EXPECT_FALSE(forms[40]->visible);
    EXPECT_EQ(forms[40]->window, -1);
    // Showing a shown form only raises it.
    EXPECT_EQ(fm_show_form(forms[3], FM_PLACE_CENTER, 1, nullptr), forms[3]->window);
    EXPECT_EQ(forms[0]->title, "Vellimor");

    fm_hide_form(forms[0]);
    EXPECT_GT(fm_show_form(forms[40], FM_PLACE_CENTER, 1, nullptr), 0);
    for (int i = 1; i <= 40; ++i) fm_hide_form(forms[i]);
    EXPECT_EQ(fm_shown_form_count(), 0);
}

TEST_F(FormsLogic, TabAndReturnMoveTheFocusAndWrap) {
    FmForm *form = begin();
    FmObject *in1 = fm_add_input(FM_NORMAL_INPUT, 60, 150, 200, 20, "one");
    fm_add_button(FM_NORMAL_BUTTON, 60, 120, 50, 20, "not an input");
    FmObject *in2 = fm_add_input(FM_NORMAL_INPUT, 60, 90, 200, 20, "two");
    FmObject *in3 = fm_add_input(FM_NORMAL_INPUT, 60, 60, 200, 20, "three");
    fm_end_form();
    show(form);
    fm_set_object_focus(form, in3);
    EXPECT_TRUE(in3->focus);

    type(form, kFmTab);
    fm_check_forms();
    EXPECT_EQ(form->focusobj, in1);
    EXPECT_TRUE(in1->focus);
    EXPECT_FALSE(in3->focus);
    type(form, kFmReturn);
    fm_check_forms();
    EXPECT_EQ(form->focusobj, in2);

    // Keys go to the focus object; the change is reported when it loses the focus.
    for (char c : std::string("ab")) type(form, c);
    type(form, kFmBackspace);
    type(form, 'c');
    EXPECT_EQ(fm_check_forms(), nullptr);
    EXPECT_STREQ(fm_get_input(in2), "ac");
    type(form, kFmTab);
    EXPECT_EQ(fm_check_forms(), in2);
    EXPECT_EQ(form->focusobj, in3);
}

TEST_F(FormsLogic, InputEditingKeepsItsLimits) {
    FmForm *form = begin();
    FmObject *in = fm_add_input(FM_INT_INPUT, 60, 150, 200, 20, "n");
    fm_end_form();
    show(form);
    fm_set_object_focus(form, in);
    for (char c : std::string("12x3")) type(form, c);
    fm_post_device_event({FM_DEV_LEFTARROW, 1, form->window, 1, 1});
    type(form, '9');
    fm_check_forms();
    EXPECT_STREQ(fm_get_input(in), "1293");

    fm_set_input(in, std::string(300, '7').c_str());
    EXPECT_EQ(std::string(fm_get_input(in)).size(), kFmInputMax);
    type(form, '8');
    fm_check_forms();
    EXPECT_EQ(std::string(fm_get_input(in)).size(), kFmInputMax);
}

TEST_F(FormsLogic, ShortcutsPushAndReleaseTheirObject) {
    FmForm *form = begin();
    FmObject *preview = fm_add_button(FM_NORMAL_BUTTON, 10, 10, 60, 20, "Preview");
    FmObject *hidden = fm_add_button(FM_NORMAL_BUTTON, 80, 10, 60, 20, "Hidden");
    FmObject *in = fm_add_input(FM_NORMAL_INPUT, 60, 150, 200, 20, "in");
    fm_end_form();
    fm_set_object_shortcut(preview, "^z^Z^d^D");
    fm_set_object_shortcut(hidden, "^x^X");
    fm_set_call_back(preview, count_call, 7);
    fm_hide_object(hidden);
    show(form);
    fm_set_object_focus(form, in);
    g_calls = 0;

    type(form, 'd' & 0x1f);
    fm_check_forms();
    EXPECT_EQ(g_calls, 1);
    EXPECT_EQ(g_last_arg, 7);
    EXPECT_EQ(fm_get_button(preview), 0);
    EXPECT_FALSE(preview->pushed);

    type(form, 'x' & 0x1f);
    EXPECT_EQ(fm_check_forms(), hidden);
    EXPECT_STREQ(fm_get_input(in), "");  // taken by the shortcut, not typed
    type(form, 'q');
    fm_check_forms();
    EXPECT_STREQ(fm_get_input(in), "q");
    EXPECT_TRUE(fm_shortcut_matches(preview, 'Z' & 0x1f));
    EXPECT_FALSE(fm_shortcut_matches(preview, 'z'));
}

TEST_F(FormsLogic, ApplicationQueueDropsTheOldestAndSeesAskedDevices) {
    for (int i = 0; i < 701; ++i) fm_qenter(1, static_cast<short>(i));
    short value = -1;
    EXPECT_EQ(fm_qread(&value), 1);
    EXPECT_EQ(value, 1);
    for (int i = 2; i < 701; ++i) fm_qread(&value);
    EXPECT_EQ(fm_qtest(), 0);

    // Unknown device codes and asked-for toolkit codes reach the application; others do not.
    fm_post_device_event({42, 5, 0});
    fm_post_device_event({FM_DEV_KEYBD, 'a', 0});
    fm_check_forms();
    EXPECT_EQ(fm_qread(&value), 42);
    EXPECT_EQ(fm_qtest(), 0);
    fm_qdevice(FM_DEV_KEYBD);
    fm_post_device_event({FM_DEV_KEYBD, 'a', 0});
    fm_check_forms();
    EXPECT_EQ(fm_qread(&value), FM_DEV_KEYBD);
    EXPECT_EQ(value, 'a');
    fm_unqdevice(FM_DEV_KEYBD);
}

TEST_F(FormsLogic, CallbacksFormCallbacksTheRingAndTimers) {
    FmForm *form = begin();
    FmObject *with = fm_add_button(FM_NORMAL_BUTTON, 10, 10, 40, 20, "with");
    FmObject *without = fm_add_button(FM_NORMAL_BUTTON, 60, 10, 40, 20, "without");
    FmObject *timer = fm_add_timer(FM_HIDDEN_TIMER, 0, 0, 1, 1, "");
    fm_end_form();
    fm_set_call_back(with, count_call, 11);
    show(form);
    g_calls = 0;
    EXPECT_EQ(clicked(with), nullptr);
    EXPECT_EQ(g_calls, 1);
    EXPECT_EQ(clicked(without), without);
    fm_set_form_callback(form, count_call, 12);
    EXPECT_EQ(clicked(without), nullptr);
    EXPECT_EQ(g_last_arg, 12);

    // Released away from the button: no change.
    FmDeviceEvent press = at(form, FM_DEV_LEFTMOUSE, 1, 20, 20);
    FmDeviceEvent release = at(form, FM_DEV_LEFTMOUSE, 0, 200, 150);
    fm_post_device_event(press);
    fm_post_device_event(release);
    g_calls = 0;
    fm_check_forms();
    EXPECT_EQ(g_calls, 0);

    // A timer expires once, through its callback.
    fm_set_call_back(timer, count_call, 3);
    fm_set_timer(timer, 0.02f);
    EXPECT_GT(fm_get_timer(timer), 0.0f);
    for (int i = 0; i < 10; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(11));
        fm_check_forms();
    }
    EXPECT_EQ(g_calls, 1);
    EXPECT_EQ(g_last_arg, 3);
    EXPECT_EQ(fm_get_timer(timer), 0.0f);
}

TEST_F(FormsLogic, DeactivatedFrozenAndHiddenFormsLetGoOfTheirObjects) {
    FmForm *form = begin();
    FmObject *b = fm_add_button(FM_NORMAL_BUTTON, 10, 10, 40, 20, "b");
    FmObject *in = fm_add_input(FM_NORMAL_INPUT, 60, 150, 200, 20, "in");
    fm_end_form();
    show(form);
    fm_deactivate_form(form);
    fm_deactivate_form(form);
    EXPECT_EQ(clicked(b), nullptr);
    fm_activate_form(form);
    EXPECT_EQ(clicked(b), nullptr);  // deactivations nest
    fm_activate_form(form);
    EXPECT_EQ(clicked(b), b);
    fm_deactivate_object(b);
    EXPECT_EQ(clicked(b), nullptr);
    fm_activate_object(b);

    fm_freeze_form(form);
    EXPECT_EQ(clicked(b), nullptr);
    fm_unfreeze_form(form);
    fm_set_object_focus(form, in);
    fm_post_device_event(at(form, FM_DEV_LEFTMOUSE, 1, 20, 20));
    fm_check_forms();
    EXPECT_TRUE(b->pushed);
    fm_hide_form(form);
    EXPECT_FALSE(b->pushed);
    EXPECT_EQ(form->focusobj, in);  // kept for the next showing
    fm_post_device_event(at(form, FM_DEV_LEFTMOUSE, 0, 20, 20));
    EXPECT_EQ(fm_check_forms(), nullptr);
}

TEST_F(FormsLogic, ValuesFollowThePointer) {
    FmForm *form = begin(400, 300);
    FmObject *slider = fm_add_slider(FM_HOR_SLIDER, 100, 250, 200, 20, "s");
    FmObject *vslider = fm_add_valslider(FM_VERT_SLIDER, 20, 50, 20, 200, "v");
    FmObject *pos = fm_add_positioner(0, 100, 50, 100, 100, "p");
    FmObject *counter = fm_add_counter(FM_NORMAL_COUNTER, 220, 50, 160, 24, "c");
    fm_end_form();
    fm_set_slider_bounds(slider, 0, 10);
    fm_set_slider_step(slider, 1);
    fm_set_positioner_xbounds(pos, -1, 1);
    fm_set_positioner_ybounds(pos, 0, 100);
    fm_set_counter_bounds(counter, 0, 5);
    fm_set_counter_step(counter, 0.5f, 2);
    show(form);

    EXPECT_EQ(clicked(slider, 0.999f), slider);
    EXPECT_FLOAT_EQ(fm_get_slider_value(slider), 10);
    clicked(slider, 0.5f);
    EXPECT_FLOAT_EQ(fm_get_slider_value(slider), 5);
    clicked(slider, 0.66f);  // between steps 6 and 7, nearer 7
    EXPECT_FLOAT_EQ(fm_get_slider_value(slider), 7);
    fm_set_slider_value(slider, 99);
    EXPECT_FLOAT_EQ(fm_get_slider_value(slider), 10);

    clicked(vslider, 0.5f, 0.999f);
    EXPECT_FLOAT_EQ(fm_get_slider_value(vslider), 1);

    clicked(pos, 0.0f, 1.0f);
    EXPECT_FLOAT_EQ(fm_get_positioner_xvalue(pos), -1);
    EXPECT_FLOAT_EQ(fm_get_positioner_yvalue(pos), 100);

    clicked(counter, 0.95f);  // large step up
    EXPECT_FLOAT_EQ(fm_get_counter_value(counter), 2);
    clicked(counter, 0.75f);  // small step up
    EXPECT_FLOAT_EQ(fm_get_counter_value(counter), 2.5f);
    for (int i = 0; i < 3; ++i) click(counter, 0.95f);
    while (fm_check_forms()) {
    }
    EXPECT_FLOAT_EQ(fm_get_counter_value(counter), 5);  // held at the bound
    clicked(counter, 0.05f);  // large step down
    EXPECT_FLOAT_EQ(fm_get_counter_value(counter), 3);
    clicked(counter, 0.2f);  // small step down
    EXPECT_FLOAT_EQ(fm_get_counter_value(counter), 2.5f);
}

TEST_F(FormsLogic, BrowserLinesAndSelection) {
    FmForm *form = begin(300, 300);
    FmObject *multi = fm_add_browser(FM_MULTI_BROWSER, 10, 10, 200, 200, "");
    fm_end_form();
    show(form);
    for (int i = 1; i <= 40; ++i) fm_add_browser_line(multi, ("line " + std::to_string(i)).c_str());
    EXPECT_EQ(fm_get_browser_maxline(multi), 40);
    fm_insert_browser_line(multi, 1, "first");
    fm_replace_browser_line(multi, 2, "second");
    fm_delete_browser_line(multi, 3);
    EXPECT_STREQ(fm_get_browser_line(multi, 1), "first");
    EXPECT_STREQ(fm_get_browser_line(multi, 2), "second");
    EXPECT_STREQ(fm_get_browser_line(multi, 3), "line 3");
    EXPECT_EQ(fm_get_browser_line(multi, 41), nullptr);

    fm_set_browser_topline(multi, 1000);
    int last_top = fm_get_browser_topline(multi);
    EXPECT_EQ(last_top, 40 - fm_get_browser_screenlines(multi) + 1);
    fm_set_browser_topline(multi, 1);

    EXPECT_EQ(clicked(multi, 0.3f, 0.99f), multi);  // first line
    EXPECT_EQ(fm_get_browser(multi), 1);
    clicked(multi, 0.3f, 0.99f);
    EXPECT_EQ(fm_get_browser(multi), -1);
    EXPECT_FALSE(fm_isselected_browser_line(multi, 1));
    fm_select_browser_line(multi, 2);
    fm_select_browser_line(multi, 4);
    EXPECT_TRUE(fm_isselected_browser_line(multi, 2));
    EXPECT_TRUE(fm_isselected_browser_line(multi, 4));

    // A click on the scrollbar below the thumb pages down.
    clicked(multi, 0.98f, 0.02f);
    EXPECT_EQ(fm_get_browser_topline(multi), 1 + fm_get_browser_screenlines(multi));
    fm_clear_browser(multi);
    EXPECT_EQ(fm_get_browser_maxline(multi), 0);
    EXPECT_EQ(fm_get_browser(multi), 0);
}

TEST_F(FormsLogic, ChoiceEntriesAreLimited) {
    begin();
    FmObject *choice = fm_add_choice(0, 60, 10, 100, 20, "c");
    fm_end_form();
    EXPECT_EQ(fm_get_choice_text(choice), nullptr);
    for (int i = 0; i < 130; ++i) fm_addto_choice(choice, std::string(80, 'a' + i % 26).c_str());
    EXPECT_EQ(fm_get_choice_count(choice), kFmChoiceMaxEntries);
    EXPECT_EQ(fm_get_choice(choice), 1);
    EXPECT_EQ(std::string(fm_get_choice_text(choice)).size(), kFmChoiceEntryMax);
    fm_set_choice(choice, 3);
    EXPECT_EQ(fm_get_choice_text(choice)[0], 'c');
    fm_set_choice(choice, 500);
    EXPECT_EQ(fm_get_choice(choice), 3);
}

TEST_F(FormsLogic, DefinitionErrorsAreReportedWithTheirMessages) {
    fm_hide_form(nullptr);
    EXPECT_EQ(fm_last_error(), "Hiding NULL form.");
    FmForm *form = begin();
    fm_end_form();
    fm_hide_form(form);
    EXPECT_EQ(fm_last_error(), "Hiding invisible form.");
    fm_end_form();
    EXPECT_EQ(fm_last_error(), "Ending form definition of NULL form.");
    EXPECT_EQ(fm_add_button(FM_NORMAL_BUTTON, 0, 0, 1, 1, "x"), nullptr);
    EXPECT_EQ(fm_last_error(), "Trying to add object to NULL form.");
    fm_end_group();
    EXPECT_EQ(fm_last_error(), "Ending group in NULL form.");
    fm_set_object_label(nullptr, "x");
    EXPECT_EQ(fm_last_error(), "Setting label of NULL object.");
    fm_show_form(nullptr, 0, 0, nullptr);
    EXPECT_EQ(fm_last_error(), "Trying to display NULL form.");

    fm_addto_form(form);
    fm_bgn_group();
    FmObject *r = fm_add_button(FM_RADIO_BUTTON, 0, 0, 1, 1, "r");
    fm_bgn_group();  // the open group is ended first
    EXPECT_EQ(fm_last_error(), "You forgot calling fl_end_group.");
    fm_end_group();
    fm_end_group();
    EXPECT_EQ(fm_last_error(), "Ending NULL group.");
    FmForm *other = begin();
    EXPECT_EQ(fm_last_error(), "You forgot calling fl_end_form.");
    fm_end_form();
    int markers = 0;
    for (FmObject *o = form->first; o; o = o->next) markers += fm_is_marker(o);
    EXPECT_EQ(markers, 4);
    EXPECT_EQ(r->form, form);
    EXPECT_EQ(other->first->objclass, FM_BOX);

    fm_set_object_boxtype(r, 99);
    EXPECT_EQ(fm_last_error(), "Unknown box type");
    fm_set_object_lstyle(r, 42);
    EXPECT_EQ(fm_last_error(), "Unknown font style");
    fm_set_object_label(r, std::string(100, 'L').c_str());
    EXPECT_EQ(r->label.size(), kFmLabelMax);
}

TEST_F(FormsLogic, ValueSliderMovesOnlyForPressesOnItsTrack) {
    FmForm *form = begin(300, 100);
    FmObject *slider = fm_add_valslider(FM_HOR_SLIDER, 10, 40, 200, 20, "v");
    fm_end_form();
    fm_set_slider_bounds(slider, 0, 10);
    fm_set_slider_value(slider, 5);
    fm_set_call_back(slider, count_call, 0);
    show(form);
    g_calls = 0;

    clicked(slider, 0.1f);  // the number box
    EXPECT_FLOAT_EQ(fm_get_slider_value(slider), 5);
    EXPECT_EQ(g_calls, 0);

    // A drag that starts on the number box does not take the knob along either.
    fm_post_device_event(at(form, FM_DEV_LEFTMOUSE, 1, 20, 50));
    fm_post_device_event(at(form, FM_DEV_MOTION, 0, 150, 50));
    fm_check_forms();
    fm_post_device_event(at(form, FM_DEV_MOTION, 0, 205, 50));
    fm_post_device_event(at(form, FM_DEV_LEFTMOUSE, 0, 205, 50));
    fm_check_forms();
    EXPECT_FLOAT_EQ(fm_get_slider_value(slider), 5);
    EXPECT_EQ(g_calls, 0);

    clicked(slider, 0.999f);  // the track's far end
    EXPECT_FLOAT_EQ(fm_get_slider_value(slider), 10);
    EXPECT_EQ(g_calls, 1);
}

struct SeenEvent {
    int event, key;
};
std::vector<SeenEvent> g_seen;

int record_events(FmObject *, int event, float, float, int key) {
    if (event != FM_DRAW) g_seen.push_back({event, key});
    return 0;
}

std::vector<int> keys_seen() {
    std::vector<int> keys;
    for (const SeenEvent &e : g_seen)
        if (e.event == FM_KEYBOARD) keys.push_back(e.key);
    return keys;
}

TEST_F(FormsLogic, KeysReachDrawingAreasAsKeyboardEvents) {
    FmForm *form = begin(400, 200);
    FmObject *area = fm_add_free(FM_INPUT_FREE, 10, 10, 150, 150, "", record_events);
    FmObject *plain = fm_add_free(FM_NORMAL_FREE, 170, 10, 100, 150, "", record_events);
    FmObject *field = fm_add_input(FM_NORMAL_INPUT, 280, 10, 110, 30, "");
    fm_end_form();
    show(form);
    g_seen.clear();
    auto key_at = [&](int key, const FmObject *obj) {
        fm_post_device_event(at(form, FM_DEV_KEYBD, key, obj->x + 5, obj->y + 5));
        fm_check_forms();
    };

    // Without a focus object, the drawing area under the pointer takes keys; a plain one does not.
    key_at('a', area);
    fm_post_device_event(at(form, FM_DEV_LEFTARROW, 1, 20, 20));
    fm_check_forms();
    key_at('b', plain);
    EXPECT_EQ(keys_seen(), (std::vector<int>{'a', FM_KEY_LEFT}));
    for (const SeenEvent &e : g_seen) EXPECT_NE(e.event, FM_MOVE) << "a key is never a move";

    // An input field with the focus takes the keys, wherever the pointer is.
    clicked(field);
    g_seen.clear();
    key_at('x', area);
    EXPECT_TRUE(keys_seen().empty());
    EXPECT_STREQ(fm_get_input(field), "x");

    // A click on the drawing area gives it the focus: keys follow it off the area.
    clicked(area);
    EXPECT_EQ(form->focusobj, area);
    key_at('f', field);
    EXPECT_EQ(keys_seen(), (std::vector<int>{'f'}));
    EXPECT_STREQ(fm_get_input(field), "x");
}

TEST_F(FormsLogic, RedrawsWaitForTheNextTurnOfTheLoop) {
    FmForm *form = begin();
    FmObject *slider = fm_add_slider(FM_HOR_FILL_SLIDER, 10, 10, 200, 20, "");
    fm_end_form();
    EXPECT_FALSE(fm_form_needs_redraw(form));
    show(form);
    EXPECT_FALSE(fm_form_needs_redraw(form));

    fm_set_slider_value(slider, 0.3f);
    EXPECT_TRUE(fm_form_needs_redraw(form));
    EXPECT_EQ(fm_check_forms(), nullptr);
    EXPECT_FALSE(fm_form_needs_redraw(form));

    fm_redraw_form(form);
    EXPECT_TRUE(fm_form_needs_redraw(form));
    fm_flush_redraws();
    EXPECT_FALSE(fm_form_needs_redraw(form));

    // A frozen form waits until it is unfrozen.
    fm_freeze_form(form);
    fm_set_slider_value(slider, 0.6f);
    fm_check_forms();
    EXPECT_TRUE(fm_form_needs_redraw(form));
    fm_unfreeze_form(form);
    fm_check_forms();
    EXPECT_FALSE(fm_form_needs_redraw(form));

    // A hidden form has nothing waiting.
    fm_set_slider_value(slider, 0.9f);
    fm_hide_form(form);
    EXPECT_FALSE(fm_form_needs_redraw(form));
}

TEST(FormsFiles, DirectoryLinesListDirectoriesThenMatchingFiles) {
    namespace fs = std::filesystem;
    fs::path dir = fs::temp_directory_path() / ("forms_dir_" + std::to_string(::getpid()));
    fs::create_directories(dir / "sub");
    fs::create_directories(dir / "alpha");
    for (const char *name : {"b.pic", "a.pic", "c.txt", ".hidden.pic"}) std::ofstream(dir / name) << "x";
    auto lines = fm_directory_lines(dir.string(), "*.pic");
    ASSERT_TRUE(lines);
    EXPECT_EQ(*lines, (std::vector<std::string>{"D ..", "D alpha", "D sub", "a.pic", "b.pic"}));
    auto all = fm_directory_lines(dir.string(), "");
    ASSERT_TRUE(all);
    EXPECT_EQ(all->size(), 6u);
    EXPECT_FALSE(fm_directory_lines((dir / "missing").string(), "*"));
    fs::remove_all(dir);
}

}  // namespace
}  // namespace vellimor
