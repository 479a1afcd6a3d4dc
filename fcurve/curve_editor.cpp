#include "fcurve/curve_editor.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "fcurve/fcurve_list.h"
#include "forms/forms.h"
#include "furdata/display_settings.h"
#include "host/scene.h"
#include "host/status.h"

namespace vellimor {
namespace {

constexpr const char *kTitle = "Function curve editor";
constexpr int kAltButton = 4;
constexpr float kToolY = 5, kRowH = 27, kToolW = 66, kToolGap = 2;
constexpr float kColumnX = 882, kColumnW = 150, kButtonH = 25;

CurveEditorHooks &hooks() {
    static CurveEditorHooks h;
    return h;
}

void call(const std::function<void()> &fn) {
    if (fn) fn();
}

FrameSpan scene_frames() {
    const SceneState &s = scene_state();
    return {s.start_frame, s.end_frame, s.current_frame};
}

CurveListChannel current_channel() {
    return hooks().current_channel ? hooks().current_channel() : CurveListChannel{};
}

int line_count() { return fm_get_browser_maxline(curve_editor().list); }

// Whether a line's group is shown: a texture key line while its key is selected, a patch-level
// line while it is selected.
std::vector<bool> shown_lines() {
    CurveEditor &e = curve_editor();
    std::vector<bool> shown(e.entries.size(), false);
    for (size_t i = 0; i < e.entries.size(); ++i) {
        if (e.entries[i].kind == 1) {
            shown[i] = curve_editor_line_selected(static_cast<int>(i) + 1);
        } else if (auto g = resolve_curve_group(e.entries[i]); g && g->key_selected) {
            shown[i] = *g->key_selected != 0;
        }
    }
    return shown;
}

std::vector<bool> selected_lines() {
    std::vector<bool> chosen(curve_editor().entries.size(), false);
    for (size_t i = 0; i < chosen.size(); ++i) chosen[i] = curve_editor_line_selected(static_cast<int>(i) + 1);
    return chosen;
}

// Each texture key line is selected exactly when its key is.
void reselect_key_lines() {
    CurveEditor &e = curve_editor();
    for (size_t i = 0; i < e.entries.size(); ++i) {
        if (e.entries[i].kind != 0) continue;
        auto g = resolve_curve_group(e.entries[i]);
        const int n = static_cast<int>(i) + 1;
        if (g && g->key_selected && *g->key_selected)
            fm_select_browser_line(e.list, n);
        else
            fm_deselect_browser_line(e.list, n);
    }
}

// The keys of texture key lines follow their lines' selection.
void keys_follow_lines() {
    CurveEditor &e = curve_editor();
    for (size_t i = 0; i < e.entries.size(); ++i) {
        if (e.entries[i].kind != 0) continue;
        auto g = resolve_curve_group(e.entries[i]);
        if (g && g->key_selected) *g->key_selected = curve_editor_line_selected(static_cast<int>(i) + 1) ? 1 : 0;
    }
}

void rewrite_line_texts() {
    CurveEditor &e = curve_editor();
    for (size_t i = 0; i < e.entries.size(); ++i)
        fm_replace_browser_line(e.list, static_cast<int>(i) + 1, entry_line_text(e.entries[i]).c_str());
}

void clear_point_fields() {
    CurveEditor &e = curve_editor();
    fm_set_input(e.frame_field, "");
    fm_set_input(e.value_field, "");
}

void forget_point() {
    CurveEditor &e = curve_editor();
    e.has_pick = false;
    e.pick = HermPick{};
    e.gesture = CurveGesture::kNone;
}

void show_point_fields(float x, float y, const char *value_format) {
    CurveEditor &e = curve_editor();
    char text[64];
    std::snprintf(text, sizeof text, "%d", static_cast<int>(x + 0.5f));
    fm_set_input(e.frame_field, text);
    std::snprintf(text, sizeof text, value_format, y);
    fm_set_input(e.value_field, text);
}

// The point being edited, when it still belongs to a displayed curve.
bool pick_is_live() {
    CurveEditor &e = curve_editor();
    if (!e.has_pick || !e.pick.curve) return false;
    const std::vector<Herm *> shown = curve_editor_displayed();
    if (std::find(shown.begin(), shown.end(), e.pick.curve) == shown.end()) return false;
    return e.pick.index >= 0 && e.pick.index < e.pick.curve->nb_points();
}

void set_tool(CurveTool tool) {
    CurveEditor &e = curve_editor();
    e.tool = tool;
    // Setting a radio button does not release the others of its group.
    for (int t = 0; t < kCurveToolCount; ++t)
        if (e.tools[t]) fm_set_button(e.tools[t], t == static_cast<int>(tool) ? 1 : 0);
}

// The ending every list callback shares; `frame` also frames the view.
void after_list_change(bool frame) {
    clear_point_fields();
    forget_point();
    if (frame) curve_editor_frame_all();
    else curve_editor_redraw_area();
    call(hooks().redraw_keymap);
}

void on_list(FmObject *, long) {
    // The clicked line is the one whose key disagrees with it now.
    keys_follow_lines();
    reselect_key_lines();
    after_list_change(true);
}

void on_source(FmObject *obj, long) {
    CurveEditor &e = curve_editor();
    e.source = obj == e.dynamics ? CurveListSource::kDynamics : CurveListSource::kTexture;
    fill_list();
    after_list_change(true);
}

void on_animate(FmObject *, long) {
    animate_entries(curve_editor().entries, selected_lines(), scene_state().start_frame);
    rewrite_line_texts();
    after_list_change(true);
}

void on_static(FmObject *, long) {
    make_entries_static(curve_editor().entries, selected_lines());
    rewrite_line_texts();
    after_list_change(true);
}

void on_selection_button(FmObject *obj, long) {
    CurveEditor &e = curve_editor();
    const int n = line_count();
    if (obj != e.del) {
        for (int i = 1; i <= n; ++i) {
            const bool on = obj == e.all ? true : obj == e.none ? false : !fm_isselected_browser_line(e.list, i);
            if (on) fm_select_browser_line(e.list, i);
            else fm_deselect_browser_line(e.list, i);
        }
        keys_follow_lines();
    }
    after_list_change(false);
}

void on_tool(FmObject *, long tool) { curve_editor().tool = static_cast<CurveTool>(tool); }

void on_point_field(FmObject *, long) {
    CurveEditor &e = curve_editor();
    if (!pick_is_live() || e.pick.what == herm::kOnCurve) return;
    const float frame = static_cast<float>(std::atof(fm_get_input(e.frame_field)));
    const float value = static_cast<float>(std::atof(fm_get_input(e.value_field)));
    HermMoveHandle(*e.pick.curve, e.pick.what, e.pick.index, frame, value, e.pick.type);
    e.pick.x = frame;
    e.pick.y = value;
    curve_editor_redraw_area();
    if (const DisplaySettings *d = display_settings(); d && d->redraw_always) call(hooks().redraw_views);
    show_point_fields(frame, value, "%.2f");
}

void on_close(FmObject *, long) { curve_editor_hide(); }

bool redraw_always() {
    const DisplaySettings *d = display_settings();
    return d && d->redraw_always;
}

// Area-local pixel position of a form position.
float local_x(const FmObject *obj, float mx) { return mx - obj->x; }
float local_y(const FmObject *obj, float my) { return my - obj->y; }

void area_press(FmObject *obj, float mx, float my, int button) {
    CurveEditor &e = curve_editor();
    e.last_x = mx;
    e.last_y = my;
    const CurveGesture nav = navigation_gesture(getbutton('P') != 0, getbutton('Z') != 0, button);
    if (nav != CurveGesture::kNone) {
        e.gesture = nav;
        return;
    }
    const float x = view_data_x(e.view, local_x(obj, mx));
    const float y = view_data_y(e.view, local_y(obj, my));
    const HermPick hit = pick_displayed(curve_editor_displayed(), x, y, e.view.ux, e.view.uy);
    if (hit.index == herm::kNoHit) return;
    const PressResult result = apply_press(e.tool, hit, x, y);
    set_tool(CurveTool::kMove);
    if (result.drag) {
        e.gesture = CurveGesture::kDrag;
        e.pick = result.pick;
        e.has_pick = true;
    }
    curve_editor_redraw_area();
}

void area_motion(FmObject *obj, float mx, float my) {
    CurveEditor &e = curve_editor();
    const float dx = mx - e.last_x, dy = my - e.last_y;
    e.last_x = mx;
    e.last_y = my;
    if (e.gesture == CurveGesture::kNone) return;
    if (e.gesture != CurveGesture::kDrag) {
        apply_navigation(e.view, e.gesture, dx, dy);
        curve_editor_redraw_area();
        return;
    }
    if (!pick_is_live()) return;
    const float x = view_data_x(e.view, local_x(obj, mx));
    const float y = view_data_y(e.view, local_y(obj, my));
    const HermXY target = drag_target(e.pick, x, y, getbutton(kAltButton) != 0, scene_frames(), e.view.ux);
    if (e.pick.what != herm::kOnCurve) {
        apply_drag(e.pick, target);
        e.pick.x = target.x;
        e.pick.y = target.y;
        if (redraw_always()) call(hooks().redraw_views);
        show_point_fields(target.x, target.y, "%.4f");
    }
    curve_editor_redraw_area();
}

}  // namespace

void curve_editor_set_hooks(CurveEditorHooks h) { hooks() = std::move(h); }

CurveEditor &curve_editor() {
    static CurveEditor editor;
    return editor;
}

bool curve_editor_line_selected(int n) {
    CurveEditor &e = curve_editor();
    return e.list && n >= 1 && n <= line_count() && fm_isselected_browser_line(e.list, n);
}

std::vector<Herm *> curve_editor_displayed() {
    return collect_displayed_curves(curve_editor().entries, shown_lines());
}

int curve_area_handle(FmObject *obj, int event, float mx, float my, int key) {
    CurveEditor &e = curve_editor();
    switch (event) {
    case FM_DRAW: draw_curve_area(obj, e); break;
    case FM_PUSH: area_press(obj, mx, my, key); break;
    case FM_MOUSE: area_motion(obj, mx, my); break;
    case FM_RELEASE:
        if (e.gesture != CurveGesture::kNone) {
            e.gesture = CurveGesture::kNone;
            call(hooks().redraw_views);
        }
        break;
    case FM_KEYBOARD:
        if (key == 'a' || key == 'A') curve_editor_frame_all();
        break;
    default: break;
    }
    return 0;
}

FmForm *create_curve_editor() {
    CurveEditor &e = curve_editor();
    if (e.form) return e.form;
    e.form = fm_bgn_form(FM_FLAT_BOX, kCurveEditorWidth, kCurveEditorHeight);
    e.form->title = kTitle;
    e.area = fm_add_free(FM_INPUT_FREE, kCurveAreaX, kCurveAreaY, kCurveAreaWidth, kCurveAreaHeight, "",
                         curve_area_handle);

    // The tools, one radio group, in the order of their buttons.
    static constexpr struct {
        const char *label;
        CurveTool tool;
    } kTools[] = {{"Linear", CurveTool::kLinear}, {"Tangent", CurveTool::kTangent},
                  {"Contin", CurveTool::kContin}, {"Break", CurveTool::kBreak},
                  {"Move", CurveTool::kMove},     {"Delete", CurveTool::kDelete},
                  {"Insert", CurveTool::kInsert}};
    fm_bgn_group();
    float x = 5;
    for (const auto &t : kTools) {
        FmObject *b = fm_add_button(FM_RADIO_BUTTON, x, kToolY, kToolW, kRowH, t.label);
        fm_set_call_back(b, on_tool, static_cast<long>(t.tool));
        e.tools[static_cast<int>(t.tool)] = b;
        x += kToolW + kToolGap;
    }
    fm_end_group();

    e.frame_field = fm_add_input(FM_INT_INPUT, x + 50, kToolY, 70, kRowH, "Frame");
    e.value_field = fm_add_input(FM_FLOAT_INPUT, x + 175, kToolY, 90, kRowH, "Value");
    for (FmObject *field : {e.frame_field, e.value_field}) {
        fm_set_object_align(field, FM_ALIGN_LEFT);
        fm_set_call_back(field, on_point_field, 0);
    }
    e.close = fm_add_button(FM_NORMAL_BUTTON, kColumnX + 70, kToolY, 80, kRowH, "Close");
    fm_set_call_back(e.close, on_close, 0);
    fm_set_form_close(e.form, e.close);

    // The list with its source pair above and its buttons below.
    fm_bgn_group();
    const float half = kColumnW / 2;
    e.texture = fm_add_button(FM_RADIO_BUTTON, kColumnX, 342, half, kButtonH, "Texture");
    e.dynamics = fm_add_button(FM_RADIO_BUTTON, kColumnX + half, 342, half, kButtonH, "Dynamics");
    fm_end_group();
    fm_set_call_back(e.texture, on_source, 0);
    fm_set_call_back(e.dynamics, on_source, 0);
    e.list = fm_add_browser(FM_MULTI_BROWSER, kColumnX, 130, kColumnW, 208, "");
    fm_set_call_back(e.list, on_list, 0);
    const float quarter = kColumnW / 4;
    e.all = fm_add_button(FM_NORMAL_BUTTON, kColumnX, 100, quarter, kButtonH, "All");
    e.none = fm_add_button(FM_NORMAL_BUTTON, kColumnX + quarter, 100, quarter, kButtonH, "None");
    e.invert = fm_add_button(FM_NORMAL_BUTTON, kColumnX + 2 * quarter, 100, quarter, kButtonH, "Inv");
    e.del = fm_add_button(FM_NORMAL_BUTTON, kColumnX + 3 * quarter, 100, quarter, kButtonH, "Del");
    for (FmObject *b : {e.all, e.none, e.invert, e.del}) fm_set_call_back(b, on_selection_button, 0);
    e.animate = fm_add_button(FM_NORMAL_BUTTON, kColumnX, 70, half, kButtonH, "Animate");
    e.make_static = fm_add_button(FM_NORMAL_BUTTON, kColumnX + half, 70, half, kButtonH, "Static");
    fm_set_call_back(e.animate, on_animate, 0);
    fm_set_call_back(e.make_static, on_static, 0);
    e.help_timer = fm_add_timer(FM_HIDDEN_TIMER, 0, 0, 1, 1, "");
    fm_end_form();

    set_tool(CurveTool::kMove);
    fm_set_button(e.texture, 1);
    return e.form;
}

void fill_list() {
    CurveEditor &e = curve_editor();
    if (!e.list) return;
    if (e.listed == CurveListSource::kDynamics) {
        e.dynamics_selection.assign(static_cast<size_t>(line_count()), false);
        for (int i = 1; i <= line_count(); ++i) e.dynamics_selection[static_cast<size_t>(i - 1)] = curve_editor_line_selected(i);
    }
    e.entries = curve_list_entries(e.source, current_channel());
    e.listed = e.source;
    fm_freeze_object(e.list);
    fm_clear_browser(e.list);
    for (const CurveListEntry &entry : e.entries) fm_add_browser_line(e.list, entry_line_text(entry).c_str());
    if (e.source == CurveListSource::kDynamics) {
        for (size_t i = 0; i < e.entries.size() && i < e.dynamics_selection.size(); ++i)
            if (e.dynamics_selection[i]) fm_select_browser_line(e.list, static_cast<int>(i) + 1);
    } else {
        reselect_key_lines();
    }
    fm_unfreeze_object(e.list);
    if (!pick_is_live()) forget_point();
    curve_editor_redraw_area();
}

void curve_editor_frame_all() {
    CurveEditor &e = curve_editor();
    frame_all(e.view, curve_editor_displayed(), scene_frames());
    curve_editor_redraw_area();
}

void curve_editor_redraw_area() {
    CurveEditor &e = curve_editor();
    if (e.area) fm_redraw_object(e.area);
}

void curve_editor_show() {
    CurveEditor &e = curve_editor();
    create_curve_editor();
    fill_list();
    curve_editor_frame_all();
    fm_show_form(e.form, FM_PLACE_FREE, 1, kTitle);
}

void curve_editor_hide() {
    CurveEditor &e = curve_editor();
    if (e.form && e.form->visible) fm_hide_form(e.form);
}

bool curve_editor_shown() {
    const CurveEditor &e = curve_editor();
    return e.form && e.form->visible;
}

void curve_editor_toggle() {
    if (curve_editor_shown()) curve_editor_hide();
    else curve_editor_show();
}

}  // namespace vellimor
