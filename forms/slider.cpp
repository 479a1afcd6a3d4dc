#include "forms/slider.h"

#include "forms/attributes.h"
#include "forms/drawing.h"
#include "forms/form_definition.h"
#include "forms/toolkit.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace vellimor {
namespace {

constexpr float kMinKnob = 10.0f;
constexpr float kValueBoxMax = 60.0f;
constexpr float kValueBoxHeight = 20.0f;

struct SliderData : FmClassData {
    float value = 0.5f, min = 0.0f, max = 1.0f, step = 0.0f, size = 0.12f;
    int precision = 2;
    bool tracking = false;  // the press that started the gesture hit the track
};

bool horizontal(const FmObject *obj) { return obj->type == FM_HOR_SLIDER || obj->type == FM_HOR_FILL_SLIDER; }
bool fill(const FmObject *obj) { return obj->type == FM_VERT_FILL_SLIDER || obj->type == FM_HOR_FILL_SLIDER; }

// The value box of a value slider and the track of the slider itself.
void layout(const FmObject *obj, FmRect &value_box, FmRect &track) {
    track = {obj->x, obj->y, obj->w, obj->h};
    value_box = {};
    if (obj->objclass != FM_VALSLIDER) return;
    if (horizontal(obj)) {
        float vw = std::min(kValueBoxMax, obj->w * 0.35f);
        value_box = {obj->x, obj->y, vw, obj->h};
        track = {obj->x + vw, obj->y, obj->w - vw, obj->h};
    } else {
        float vh = std::min(kValueBoxHeight, obj->h * 0.3f);
        value_box = {obj->x, obj->y, obj->w, vh};
        track = {obj->x, obj->y + vh, obj->w, obj->h - vh};
    }
}

float fraction(const SliderData *d) {
    if (d->max == d->min) return 0.0f;
    return std::clamp((d->value - d->min) / (d->max - d->min), 0.0f, 1.0f);
}

float knob_length(const FmObject *obj, const SliderData *d, const FmRect &track) {
    float length = (horizontal(obj) ? track.w : track.h) - 2 * kFmBevel;
    return std::min(length, std::max(kMinKnob, d->size * length));
}

float clamp_value(const SliderData *d, float v) {
    if (d->step > 0) v = d->min + std::round((v - d->min) / d->step) * d->step;
    return std::clamp(v, std::min(d->min, d->max), std::max(d->min, d->max));
}

void draw_slider(FmObject *obj) {
    auto *d = fm_data<SliderData>(obj);
    FmRect vbox, track;
    layout(obj, vbox, track);
    if (obj->objclass == FM_VALSLIDER) {
        char text[64];
        std::snprintf(text, sizeof text, "%.*f", std::clamp(d->precision, 0, 10), d->value);
        fm_draw_box(FM_DOWN_BOX, vbox.x, vbox.y, vbox.w, vbox.h, FM_FIELD_COL);
        fm_draw_text_clipped(FM_ALIGN_CENTER, vbox.x + 2, vbox.y, vbox.w - 4, vbox.h, FM_BLACK, obj->lsize,
                             FM_NORMAL_STYLE, text);
    }
    fm_draw_box(obj->boxtype, track.x, track.y, track.w, track.h, obj->col1);
    const float b = kFmBevel, t = fraction(d);
    const float length = (horizontal(obj) ? track.w : track.h) - 2 * b;
    if (fill(obj)) {
        if (horizontal(obj))
            fm_rectf(track.x + b, track.y + b, length * t, track.h - 2 * b, obj->col2);
        else
            fm_rectf(track.x + b, track.y + b, track.w - 2 * b, length * t, obj->col2);
    } else {
        float knob = knob_length(obj, d, track);
        float pos = (length - knob) * t;
        if (horizontal(obj))
            fm_draw_box(FM_UP_BOX, track.x + b + pos, track.y + b, knob, track.h - 2 * b, obj->col2);
        else
            fm_draw_box(FM_UP_BOX, track.x + b, track.y + b + pos, track.w - 2 * b, knob, obj->col2);
    }
    fm_draw_object_label(obj);
}

// The value whose knob centre lies under the pointer.
float value_at(const FmObject *obj, const SliderData *d, float mx, float my) {
    FmRect vbox, track;
    layout(obj, vbox, track);
    const float b = kFmBevel;
    float knob = fill(obj) ? 0.0f : knob_length(obj, d, track);
    float length = (horizontal(obj) ? track.w : track.h) - 2 * b - knob;
    float pos = horizontal(obj) ? mx - track.x - b - knob / 2 : my - track.y - b - knob / 2;
    float t = length > 0 ? std::clamp(pos / length, 0.0f, 1.0f) : 0.0f;
    return clamp_value(d, d->min + t * (d->max - d->min));
}

bool on_track(const FmObject *obj, float mx, float my) {
    FmRect vbox, track;
    layout(obj, vbox, track);
    return mx >= track.x && mx <= track.x + track.w && my >= track.y && my <= track.y + track.h;
}

int handle_slider(FmObject *obj, int event, float mx, float my, int key) {
    auto *d = fm_data<SliderData>(obj);
    switch (event) {
    case FM_DRAW:
        draw_slider(obj);
        return 0;
    case FM_PUSH:
    case FM_MOUSE: {
        if (key == 0 && event == FM_PUSH) return 1;  // keyboard shortcut: report, do not move
        // Only a press on the track moves the value; one on the number box leaves it.
        if (event == FM_PUSH) d->tracking = on_track(obj, mx, my);
        if (!d->tracking) return 0;
        float v = value_at(obj, d, mx, my);
        bool changed = v != d->value;
        if (changed) {
            d->value = v;
            fm_redraw_object(obj);
        }
        return event == FM_PUSH || changed;
    }
    case FM_RELEASE:
        d->tracking = false;
        return 0;
    default:
        return 0;
    }
}

SliderData *slider(FmObject *obj, const char *where) {
    auto *d = fm_data<SliderData>(obj);
    if (!d) fm_show_error(where, "Object is NULL.");
    return d;
}

}  // namespace

FmObject *fm_add_slider_class(int objclass, int type, float x, float y, float w, float h,
                              const char *label) {
    auto obj = fm_make_object(objclass, type, x, y, w, h, label, handle_slider);
    obj->spec = std::make_unique<SliderData>();
    obj->boxtype = FM_DOWN_BOX;
    obj->col1 = FM_COL1;
    obj->col2 = fill(obj.get()) ? FM_SELECT_COL : FM_COL1;
    obj->align = FM_ALIGN_BOTTOM;
    return fm_add_to_current_form(std::move(obj));
}

FmObject *fm_add_slider(int type, float x, float y, float w, float h, const char *label) {
    return fm_add_slider_class(FM_SLIDER, type, x, y, w, h, label);
}

FmObject *fm_add_valslider(int type, float x, float y, float w, float h, const char *label) {
    return fm_add_slider_class(FM_VALSLIDER, type, x, y, w, h, label);
}

void fm_set_slider_value(FmObject *obj, float value) {
    auto *d = slider(obj, "fm_set_slider_value");
    if (!d) return;
    value = std::clamp(value, std::min(d->min, d->max), std::max(d->min, d->max));
    if (value == d->value) return;
    d->value = value;
    fm_redraw_object(obj);
}

float fm_get_slider_value(FmObject *obj) {
    auto *d = slider(obj, "fm_get_slider_value");
    return d ? d->value : 0.0f;
}

void fm_set_slider_bounds(FmObject *obj, float min, float max) {
    auto *d = slider(obj, "fm_set_slider_bounds");
    if (!d) return;
    d->min = min;
    d->max = max;
    d->value = std::clamp(d->value, std::min(min, max), std::max(min, max));
    fm_redraw_object(obj);
}

void fm_get_slider_bounds(FmObject *obj, float *min, float *max) {
    auto *d = slider(obj, "fm_get_slider_bounds");
    if (!d) return;
    if (min) *min = d->min;
    if (max) *max = d->max;
}

void fm_set_slider_step(FmObject *obj, float step) {
    if (auto *d = slider(obj, "fm_set_slider_step")) d->step = std::max(0.0f, step);
}

void fm_set_slider_precision(FmObject *obj, int precision) {
    auto *d = slider(obj, "fm_set_slider_precision");
    if (!d) return;
    d->precision = std::clamp(precision, 0, 10);
    fm_redraw_object(obj);
}

void fm_set_slider_size(FmObject *obj, float size) {
    auto *d = slider(obj, "fm_set_slider_size");
    if (!d) return;
    d->size = std::clamp(size, 0.02f, 1.0f);
    fm_redraw_object(obj);
}

}  // namespace vellimor
