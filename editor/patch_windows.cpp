// "Selected Patches settings" and "Dynamic Patches settings": settings of the selected patches,
// filled from the current patch and applied to every selected patch at once.
#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <span>

#include "editor/designer_callbacks.h"
#include "editor/designer_objects.h"
#include "editor/window_layout.h"
#include "editor/windows.h"
#include "fcurve/fcurve_autokey.h"
#include "forms/forms.h"
#include "furdata/display_settings.h"
#include "furdata/patch_data.h"
#include "hair/placement.h"
#include "hair/shadows.h"
#include "host/scene.h"
#include "render/scene_draw.h"

namespace vellimor {
namespace {

constexpr float kHilightSizeScale = 50.0f;

PatchData *current() {
    SceneState &s = scene_state();
    const int i = s.current_patch;
    return i >= 0 && i < int(s.patches.size()) ? s.patches[size_t(i)].get() : nullptr;
}

void for_each_selected(const std::function<void(int, PatchData &)> &fn) {
    SceneState &s = scene_state();
    for (int i = 0; i < int(s.patches.size()); ++i) {
        PatchData *p = s.patches[size_t(i)].get();
        if (p && p->is_selected && !p->deleted) fn(i, *p);
    }
}

FmObject *slider(float x, float y, float w, const char *label, float lo, float hi, FmCallback cb) {
    FmObject *s = fm_add_valslider(FM_HOR_SLIDER, x, y, w, 18, label);
    fm_set_object_align(s, FM_ALIGN_TOP);
    fm_set_slider_bounds(s, lo, hi);
    fm_set_call_back(s, cb, 0);
    return s;
}

FmObject *toggle(float x, float y, float w, const char *label, FmCallback cb) {
    FmObject *b = fm_add_lightbutton(FM_TOGGLE_BUTTON, x, y, w, 20, label);
    fm_set_call_back(b, cb, 0);
    return b;
}

FmObject *radio(float x, float y, float w, const char *label, FmCallback cb) {
    FmObject *b = fm_add_button(FM_RADIO_BUTTON, x, y, w, 20, label);
    fm_set_call_back(b, cb, 0);
    return b;
}

std::array<FmObject *, 6> mode_buttons(const SelectedWindowObjects &w) {
    return {w.mode_hidden, w.mode_wire, w.mode_shade, w.mode_textured, w.mode_zbuffer, w.mode_matte};
}

}  // namespace

void create_selected_window() {
    SelectedWindowObjects &w = designer_windows().selected;
    const FmCallback cb = selected_settings_callback;
    w.form = fm_bgn_form(FM_UP_BOX, 264, 356);
    w.allways_draw_hairs = toggle(8, 328, 248, "Allways draw hairs", cb);
    fm_add_text(0, 8, 306, 248, 18, "Display mode");
    fm_bgn_group();
    w.mode_wire = radio(8, 286, 80, "Wire", cb);
    w.mode_shade = radio(92, 286, 80, "Shade", cb);
    w.mode_textured = radio(176, 286, 80, "Textured", cb);
    w.mode_hidden = radio(8, 264, 80, "Hidden", cb);
    w.mode_zbuffer = radio(92, 264, 80, "Zbuffer", cb);
    w.mode_matte = radio(176, 264, 80, "Matte", cb);
    fm_end_group();
    fm_add_text(0, 8, 242, 248, 18, "Patch subdivisions");
    w.subdivisions_u = slider(24, 222, 232, "", 2, 100, cb);
    fm_set_object_label(w.subdivisions_u, "U");
    fm_set_object_align(w.subdivisions_u, FM_ALIGN_LEFT);
    w.subdivisions_v = slider(24, 200, 232, "V", 2, 100, cb);
    fm_set_object_align(w.subdivisions_v, FM_ALIGN_LEFT);
    fm_set_slider_step(w.subdivisions_u, 1);
    fm_set_slider_step(w.subdivisions_v, 1);
    w.shading = slider(8, 166, 120, "Shading", 0, 1, cb);
    w.hilights = slider(136, 166, 120, "Hilights", 0, 1, cb);
    w.hilight_size = slider(8, 132, 120, "Hilight size", 0, 1, cb);
    w.hilight_intensity = slider(136, 132, 120, "Hilight intensity", 0, 1, cb);
    w.shadow_resolution = slider(8, 98, 120, "Resolution", 2, 20, cb);
    w.shadow_levels = slider(136, 98, 120, "Levels", 1, 20, cb);
    for (FmObject *whole : {w.subdivisions_u, w.subdivisions_v, w.shadow_resolution, w.shadow_levels}) {
        fm_set_slider_step(whole, 1);
        fm_set_slider_precision(whole, 0);
    }
    w.ray_traced_shadows = toggle(8, 66, 248, "Ray traced shadows", cb);
    fm_bgn_group();
    w.exact = radio(8, 42, 122, "Exact", cb);
    w.smooth = radio(134, 42, 122, "Smooth", cb);
    fm_end_group();
    w.close = layout_button(FM_NORMAL_BUTTON, 8, 8, 248, 26, "Close", close_window_callback, kWindowSelected);
    w.help_timer = layout_help_timer();
    fm_end_form();
}

void selected_settings_fill() {
    SelectedWindowObjects &w = designer_windows().selected;
    const PatchData *p = current();
    const DisplaySettings *s = display_settings();
    if (!w.form || !p || !s) return;
    fm_freeze_form(w.form);
    fm_set_button(w.allways_draw_hairs, p->allways_draw_hairs);
    const auto modes = mode_buttons(w);
    for (size_t i = 0; i < modes.size(); ++i) fm_set_button(modes[i], p->Patch_display_mode == int(i));
    fm_set_slider_value(w.subdivisions_u, float(p->sub_res_u));
    fm_set_slider_value(w.subdivisions_v, float(p->sub_res_v));
    fm_set_slider_value(w.shading, float(s->shading));
    fm_set_slider_value(w.hilights, float(s->hilights));
    fm_set_slider_value(w.hilight_size, 1.0f - s->hilight_size / kHilightSizeScale);
    fm_set_slider_value(w.hilight_intensity, s->hilight_intensity);
    fm_set_slider_value(w.shadow_resolution, float(p->shadow_subdivision));
    fm_set_slider_value(w.shadow_levels, float(p->number_shadow_levels));
    fm_set_button(w.ray_traced_shadows, p->casts_shadow);
    fm_set_button(w.exact, p->shadow_exact != 0);
    fm_set_button(w.smooth, p->shadow_exact == 0);
    fm_unfreeze_form(w.form);
}

void selected_settings_callback(FmObject *obj, long) {
    SelectedWindowObjects &w = designer_windows().selected;
    DisplaySettings *s = display_settings();
    if (!s) return;
    bool rebuild_shadows = false;
    if (obj == w.shading) s->shading = int(std::lround(fm_get_slider_value(obj)));
    if (obj == w.hilights) s->hilights = int(std::lround(fm_get_slider_value(obj)));
    if (obj == w.hilight_size) s->hilight_size = (1.0f - fm_get_slider_value(obj)) * kHilightSizeScale;
    if (obj == w.hilight_intensity) s->hilight_intensity = fm_get_slider_value(obj);
    if (obj == w.ray_traced_shadows) s->ray_traced_shadows = fm_get_button(obj);
    const auto modes = mode_buttons(w);
    for_each_selected([&](int i, PatchData &p) {
        if (obj == w.allways_draw_hairs) p.allways_draw_hairs = fm_get_button(obj);
        for (size_t m = 0; m < modes.size(); ++m)
            if (obj == modes[m]) p.Patch_display_mode = int(m);
        if (obj == w.subdivisions_u || obj == w.subdivisions_v) {
            p.sub_res_u = std::max(2, int(std::lround(fm_get_slider_value(w.subdivisions_u))));
            p.sub_res_v = std::max(2, int(std::lround(fm_get_slider_value(w.subdivisions_v))));
            p.subdivision_dirty = 1;
            grow_fur(i, -1, 1);
        }
        if (obj == w.shadow_resolution || obj == w.shadow_levels || obj == w.ray_traced_shadows ||
            obj == w.exact || obj == w.smooth) {
            p.shadow_subdivision = short(std::max(2, int(std::lround(fm_get_slider_value(w.shadow_resolution)))));
            p.number_shadow_levels = short(std::max(1, int(std::lround(fm_get_slider_value(w.shadow_levels)))));
            p.casts_shadow = short(fm_get_button(w.ray_traced_shadows));
            p.shadow_exact = short(fm_get_button(w.exact));
            rebuild_shadows = true;
        }
    });
    if (rebuild_shadows) quant_patches();
    redraw_graphics_view();
}

// Dynamic patches window ---------------------------------------------------------------------

namespace {

struct WindRowLayout {
    const char *label;
    int sliders;
};
constexpr std::array<WindRowLayout, kWindRows> kWindRowLayouts = {{
    {"Color", 3}, {"Length", 1}, {"Wave", 1}, {"Dir", 2}, {"Bend", 2}, {"Gravity", 1}, {"Accel.", 2}, {"Veolcity", 2},
}};

// Autokeys a group at the current frame when "Autokey FCurves" is on.
void autokey(int fcurve_id, int components, const float *values) {
    if (fcurve_id == 0) return;
    const DisplaySettings *s = display_settings();
    fcurve_autokey(fcurve_id, scene_state().current_frame, std::span<const float>(values, size_t(components)),
                   s ? s->autokey_fcurves : 0);
}

void write_value(ValueGroup &g, int on, float value) {
    g.active = on;
    g.value = value;
    autokey(g.fcurve_id, 1, &g.value);
}

void write_random(RandomValueGroup &g, int on, float value, float random) {
    g.active = on;
    g.value = value;
    g.random = random;
    const float values[2] = {value, random};
    autokey(g.fcurve_id, 2, values);
}

void write_uv(UVGroup &g, int on, float u, float v) {
    g.active = on;
    g.valueU = u;
    g.valueV = v;
    const float values[2] = {u, v};
    autokey(g.fcurve_id, 2, values);
}

float value_of(const WindRowObjects &row, int k) { return row.slider[size_t(k)] ? fm_get_slider_value(row.slider[size_t(k)]) : 0.0f; }

}  // namespace

void create_dynamic_window() {
    DynamicWindowObjects &w = designer_windows().dynamic;
    const FmCallback cb = dynamic_settings_callback;
    w.form = fm_bgn_form(FM_UP_BOX, 264, 524);
    w.velocity = toggle(8, 498, 100, "Velocity", cb);
    w.velocity_scale = slider(112, 500, 144, "", -4, 4, cb);
    w.acceleration = toggle(8, 474, 100, "Acceleration", cb);
    w.acceleration_scale = slider(112, 476, 144, "", -4, 4, cb);
    w.smooth_velocity = toggle(8, 450, 100, "Smooth vel", cb);
    w.smooth_velocity_count = fm_add_counter(FM_SIMPLE_COUNTER, 112, 450, 144, 20, "");
    w.smooth_acceleration = toggle(8, 426, 100, "Smooth acc", cb);
    w.smooth_acceleration_count = fm_add_counter(FM_SIMPLE_COUNTER, 112, 426, 144, 20, "");
    for (FmObject *c : {w.smooth_velocity_count, w.smooth_acceleration_count}) {
        fm_set_counter_bounds(c, 1, 20);
        fm_set_counter_step(c, 1, 5);
        fm_set_counter_precision(c, 0);
        fm_set_call_back(c, cb, 0);
    }
    fm_add_text(0, 8, 402, 248, 20, "Wind");
    float y = 380;
    for (size_t r = 0; r < kWindRows; ++r) {
        const WindRowLayout &layout = kWindRowLayouts[r];
        WindRowObjects &row = w.wind[r];
        row.on = toggle(8, y, 72, layout.label, cb);
        const float width = 150.0f / float(layout.sliders);
        for (int k = 0; k < layout.sliders; ++k) {
            row.slider[size_t(k)] = fm_add_slider(FM_HOR_SLIDER, 82 + width * float(k), y + 2, width - 2, 16, "");
            fm_set_slider_bounds(row.slider[size_t(k)], r == kWindColor ? 0.0f : -1.0f, 1.0f);
            fm_set_call_back(row.slider[size_t(k)], cb, 0);
        }
        row.reset = layout_button(FM_NORMAL_BUTTON, 234, y, 22, 20, "R", cb, 0);
        y -= 24;
    }
    w.frequency_scale = slider(8, y - 14, 120, "Frequency scale", 0, 4, cb);
    w.speed_scale = slider(136, y - 14, 120, "Speed scale", 0, 4, cb);
    w.move_with_geometry = toggle(8, 44, 248, "Move with geometry", cb);
    w.close = layout_button(FM_NORMAL_BUTTON, 8, 8, 248, 26, "Close", close_window_callback, kWindowDynamic);
    w.help_timer = layout_help_timer();
    fm_end_form();
}

void dynamic_settings_fill() {
    DynamicWindowObjects &w = designer_windows().dynamic;
    const PatchData *p = current();
    if (!w.form || !p) return;
    fm_freeze_form(w.form);
    fm_set_button(w.velocity, p->velocity_scale.active);
    fm_set_slider_value(w.velocity_scale, p->velocity_scale.value);
    fm_set_button(w.acceleration, p->acceleration_scale.active);
    fm_set_slider_value(w.acceleration_scale, p->acceleration_scale.value);
    fm_set_button(w.smooth_velocity, p->calc_velocity_smooth);
    fm_set_counter_value(w.smooth_velocity_count, float(p->velocity_smooth));
    fm_set_button(w.smooth_acceleration, p->calc_acceleration_smooth);
    fm_set_counter_value(w.smooth_acceleration_count, float(p->acceleration_smooth));
    auto set = [&](WindRow r, int on, std::initializer_list<float> values) {
        WindRowObjects &row = w.wind[size_t(r)];
        fm_set_button(row.on, on);
        int k = 0;
        for (float v : values) {
            if (row.slider[size_t(k)]) fm_set_slider_value(row.slider[size_t(k)], v);
            ++k;
        }
    };
    set(kWindColor, p->wind_color.active, {p->wind_color.R, p->wind_color.G, p->wind_color.B});
    set(kWindLength, p->wind_length.active, {p->wind_length.value});
    set(kWindWave, p->wind_curl.active, {p->wind_curl.value});
    set(kWindDir, p->wind_grow.active, {p->wind_grow.valueU, p->wind_grow.valueV});
    set(kWindBend, p->wind_bend.active, {p->wind_bend.valueU, p->wind_bend.valueV});
    set(kWindGravity, p->wind_gravity.active, {p->wind_gravity.value});
    set(kWindAccel, p->wind_acceleration.active, {p->wind_acceleration.value, p->wind_acceleration.random});
    set(kWindVelocity, p->wind_velocity.active, {p->wind_velocity.value, p->wind_velocity.random});
    fm_set_slider_value(w.frequency_scale, p->wind_frequency_scale.value);
    fm_set_slider_value(w.speed_scale, p->wind_speed_scale.value);
    fm_set_button(w.move_with_geometry, p->wind_move_with_geometry);
    fm_unfreeze_form(w.form);
}

void dynamic_settings_callback(FmObject *obj, long) {
    DynamicWindowObjects &w = designer_windows().dynamic;
    // "R" sets its row back to zero before the row is written.
    for (WindRowObjects &row : w.wind) {
        if (obj != row.reset) continue;
        for (FmObject *s : row.slider)
            if (s) fm_set_slider_value(s, 0.0f);
    }
    const auto &row = [&](WindRow r) -> const WindRowObjects & { return w.wind[size_t(r)]; };
    const auto on = [&](WindRow r) { return fm_get_button(row(r).on); };
    for_each_selected([&](int, PatchData &p) {
        p.velocity_scale.active = fm_get_button(w.velocity);
        write_value(p.velocity_scale, p.velocity_scale.active, fm_get_slider_value(w.velocity_scale));
        write_value(p.acceleration_scale, fm_get_button(w.acceleration), fm_get_slider_value(w.acceleration_scale));
        p.calc_velocity_smooth = fm_get_button(w.smooth_velocity);
        p.velocity_smooth = std::max(1, int(std::lround(fm_get_counter_value(w.smooth_velocity_count))));
        p.calc_acceleration_smooth = fm_get_button(w.smooth_acceleration);
        p.acceleration_smooth = std::max(1, int(std::lround(fm_get_counter_value(w.smooth_acceleration_count))));
        p.wind_color.active = on(kWindColor);
        p.wind_color.R = value_of(row(kWindColor), 0);
        p.wind_color.G = value_of(row(kWindColor), 1);
        p.wind_color.B = value_of(row(kWindColor), 2);
        const float color[3] = {p.wind_color.R, p.wind_color.G, p.wind_color.B};
        autokey(p.wind_color.fcurve_id, 3, color);
        write_value(p.wind_length, on(kWindLength), value_of(row(kWindLength), 0));
        write_value(p.wind_curl, on(kWindWave), value_of(row(kWindWave), 0));
        write_uv(p.wind_grow, on(kWindDir), value_of(row(kWindDir), 0), value_of(row(kWindDir), 1));
        write_uv(p.wind_bend, on(kWindBend), value_of(row(kWindBend), 0), value_of(row(kWindBend), 1));
        write_value(p.wind_gravity, on(kWindGravity), value_of(row(kWindGravity), 0));
        write_random(p.wind_acceleration, on(kWindAccel), value_of(row(kWindAccel), 0), value_of(row(kWindAccel), 1));
        write_random(p.wind_velocity, on(kWindVelocity), value_of(row(kWindVelocity), 0), value_of(row(kWindVelocity), 1));
        write_value(p.wind_frequency_scale, p.wind_frequency_scale.active, fm_get_slider_value(w.frequency_scale));
        write_value(p.wind_speed_scale, p.wind_speed_scale.active, fm_get_slider_value(w.speed_scale));
        p.wind_move_with_geometry = fm_get_button(w.move_with_geometry);
        p.dynamics_valid = 0;
    });
    redraw_graphics_view();
}

}  // namespace vellimor
