#include "editor/color_editor.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

#include "editor/color_commands.h"
#include "editor/color_conversion.h"
#include "editor/designer_objects.h"
#include "editor/keymap_commands.h"
#include "forms/forms.h"
#include "render/hair_color.h"
#include "host/scene.h"

namespace vellimor {

namespace {

constexpr float kEmptyGrey = float(0x88) / 255.0f;  // the area without a surface: 0xFF888888
constexpr float kBarInsetLeft = 3.0f, kBarInsetRight = 4.0f, kBarHeight = 4.0f;
constexpr float kHighestBar = 0.985f;
constexpr float kAlphaStripe = 0.25f;  // right part of a diffuse row that shows the alpha

// What the sliders were last loaded from: the area loads them while it draws, and only when this
// changed, so that a redraw in the middle of an edit does not take the value being typed away.
struct LoadedFrom {
    const PatchData *record = nullptr;
    const TextureKey *key = nullptr;
    int type = -1, index = -1;
    ColorKey entry;
    bool operator==(const LoadedFrom &o) const {
        return record == o.record && key == o.key && type == o.type && index == o.index &&
               entry.R == o.entry.R && entry.G == o.entry.G && entry.B == o.entry.B &&
               entry.A == o.entry.A;
    }
};

struct AreaState {
    LoadedFrom loaded;
    bool delete_latch = false;
    int button = 0;  // the button of the press that the drag belongs to
    float last_my = 0.0f;
};
AreaState &area() {
    static AreaState state;
    return state;
}

MainWindowObjects &objects() { return designer_windows().main; }

int color_type() { return editor_state().current_color_type; }
int &selected_key() { return editor_state().current_color_key[size_t(color_type())]; }

float slider(FmObject *obj, float fallback) { return obj ? pair_get(obj) : fallback; }
// Only a changed value is set: the area sets the sliders while it draws, and setting a slider
// asks for a redraw of the window.
void set_slider(FmObject *obj, float value) {
    if (obj && fm_get_slider_value(obj) != value) pair_set(obj, value);
}

ColorSliderValues slider_values() {
    const MainWindowObjects &m = objects();
    ColorSliderValues v;
    v.R = slider(m.red, v.R);
    v.G = slider(m.green, v.G);
    v.B = slider(m.blue, v.B);
    v.A = slider(m.alpha, v.A);
    v.thickness = slider(m.thickness_slider, v.thickness);
    return v;
}

void show_hls_of_rgb(int except) {
    const MainWindowObjects &m = objects();
    const Hls hls = rgb_to_hls({slider(m.red, 0), slider(m.green, 0), slider(m.blue, 0)});
    if (except != kSliderHue) set_slider(m.hue, hls.h);
    if (except != kSliderLightness) set_slider(m.lightness, hls.l);
    if (except != kSliderSaturation) set_slider(m.saturation, hls.s);
}

void show_rgb_of_hls(int except) {
    const MainWindowObjects &m = objects();
    const Rgb rgb = hls_to_rgb({slider(m.hue, 0), slider(m.lightness, 0), slider(m.saturation, 0)});
    if (except != kSliderRed) set_slider(m.red, rgb.r);
    if (except != kSliderGreen) set_slider(m.green, rgb.g);
    if (except != kSliderBlue) set_slider(m.blue, rgb.b);
}

// The sliders follow the displayed key's entry of the selected main colour key.
void load_sliders(PatchData &record, const TextureKey &key) {
    const int index = std::clamp(selected_key(), 0, kMaxColorKeys - 1);
    const LoadedFrom from{&record, &key, color_type(), index, key.color_keys[color_type()][index]};
    if (from == area().loaded) return;
    area().loaded = from;
    ColorSliderValues v;
    if (!color_sliders_from_record(record, color_type(), selected_key(), v)) return;
    const MainWindowObjects &m = objects();
    const MainColorKey &main_key = record.main_color_keys[color_type()][selected_key()];
    if (m.color_picture) fm_set_button(m.color_picture, main_key.this_key_uses_picture);
    if (main_key.this_key_uses_picture) return;  // the picture gives the colours, not the sliders
    if (color_type() == kColorThickness) {
        set_slider(m.thickness_slider, v.thickness);
    } else {
        set_slider(m.red, v.R);
        set_slider(m.green, v.G);
        set_slider(m.blue, v.B);
        set_slider(m.alpha, v.A);
        show_hls_of_rgb(-1);
    }
}

void fill(const FmObject *obj, float r, float g, float b) {
    glColor3f(r, g, b);
    glRectf(obj->x, obj->y, obj->x + obj->w, obj->y + obj->h);
}

void draw_ramp(const FmObject *obj, const PatchData &record, const TextureKey &key) {
    const int type = color_type();
    const int rows = std::max(int(std::lround(obj->h)), 1);
    float thickness_top = 1.0f;
    if (type == kColorThickness && objects().thickness_slider) {
        float lo;
        fm_get_slider_bounds(objects().thickness_slider, &lo, &thickness_top);
    }
    const float split = obj->x + obj->w * (1.0f - kAlphaStripe);
    glBegin(GL_LINES);
    for (int i = 0; i < rows; ++i) {
        const ColorKey c = color_at_position(record, float(i) / float(rows), key.color_keys[type], type);
        const float y = obj->y + float(i);
        if (type == kColorThickness) {
            const float grey = thickness_top > 0.0f ? c.R / thickness_top : 0.0f;
            glColor3f(grey, grey, grey);
            glVertex2f(obj->x, y);
            glVertex2f(obj->x + obj->w, y);
            continue;
        }
        glColor3f(c.R, c.G, c.B);
        glVertex2f(obj->x, y);
        glVertex2f(type == kColorDiffuse ? split : obj->x + obj->w, y);
        if (type == kColorDiffuse) {
            glColor3f(c.A, c.A, c.A);
            glVertex2f(split, y);
            glVertex2f(obj->x + obj->w, y);
        }
    }
    glEnd();
}

void draw_bars(const FmObject *obj, const PatchData &record) {
    const int type = color_type();
    for (int k = 0; k < record.nbColorKeys[type] && k < kMaxColorKeys; ++k) {
        const MainColorKey &key = record.main_color_keys[type][k];
        const bool picture = key.this_key_uses_picture != 0;
        const float bright = k == selected_key() ? 1.0f : 0.5f;
        picture ? glColor3f(0, bright, bright) : glColor3f(bright, 0, 0);
        const float y = obj->y + std::min(key.where, kHighestBar) * obj->h;
        glRectf(obj->x + kBarInsetLeft, y, obj->x + obj->w - kBarInsetRight, y + kBarHeight);
    }
}

void draw_area(FmObject *obj) {
    glEnable(GL_SCISSOR_TEST);
    glScissor(int(std::lround(obj->x)), int(std::lround(obj->y)), int(std::lround(obj->w)),
              int(std::lround(obj->h)));
    fill(obj, kEmptyGrey, kEmptyGrey, kEmptyGrey);
    PatchData *record = current_record();
    if (record) {
        const int type = color_type();
        selected_key() = std::clamp(selected_key(), 0, record->nbColorKeys[type] - 1);
        if (const TextureKey *key = displayed_texture_key(*record, type)) {
            load_sliders(*record, *key);
            draw_ramp(obj, *record, *key);
            draw_bars(obj, *record);
        }
    }
    glDisable(GL_SCISSOR_TEST);
}

float position_of(const FmObject *obj, float my) {
    return (std::clamp(my, obj->y, obj->y + obj->h) - obj->y) / obj->h;
}

void redraw_after_change() {
    redraw_color_area();
    redraw_graphics_view();
}

void type_callback(FmObject *, long type) { color_select_type(int(type)); }

void slider_callback(FmObject *, long which) {
    if (!pair_values_valid()) return;
    color_slider_changed(int(which));
}

void copy_callback(FmObject *, long) { color_copy(color_type()); }

void paste_callback(FmObject *, long) {
    if (color_paste(color_type())) redraw_views();
}

void interpolation_callback(FmObject *obj, long) {
    color_set_interpolation(fm_get_choice(obj) - 1);
    redraw_after_change();
}

void set_callback(FmObject *obj, FmCallback callback, long argument) {
    if (obj) fm_set_call_back(obj, callback, argument);
}

}  // namespace

int color_area_handle(FmObject *obj, int event, float mx, float my, int key) {
    switch (event) {
    case FM_DRAW: draw_area(obj); return 0;
    case FM_PUSH: {
        PatchData *record = current_record();
        if (!record) return 0;
        ColorAreaMouse mouse;
        mouse.p = position_of(obj, my);
        area().button = key;
        area().last_my = my;
        mouse.left = key == 1;
        mouse.remove = key == 2 || getbutton(62);
        const int before = selected_key();
        color_area_push(*record, color_type(), mouse, selected_key(), area().delete_latch);
        redraw_after_change();
        redraw_keymap();
        // The curve list's colour lines are those of the selected colour key.
        if (selected_key() != before) refresh_curve_list();
        return 0;
    }
    case FM_MOUSE: {
        PatchData *record = current_record();
        // The toolkit repeats the event while the button is held; only a motion drags, so that a
        // click that selects a key leaves it where it was.
        if (!record || my == area().last_my) return 0;
        area().last_my = my;
        ColorAreaMouse mouse;
        mouse.p = position_of(obj, my);
        mouse.left = area().button == 1;
        if (color_area_drag(*record, color_type(), mouse, selected_key(), area().delete_latch))
            redraw_after_change();
        return 0;
    }
    case FM_RELEASE:
        area().delete_latch = false;
        area().button = 0;
        return 0;
    default: return 0;
    }
}

void color_select_type(int type) {
    MainWindowObjects &m = objects();
    type = color_type_from_button(type);
    editor_state().current_color_type = type;
    if (m.form) fm_freeze_form(m.form);
    FmObject *group[] = {m.red, m.red_field, m.green, m.green_field, m.blue, m.blue_field,
                         m.hue, m.hue_field, m.lightness, m.lightness_field, m.saturation,
                         m.saturation_field, m.alpha, m.alpha_field};
    const bool thickness = type == kColorThickness;
    for (FmObject *obj : group)
        if (obj) thickness ? fm_hide_object(obj) : fm_show_object(obj);
    for (FmObject *obj : {m.thickness_slider, m.thickness_field})
        if (obj) thickness ? fm_show_object(obj) : fm_hide_object(obj);
    if (type == kColorAmbient || type == kColorSpecular)
        for (FmObject *obj : {m.alpha, m.alpha_field})
            if (obj) fm_hide_object(obj);
    if (m.form) fm_unfreeze_form(m.form);
    if (PatchData *record = current_record())
        selected_key() = std::min(selected_key(), record->nbColorKeys[type] - 1);
    redraw_color_area();
    if (editor_state().current_channel == kChannelColor) redraw_keymap();
    refresh_curve_list();
}

void color_slider_changed(int which) {
    if (which == kSliderRed || which == kSliderGreen || which == kSliderBlue ||
        which == kSliderInitialise) {
        show_hls_of_rgb(which);
    } else if (which == kSliderHue || which == kSliderSaturation || which == kSliderLightness) {
        show_rgb_of_hls(which);
    }
    if (which == kSliderInitialise) return;
    if (color_apply_sliders(color_type(), selected_key(), slider_values())) {
        redraw_after_change();
        redraw_keymap();
    }
}

void color_editor_attach() {
    MainWindowObjects &m = objects();
    if (m.color_area) m.color_area->handle = color_area_handle;
    set_callback(m.diffuse, type_callback, kColorDiffuse);
    set_callback(m.ambient, type_callback, kColorAmbient);
    set_callback(m.specular, type_callback, kColorSpecular);
    set_callback(m.thickness, type_callback, kColorThickness);
    const std::pair<FmObject *, long> sliders[] = {
        {m.red, kSliderRed},          {m.green, kSliderGreen},
        {m.blue, kSliderBlue},        {m.hue, kSliderHue},
        {m.saturation, kSliderSaturation}, {m.lightness, kSliderLightness},
        {m.alpha, kSliderAlpha},      {m.thickness_slider, kSliderThickness}};
    for (const auto &[obj, which] : sliders) set_callback(obj, slider_callback, which);
    set_callback(m.copy_color, copy_callback, 0);
    set_callback(m.paste_color, paste_callback, 0);
    set_callback(m.color_interpolation, interpolation_callback, 0);
    // The panel's start colour.
    set_slider(m.red, 1.0f);
    set_slider(m.green, 0.9f);
    set_slider(m.blue, 0.85f);
    set_slider(m.alpha, 1.0f);
    color_slider_changed(kSliderInitialise);
}

}  // namespace vellimor
