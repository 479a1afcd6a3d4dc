#include "forms/positioner.h"

#include "forms/attributes.h"
#include "forms/drawing.h"
#include "forms/form_definition.h"
#include "forms/toolkit.h"

#include <algorithm>

namespace vellimor {
namespace {

struct Axis {
    float value = 0.5f, min = 0.0f, max = 1.0f;

    float fraction() const {
        return max == min ? 0.0f : std::clamp((value - min) / (max - min), 0.0f, 1.0f);
    }
    float at(float t) const { return min + std::clamp(t, 0.0f, 1.0f) * (max - min); }
    void set(float v) { value = std::clamp(v, std::min(min, max), std::max(min, max)); }
};

struct PositionerData : FmClassData {
    Axis x, y;
};

void draw_positioner(FmObject *obj) {
    auto *d = fm_data<PositionerData>(obj);
    fm_draw_box(obj->boxtype, obj->x, obj->y, obj->w, obj->h, obj->col1);
    const float b = kFmBevel;
    float px = obj->x + b + d->x.fraction() * (obj->w - 2 * b - 1);
    float py = obj->y + b + d->y.fraction() * (obj->h - 2 * b - 1);
    fm_line(obj->x + b, py, obj->x + obj->w - b, py, obj->col2);
    fm_line(px, obj->y + b, px, obj->y + obj->h - b, obj->col2);
    fm_rectf(px - 2, py - 2, 5, 5, obj->col2);
    fm_draw_object_label(obj);
}

int handle_positioner(FmObject *obj, int event, float mx, float my, int key) {
    auto *d = fm_data<PositionerData>(obj);
    switch (event) {
    case FM_DRAW:
        draw_positioner(obj);
        return 0;
    case FM_PUSH:
    case FM_MOUSE: {
        if (key == 0 && event == FM_PUSH) return 1;
        const float b = kFmBevel;
        float nx = d->x.at((mx - obj->x - b) / (obj->w - 2 * b - 1));
        float ny = d->y.at((my - obj->y - b) / (obj->h - 2 * b - 1));
        bool changed = nx != d->x.value || ny != d->y.value;
        d->x.value = nx;
        d->y.value = ny;
        if (changed) fm_redraw_object(obj);
        return event == FM_PUSH || changed;
    }
    default:
        return 0;
    }
}

PositionerData *positioner(FmObject *obj, const char *where) {
    auto *d = fm_data<PositionerData>(obj);
    if (!d) fm_show_error(where, "Object is NULL.");
    return d;
}

template <class Change>
void change(FmObject *obj, const char *where, Change apply) {
    if (auto *d = positioner(obj, where)) {
        apply(*d);
        fm_redraw_object(obj);
    }
}

}  // namespace

FmObject *fm_add_positioner(int type, float x, float y, float w, float h, const char *label) {
    auto obj = fm_make_object(FM_POSITIONER, type, x, y, w, h, label, handle_positioner);
    obj->spec = std::make_unique<PositionerData>();
    obj->boxtype = FM_DOWN_BOX;
    obj->col1 = FM_FIELD_COL;
    obj->col2 = FM_RED;
    obj->align = FM_ALIGN_BOTTOM;
    return fm_add_to_current_form(std::move(obj));
}

void fm_set_positioner_xvalue(FmObject *obj, float v) {
    change(obj, "fm_set_positioner_xvalue", [&](PositionerData &d) { d.x.set(v); });
}
void fm_set_positioner_yvalue(FmObject *obj, float v) {
    change(obj, "fm_set_positioner_yvalue", [&](PositionerData &d) { d.y.set(v); });
}
void fm_set_positioner_xbounds(FmObject *obj, float min, float max) {
    change(obj, "fm_set_positioner_xbounds", [&](PositionerData &d) {
        d.x.min = min;
        d.x.max = max;
        d.x.set(d.x.value);
    });
}
void fm_set_positioner_ybounds(FmObject *obj, float min, float max) {
    change(obj, "fm_set_positioner_ybounds", [&](PositionerData &d) {
        d.y.min = min;
        d.y.max = max;
        d.y.set(d.y.value);
    });
}

float fm_get_positioner_xvalue(FmObject *obj) {
    auto *d = positioner(obj, "fm_get_positioner_xvalue");
    return d ? d->x.value : 0.0f;
}
float fm_get_positioner_yvalue(FmObject *obj) {
    auto *d = positioner(obj, "fm_get_positioner_yvalue");
    return d ? d->y.value : 0.0f;
}
void fm_get_positioner_xbounds(FmObject *obj, float *min, float *max) {
    if (auto *d = positioner(obj, "fm_get_positioner_xbounds")) {
        if (min) *min = d->x.min;
        if (max) *max = d->x.max;
    }
}
void fm_get_positioner_ybounds(FmObject *obj, float *min, float *max) {
    if (auto *d = positioner(obj, "fm_get_positioner_ybounds")) {
        if (min) *min = d->y.min;
        if (max) *max = d->y.max;
    }
}

}  // namespace vellimor
