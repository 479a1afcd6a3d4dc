#include "editor/keymap_editor.h"

#include <GL/freeglut.h>

#include <algorithm>
#include <bit>
#include <cctype>
#include <cmath>
#include <numbers>

#include "editor/color_editor.h"
#include "editor/designer_objects.h"
#include "editor/keymap_commands.h"
#include "editor/texture_file_select.h"
#include "forms/forms.h"
#include "furdata/display_settings.h"
#include "hair/channel_maps.h"
#include "host/scene.h"
#include "host/status.h"

namespace vellimor {

namespace {

enum Gesture { kNoGesture, kPan, kZoomIn, kZoomOut, kBand, kMoving, kShaping };

constexpr int kLeft = 1, kMiddle = 2, kRight = 3;
constexpr float kMarkerHalf = 3.0f;  // key markers are 7 x 7 pixels
constexpr float kBackground = 0.4f;  // grey of the area around the map

struct AreaState {
    KeyMapView view;
    Gesture gesture = kNoGesture;
    int band_mode = 0;
    MapPoint band_start, pointer;
    bool direction_handle = false;
    float last_mx = 0.0f, last_my = 0.0f;
};

AreaState &area() {
    static AreaState state;
    return state;
}

MainWindowObjects &objects() { return designer_windows().main; }

PatchData &record_of(int p) { return *scene_state().patches[size_t(p)]; }

// Letters are asked for in lower case: some upper-case codes name other keys ('S' is 83, the
// code of the space bar).
bool held(char letter) { return getbutton(std::tolower(static_cast<unsigned char>(letter))) != 0; }

int show_flags_fallback[kChannelCount] = {};
ChannelView channel_view() {
    const DisplaySettings *settings = display_settings();
    return {editor_state().current_channel, settings ? settings->show_channel : show_flags_fallback};
}

// The area's pixel of a form position, and the map point under it.
MapPoint map_point(const FmObject *obj, float mx, float my) {
    return area().view.to_map(mx - obj->x, my - obj->y, obj->w, obj->h);
}

void screen_point(const FmObject *obj, float u, float v, float *x, float *y) {
    area().view.to_pixel(u, v, obj->w, obj->h, x, y);
    *x += obj->x;
    *y += obj->y;
}

void refresh_visibility() {
    const ChannelView view = channel_view();
    for (int p : selected_surfaces()) update_key_visibility(record_of(p), view);
    if (PatchData *current = current_record()) update_key_visibility(*current, view);
}

void redraw_after_edit() {
    redraw_keymap();
    const DisplaySettings *settings = display_settings();
    if (settings && settings->redraw_always) redraw_graphics_view();
}

// --- Drawing -------------------------------------------------------------------------------

float grey_of(float value, float lo, float hi) {
    if (!(hi > lo)) return 0.55f;
    return 0.25f + 0.6f * (value - lo) / (hi - lo);
}

// Cell (row r, column c) of a map sits at u = c·s, v = r·s; it is drawn centred there.
template <class CellColor>
void draw_map_cells(const FmObject *obj, int res, CellColor color) {
    if (res < 3) return;
    const float s = 1.0f / float(res - 2);
    glBegin(GL_QUADS);
    for (int r = 0; r < res; ++r) {
        for (int c = 0; c < res; ++c) {
            float rgb[3];
            color(std::size_t(r) * res + c, rgb);
            glColor3fv(rgb);
            float x0, y0, x1, y1;
            screen_point(obj, (c - 0.5f) * s, (r - 0.5f) * s, &x0, &y0);
            screen_point(obj, (c + 0.5f) * s, (r + 0.5f) * s, &x1, &y1);
            glVertex2f(x0, y0);
            glVertex2f(x1, y0);
            glVertex2f(x1, y1);
            glVertex2f(x0, y1);
        }
    }
    glEnd();
}

void draw_channel_map(const FmObject *obj, PatchData &record) {
    const int channel = editor_state().current_channel;
    if (channel == kChannelColor) {
        const int t = editor_state().current_color_type;
        const int k = std::clamp(editor_state().current_color_key[t], 0, record.nbColorKeys[t] - 1);
        const MainColorKey &key = record.main_color_keys[t][k];
        const int res = key.map_res;
        if (res < 1 || key.color_map.size() < std::size_t(res) * res) return;
        if (t == kColorThickness) {
            float hi = 0.0f;
            for (uint32_t bits : key.color_map) hi = std::max(hi, std::bit_cast<float>(bits));
            draw_map_cells(obj, res, [&](std::size_t cell, float *rgb) {
                rgb[0] = rgb[1] = rgb[2] = grey_of(std::bit_cast<float>(key.color_map[cell]), 0, hi);
            });
            return;
        }
        draw_map_cells(obj, res, [&](std::size_t cell, float *rgb) {
            const uint32_t packed = key.color_map[cell];
            for (int i = 0; i < 3; ++i) rgb[i] = float((packed >> (24 - 8 * i)) & 0xFFu) / 255.0f;
        });
        return;
    }
    RecordChannelMap m = record_channel_map(record, channel);
    const std::size_t cells = std::size_t(std::max(m.res, 0)) * std::size_t(std::max(m.res, 0));
    if (m.res < 1 || m.map_a.size() < cells) return;
    if (m.map_b && m.map_b->size() >= cells) {
        float largest = 0.0f;
        for (std::size_t i = 0; i < cells; ++i)
            largest = std::max({largest, std::fabs(m.map_a[i]), std::fabs((*m.map_b)[i])});
        draw_map_cells(obj, m.res, [&](std::size_t cell, float *rgb) {
            rgb[0] = grey_of(m.map_a[cell], -largest, largest);
            rgb[1] = grey_of((*m.map_b)[cell], -largest, largest);
            rgb[2] = 0.55f;
        });
        return;
    }
    const auto [lo, hi] = std::minmax_element(m.map_a.begin(), m.map_a.begin() + long(cells));
    draw_map_cells(obj, m.res, [&](std::size_t cell, float *rgb) {
        rgb[0] = rgb[1] = rgb[2] = grey_of(m.map_a[cell], *lo, *hi);
    });
}

void draw_key_shape(const FmObject *obj, const TextureKey &key) {
    const float pixels_per_u = area().view.su * obj->w, pixels_per_v = area().view.sv * obj->h;
    float cx, cy;
    screen_point(obj, key.u, key.v, &cx, &cy);
    glBegin(GL_LINE_LOOP);
    switch (key.key_mode) {
    case kShapeCircle:
        for (int i = 0; i < 48; ++i) {
            const float a = 2.0f * std::numbers::pi_v<float> * float(i) / 48.0f;
            glVertex2f(cx + key.w * pixels_per_u * std::cos(a), cy + key.w * pixels_per_v * std::sin(a));
        }
        break;
    case kShapeBox:
    case kShapeDirected: {
        const float a = key.key_mode == kShapeDirected ? key.ang : 0.0f;
        const float corner_x[4] = {-key.w, -key.w, key.w, key.w};
        const float corner_y[4] = {-key.h, key.h, key.h, -key.h};
        for (int i = 0; i < 4; ++i) {
            const float x = corner_x[i] * std::cos(a) - corner_y[i] * std::sin(a);
            const float y = corner_x[i] * std::sin(a) + corner_y[i] * std::cos(a);
            glVertex2f(cx + x * pixels_per_u, cy + y * pixels_per_v);
        }
        break;
    }
    default: break;
    }
    glEnd();
    if (key.key_mode == kShapeDirected) {
        glBegin(GL_LINES);
        glVertex2f(cx, cy);
        glVertex2f(cx + 0.2f * std::cos(key.ang) * pixels_per_u, cy + 0.2f * std::sin(key.ang) * pixels_per_v);
        glEnd();
    }
}

void draw_keys(const FmObject *obj, PatchData &record, bool current) {
    const ChannelView view = channel_view();
    update_key_visibility(record, view);
    int position = 0;
    for (const TextureKey &key : record.texture_keys) {
        ++position;
        if (!key.visible) continue;
        float x, y;
        screen_point(obj, key.u, key.v, &x, &y);
        if (current) {
            key.selected ? glColor3f(1, 0, 0) : glColor3f(1, 1, 0);
        } else {
            key.selected ? glColor3f(1, 0, 1) : glColor3f(0, 1, 1);
        }
        draw_key_shape(obj, key);
        glRectf(x - kMarkerHalf, y - kMarkerHalf, x + kMarkerHalf + 1, y + kMarkerHalf + 1);
        fm_draw_text(FM_ALIGN_LEFT, x + 5, y + 2, 60, 12, FM_BLACK, 9, FM_NORMAL_STYLE,
                     key_label(key, position, view));
    }
}

void draw_area(FmObject *obj) {
    glEnable(GL_SCISSOR_TEST);
    glScissor(int(std::lround(obj->x)), int(std::lround(obj->y)), int(std::lround(obj->w)),
              int(std::lround(obj->h)));
    glClearColor(kBackground, kBackground, kBackground, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    PatchData *current = current_record();
    if (current) {
        update_channel_maps(scene_state().current_patch);
        draw_channel_map(obj, *current);
    }
    float x0, y0, x1, y1;
    screen_point(obj, 0, 0, &x0, &y0);
    screen_point(obj, 1, 1, &x1, &y1);
    glColor3f(0, 0, 0);
    glBegin(GL_LINE_LOOP);
    glVertex2f(x0, y0);
    glVertex2f(x1, y0);
    glVertex2f(x1, y1);
    glVertex2f(x0, y1);
    glEnd();
    if (current) {
        for (int p : selected_surfaces())
            if (&record_of(p) != current) draw_keys(obj, record_of(p), false);
        draw_keys(obj, *current, true);
    }
    if (area().gesture == kBand) {
        float bx0, by0, bx1, by1;
        screen_point(obj, area().band_start.u, area().band_start.v, &bx0, &by0);
        screen_point(obj, area().pointer.u, area().pointer.v, &bx1, &by1);
        glColor3f(1, 1, 1);
        glBegin(GL_LINE_LOOP);
        glVertex2f(bx0, by0);
        glVertex2f(bx1, by0);
        glVertex2f(bx1, by1);
        glVertex2f(bx0, by1);
        glEnd();
    }
    glDisable(GL_SCISSOR_TEST);
}

// --- Gestures ------------------------------------------------------------------------------

void unselect_all_selected() {
    for (int p : selected_surfaces()) unselect_all(record_of(p));
}

void pick_in_selected(MapPoint at, int mode) {
    refresh_visibility();
    for (int p : selected_surfaces()) pick_key(record_of(p), at, area().view.pick_radius(), mode);
}

// Places the system pointer on the first selected key of the current surface (or its handle).
void move_pointer_to_key(const FmObject *obj, bool direction) {
    const DisplaySettings *settings = display_settings();
    if (settings && !settings->move_mouse) return;
    PatchData *current = current_record();
    if (!current) {
        status_message(kStatusWarning, "You must use select an object");
        return;
    }
    TextureKey *key = first_selected_key(*current);
    if (!key || !obj->form || obj->form->window < 0 || fm_headless()) return;
    const MapPoint handle = key_handle(*key, direction);
    float x, y;
    screen_point(obj, handle.u, handle.v, &x, &y);
    glutSetWindow(obj->form->window);
    const float sx = obj->form->window_w / obj->form->w, sy = obj->form->window_h / obj->form->h;
    glutWarpPointer(int(std::lround(x * sx)), int(std::lround(obj->form->window_h - y * sy)));
}

KeyEditSettings edit_settings() {
    const MainWindowObjects &m = objects();
    KeyEditSettings settings;
    for (int row = 0; row < kChannelCount; ++row)
        if (m.channel_add[row]) settings.add[kChannelOfRow[row]] = fm_get_button(m.channel_add[row]) != 0;
    auto random = [](FmObject *slider) { return slider ? pair_get(slider) : 0.0f; };
    settings.random[kChannelLength] = random(m.length_random);
    settings.random[kChannelCurl] = random(m.wave_random);
    settings.random[kChannelGrow] = random(m.direction_random);
    settings.random[kChannelBend] = random(m.direction_random);
    settings.random[kChannelSegments] = random(m.segments_random);
    settings.random[kChannelGravity] = random(m.gravity_random);
    settings.random[kChannelDensity] = random(m.density_random);
    settings.color_type = editor_state().current_color_type;
    return settings;
}

// The rules for a press with no key held apply only then: a letter held that names no gesture
// (M with the middle button, say) does nothing.
bool any_letter_held() {
    for (char c = 'A'; c <= 'Z'; ++c)
        if (held(c)) return true;
    return false;
}

int shape_of_letter() {
    if (held('R')) return kShapeCircle;
    if (held('B')) return kShapeBox;
    if (held('V')) return kShapeDirected;
    return -1;
}

bool press(FmObject *obj, MapPoint at, int button) {
    AreaState &a = area();
    a.pointer = at;
    if (held('Z')) {
        a.gesture = button == kLeft ? kPan : button == kMiddle ? kZoomIn : kZoomOut;
        return false;
    }
    if (held('T')) {
        a.gesture = kBand;
        a.band_mode = button == kLeft ? kPickSelect : button == kMiddle ? kPickUnselect : kPickToggle;
        a.band_start = clamp_to_map(at);
        a.pointer = a.band_start;
        return false;
    }
    if (held('M') && button == kLeft) {
        unselect_all_selected();
        pick_in_selected(at, kPickSelect);
        move_pointer_to_key(obj, false);
        a.gesture = kMoving;
        return true;
    }
    if (const int shape = shape_of_letter(); shape >= 0) {
        unselect_all_selected();
        pick_in_selected(at, kPickSelect);
        for (int p : selected_surfaces())
            for (TextureKey &key : record_of(p).texture_keys)
                if (key.selected) {
                    key.key_mode = button == kMiddle ? int(kShapePoint) : shape;
                    mark_key_channels_dirty(record_of(p), key);
                }
        if (button != kMiddle) {
            a.direction_handle = button == kRight && shape == kShapeDirected;
            move_pointer_to_key(obj, a.direction_handle);
            a.gesture = kShaping;
        }
        return true;
    }
    if (held('S')) {
        if (button == kMiddle) unselect_all_selected();
        pick_in_selected(at, kPickToggle);
        return true;
    }
    if (getbutton(62)) {  // Delete
        unselect_all_selected();
        pick_in_selected(at, kPickSelect);
        keymap_remove_channels(true, editor_state().current_color_type);
        redraw_graphics_view();
        return true;
    }
    if (any_letter_held()) return false;
    if (button == kLeft) {
        if (keymap_add_keys(clamp_to_map(at), edit_settings())) a.gesture = kMoving;
        return true;
    }
    if (button == kMiddle) {
        keymap_remove_channels(false, editor_state().current_color_type);
        redraw_graphics_view();
        return true;
    }
    return false;
}

void motion(FmObject *obj, float mx, float my) {
    AreaState &a = area();
    const float dx = mx - a.last_mx, dy = my - a.last_my;
    if (dx == 0.0f && dy == 0.0f) return;  // only real motion counts
    const MapPoint at = map_point(obj, mx, my);
    switch (a.gesture) {
    case kPan: a.view.pan(dx, dy, obj->w, obj->h); break;
    case kZoomIn:
    case kZoomOut: a.view.zoom(a.gesture == kZoomIn, mx - obj->x, my - obj->y, obj->w, obj->h); break;
    case kBand: a.pointer = clamp_to_map(at); break;
    case kMoving:
        for (int p : selected_surfaces()) move_selected_keys(record_of(p), at);
        redraw_after_edit();
        break;
    case kShaping:
        for (int p : selected_surfaces()) drag_key_shapes(record_of(p), at, a.direction_handle);
        redraw_after_edit();
        break;
    default: return;
    }
    redraw_keymap();
}

void release() {
    AreaState &a = area();
    if (a.gesture == kBand) {
        refresh_visibility();
        for (int p : selected_surfaces()) box_select(record_of(p), a.band_start, a.pointer, a.band_mode);
        keymap_load_sliders();
    }
    if (a.gesture == kMoving || a.gesture == kShaping) {
        for (int p : selected_surfaces()) mark_selected_keys_dirty(record_of(p));
        redraw_graphics_view();
    }
    a.gesture = kNoGesture;
    redraw_keymap();
}

// --- Channel column and the controls below it ----------------------------------------------

// The main colour key a colour row's command works on.
int current_color_key_index() {
    const int t = editor_state().current_color_type;
    return editor_state().current_color_key[size_t(t)];
}

void show_map_resolution() {
    const MainWindowObjects &m = objects();
    PatchData *current = current_record();
    if (!current || !m.map_resolution) return;
    const int channel = editor_state().current_channel;
    int res = 50, interp = 0;
    if (channel == kChannelColor) {
        const int t = editor_state().current_color_type;
        const MainColorKey &key = current->main_color_keys[t][std::clamp(current_color_key_index(), 0, kMaxColorKeys - 1)];
        res = key.map_res;
        interp = key.map_interp;
    } else {
        RecordChannelMap map = record_channel_map(*current, channel);
        res = map.res;
        interp = map.interp;
    }
    float lo, hi;
    fm_get_slider_bounds(m.map_resolution, &lo, &hi);
    if (float(res) > hi) fm_set_slider_bounds(m.map_resolution, lo, float(res));
    pair_set(m.map_resolution, float(res));
    if (m.interp) fm_set_button(m.interp, interp);
}

void channel_callback(FmObject *obj, long channel) {
    editor_state().current_channel = int(channel);
    show_map_resolution();
    redraw_keymap();
    refresh_curve_list();
}

void texture_callback(FmObject *obj, long channel) {
    const int t = editor_state().current_color_type;
    const int k = current_color_key_index();
    const bool on = fm_get_button(obj) != 0;
    if (getbutton(1)) {  // Shift: save the map instead; the button keeps its state
        fm_set_button(obj, on ? 0 : 1);
        keymap_save_map_picture(int(channel), t, k, texture_file_choose_output);
        return;
    }
    const bool changed = on ? keymap_picture_on(int(channel), t, k, texture_file_choose)
                            : keymap_picture_off(int(channel), t, k);
    if (!changed && on) fm_set_button(obj, 0);
    PatchData *current = current_record();
    if (current) fm_set_button(obj, channel_uses_picture(*current, int(channel), t, k));
    show_map_resolution();
    redraw_views();
}

// The colour panel's "Picture": what the Color row's "T" does for the selected colour key.
void color_picture_callback(FmObject *obj, long) {
    texture_callback(obj, kChannelColor);
    if (FmObject *row_t = objects().channel_texture[size_t(channel_row(kChannelColor))])
        fm_set_button(row_t, fm_get_button(obj));
}

void key_callback(FmObject *obj, long channel) {
    const std::vector<int> restored =
        keymap_apply_channel(int(channel), fm_get_button(obj) != 0, edit_settings());
    for (int c : restored) fm_set_button(objects().channel_key[size_t(channel_row(c))], 1);
    keymap_load_sliders();
    redraw_views();
}

void show_callback(FmObject *obj, long channel) {
    if (DisplaySettings *settings = display_settings())
        settings->show_channel[channel] = fm_get_button(obj) ? 1 : 0;
    redraw_keymap();
}

void map_resolution_callback(FmObject *, long) {
    if (!pair_values_valid()) return;
    const MainWindowObjects &m = objects();
    float lo, hi;
    fm_get_slider_bounds(m.map_resolution, &lo, &hi);
    if (hi < 2.0f) fm_set_slider_bounds(m.map_resolution, lo, 2.0f);
    keymap_map_resolution(pair_get(m.map_resolution), m.interp && fm_get_button(m.interp),
                          editor_state().current_channel, editor_state().current_color_type);
    redraw_views();
}

void tile_callback(FmObject *, long) {
    const MainWindowObjects &m = objects();
    if (keymap_tile(fm_get_button(m.tile_u) != 0, fm_get_button(m.tile_v) != 0)) {
        redraw_keymap();
        redraw_graphics_view();
    }
}

void flip_callback(FmObject *, long in_u) {
    if (keymap_flip(in_u != 0)) redraw_views();
}

void copy_object_callback(FmObject *, long) { keymap_copy_object(); }

void paste_object_callback(FmObject *, long) {
    if (keymap_paste_object()) selection_sync(1);
}

// --- Slider panel --------------------------------------------------------------------------

enum SliderPart { kPartValue, kPartRandom, kPartU, kPartV };

// The channel the positioner and the direction random slider edit: bend when "Bend" is on.
int direction_channel() {
    const MainWindowObjects &m = objects();
    return m.edit_bend && fm_get_button(m.edit_bend) ? kChannelBend : kChannelGrow;
}

void channel_slider_changed(int channel, const ChannelValues &values) {
    if (keymap_channel_values(channel, values)) {
        redraw_graphics_view();
        if (editor_state().current_channel == channel) redraw_keymap();
    }
}

void value_slider_callback(FmObject *obj, long packed) {
    if (!pair_values_valid()) return;
    const int channel = int(packed & 0xFF), part = int(packed >> 8);
    ChannelValues values;
    (part == kPartRandom ? values.random : values.value) = pair_get(obj);
    channel_slider_changed(channel, values);
}

void positioner_callback(FmObject *obj, long) {
    ChannelValues values;
    values.value = fm_get_positioner_xvalue(obj);
    values.value_v = fm_get_positioner_yvalue(obj);
    channel_slider_changed(direction_channel(), values);
}

void direction_random_callback(FmObject *obj, long) {
    if (!pair_values_valid()) return;
    ChannelValues values;
    values.random = pair_get(obj);
    channel_slider_changed(direction_channel(), values);
}

void uv_field_callback(FmObject *obj, long packed) {
    const int channel = int(packed & 0xFF), part = int(packed >> 8);
    const std::optional<float> number = field_number(obj);
    if (!number) {
        keymap_load_sliders();
        return;
    }
    ChannelValues values;
    (part == kPartU ? values.value : values.value_v) = *number;
    channel_slider_changed(channel, values);
}

void positioner_mode_callback(FmObject *, long) {
    keymap_load_sliders();
}

// "M": the numeric direction and bend fields in place of the positioner, or back.
void direction_fields_callback(FmObject *obj, long) {
    MainWindowObjects &m = objects();
    const bool fields = fm_get_button(obj) != 0;
    fm_freeze_form(m.form);
    for (FmObject *field : {m.dir_u_field, m.dir_v_field, m.bend_u_field, m.bend_v_field})
        if (field) fields ? fm_show_object(field) : fm_hide_object(field);
    if (m.direction) fields ? fm_hide_object(m.direction) : fm_show_object(m.direction);
    fm_unfreeze_form(m.form);
    keymap_load_sliders();
}

void set_callback(FmObject *obj, FmCallback callback, long argument) {
    if (obj) fm_set_call_back(obj, callback, argument);
}

long slider_argument(int channel, int part) { return long(channel) | (long(part) << 8); }

}  // namespace

KeyMapView &keymap_view() { return area().view; }

int keymap_area_handle(FmObject *obj, int event, float mx, float my, int key) {
    AreaState &a = area();
    switch (event) {
    case FM_DRAW: draw_area(obj); return 0;
    case FM_PUSH: {
        a.last_mx = mx;
        a.last_my = my;
        if (press(obj, map_point(obj, mx, my), key)) keymap_load_sliders();
        redraw_keymap();
        return 0;
    }
    case FM_MOUSE:
        motion(obj, mx, my);
        a.last_mx = mx;
        a.last_my = my;
        return 0;
    case FM_RELEASE: release(); return 0;
    case FM_KEYBOARD:
        if (key == 'a' || key == 'A') {
            a.view.reset();
            redraw_keymap();
        }
        return 0;
    default: return 0;
    }
}

void keymap_load_sliders() {
    PatchData *current = current_record();
    if (!current) return;
    const MainWindowObjects &m = objects();
    struct Row {
        int channel;
        FmObject *value, *random;
    };
    const Row rows[] = {{kChannelLength, m.length, m.length_random},
                        {kChannelCurl, m.wave, m.wave_random},
                        {kChannelGravity, m.gravity, m.gravity_random},
                        {kChannelSegments, m.segments, m.segments_random},
                        {kChannelDensity, m.density, m.density_random}};
    for (const Row &row : rows) {
        const ChannelSliders shown = channel_sliders(*current, row.channel);
        if (!shown.found) continue;
        if (row.value) pair_set(row.value, shown.value);
        if (row.random && !shown.from_picture) pair_set(row.random, shown.random);
    }
    const ChannelSliders direction = channel_sliders(*current, direction_channel());
    if (direction.found && m.direction) {
        fm_set_positioner_xvalue(m.direction, direction.value);
        fm_set_positioner_yvalue(m.direction, direction.value_v);
        if (m.direction_random && !direction.from_picture) pair_set(m.direction_random, direction.random);
    }
    auto set_field = [](FmObject *field, float value) {
        if (field) fm_set_input(field, pair_format(value, 3).c_str());
    };
    const ChannelSliders grow = channel_sliders(*current, kChannelGrow);
    if (grow.found) {
        set_field(m.dir_u_field, grow.value);
        set_field(m.dir_v_field, grow.value_v);
    }
    const ChannelSliders bend = channel_sliders(*current, kChannelBend);
    if (bend.found) {
        set_field(m.bend_u_field, bend.value);
        set_field(m.bend_v_field, bend.value_v);
    }
    redraw_color_area();  // its sliders follow the displayed key
    refresh_curve_list();
}

void keymap_editor_attach() {
    MainWindowObjects &m = objects();
    if (m.keymap_area) m.keymap_area->handle = keymap_area_handle;
    for (int row = 0; row < kChannelRows; ++row) {
        const long channel = kChannelOfRow[size_t(row)];
        set_callback(m.channel[size_t(row)], channel_callback, channel);
        set_callback(m.channel_texture[size_t(row)], texture_callback, channel);
        set_callback(m.channel_key[size_t(row)], key_callback, channel);
        set_callback(m.channel_show[size_t(row)], show_callback, channel);
    }
    set_callback(m.map_resolution, map_resolution_callback, 0);
    set_callback(m.interp, map_resolution_callback, 0);
    set_callback(m.tile_u, tile_callback, 0);
    set_callback(m.tile_v, tile_callback, 0);
    set_callback(m.flip_u, flip_callback, 1);
    set_callback(m.flip_v, flip_callback, 0);
    set_callback(m.copy_object, copy_object_callback, 0);
    set_callback(m.paste_object, paste_object_callback, 0);
    set_callback(m.color_picture, color_picture_callback, 0);

    const std::pair<FmObject *, long> sliders[] = {
        {m.length, slider_argument(kChannelLength, kPartValue)},
        {m.length_random, slider_argument(kChannelLength, kPartRandom)},
        {m.wave, slider_argument(kChannelCurl, kPartValue)},
        {m.wave_random, slider_argument(kChannelCurl, kPartRandom)},
        {m.gravity, slider_argument(kChannelGravity, kPartValue)},
        {m.gravity_random, slider_argument(kChannelGravity, kPartRandom)},
        {m.density, slider_argument(kChannelDensity, kPartValue)},
        {m.density_random, slider_argument(kChannelDensity, kPartRandom)},
        {m.segments, slider_argument(kChannelSegments, kPartValue)},
        {m.segments_random, slider_argument(kChannelSegments, kPartRandom)},
    };
    for (const auto &[slider, argument] : sliders) set_callback(slider, value_slider_callback, argument);
    set_callback(m.direction, positioner_callback, 0);
    set_callback(m.direction_random, direction_random_callback, 0);
    set_callback(m.edit_dir, positioner_mode_callback, 0);
    set_callback(m.edit_bend, positioner_mode_callback, 0);
    set_callback(m.direction_fields_mode, direction_fields_callback, 0);
    set_callback(m.dir_u_field, uv_field_callback, slider_argument(kChannelGrow, kPartU));
    set_callback(m.dir_v_field, uv_field_callback, slider_argument(kChannelGrow, kPartV));
    set_callback(m.bend_u_field, uv_field_callback, slider_argument(kChannelBend, kPartU));
    set_callback(m.bend_v_field, uv_field_callback, slider_argument(kChannelBend, kPartV));
    color_editor_attach();
}

}  // namespace vellimor
