#include "forms/counter.h"

#include "forms/attributes.h"
#include "forms/drawing.h"
#include "forms/form_definition.h"
#include "forms/toolkit.h"
#include "platform/clock.h"

#include <algorithm>
#include <cstdio>

namespace vellimor {
namespace {

constexpr double kRepeatDelay = 0.5;
constexpr double kRepeatInterval = 0.1;

// Parts of a counter from left to right; a simple counter has no large-step arrows.
enum Part { kNone = -1, kLargeDown, kSmallDown, kValue, kSmallUp, kLargeUp };

struct CounterData : FmClassData {
    float value = 0, min = -1e6f, max = 1e6f, small_step = 0.1f, large_step = 1.0f;
    int precision = 1;
    Part held = kNone;
    double next_repeat = 0;
};

float arrow_width(const FmObject *obj) {
    int arrows = obj->type == FM_SIMPLE_COUNTER ? 2 : 4;
    return std::min(obj->h, obj->w / (arrows + 1.5f));
}

FmRect part_rect(const FmObject *obj, Part part) {
    float a = arrow_width(obj);
    bool simple = obj->type == FM_SIMPLE_COUNTER;
    float left_arrows = simple ? 1 : 2;
    float vx = obj->x + left_arrows * a, vw = obj->w - 2 * left_arrows * a;
    switch (part) {
    case kLargeDown: return {obj->x, obj->y, a, obj->h};
    case kSmallDown: return {obj->x + (simple ? 0 : a), obj->y, a, obj->h};
    case kValue: return {vx, obj->y, vw, obj->h};
    case kSmallUp: return {vx + vw, obj->y, a, obj->h};
    case kLargeUp: return {vx + vw + a, obj->y, a, obj->h};
    default: return {};
    }
}

Part part_at(const FmObject *obj, float mx) {
    static constexpr Part kParts[] = {kLargeDown, kSmallDown, kValue, kSmallUp, kLargeUp};
    for (Part p : kParts) {
        if (obj->type == FM_SIMPLE_COUNTER && (p == kLargeDown || p == kLargeUp)) continue;
        FmRect r = part_rect(obj, p);
        if (mx >= r.x && mx <= r.x + r.w) return p;
    }
    return kNone;
}

void draw_counter(FmObject *obj) {
    auto *d = fm_data<CounterData>(obj);
    static constexpr struct { Part part; const char *symbol; } kArrows[] = {
        {kLargeDown, "@<<"}, {kSmallDown, "@<"}, {kSmallUp, "@>"}, {kLargeUp, "@>>"}};
    for (const auto &arrow : kArrows) {
        if (obj->type == FM_SIMPLE_COUNTER && (arrow.part == kLargeDown || arrow.part == kLargeUp)) continue;
        FmRect r = part_rect(obj, arrow.part);
        bool down = obj->pushed && d->held == arrow.part;
        fm_draw_box(down ? FM_DOWN_BOX : FM_UP_BOX, r.x, r.y, r.w, r.h, down ? obj->col2 : obj->col1);
        std::string sym = arrow.symbol;
        if (sym.size() == 3) {  // double arrows: two small triangles
            fm_draw_text(FM_ALIGN_CENTER, r.x - r.w * 0.15f, r.y, r.w, r.h, fm_label_color(obj), 0, 0, sym.substr(0, 2));
            fm_draw_text(FM_ALIGN_CENTER, r.x + r.w * 0.15f, r.y, r.w, r.h, fm_label_color(obj), 0, 0, sym.substr(0, 2));
        } else {
            fm_draw_text(FM_ALIGN_CENTER, r.x, r.y, r.w, r.h, fm_label_color(obj), 0, 0, sym);
        }
    }
    FmRect v = part_rect(obj, kValue);
    fm_draw_box(FM_DOWN_BOX, v.x, v.y, v.w, v.h, FM_FIELD_COL);
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", d->precision, d->value);
    fm_draw_text_clipped(FM_ALIGN_CENTER, v.x + 2, v.y, v.w - 4, v.h, FM_BLACK, obj->lsize, FM_NORMAL_STYLE, text);
    fm_draw_object_label(obj);
}

bool step(FmObject *obj, Part part) {
    auto *d = fm_data<CounterData>(obj);
    float delta = 0;
    switch (part) {
    case kLargeDown: delta = -d->large_step; break;
    case kSmallDown: delta = -d->small_step; break;
    case kSmallUp: delta = d->small_step; break;
    case kLargeUp: delta = d->large_step; break;
    default: return false;
    }
    float v = std::clamp(d->value + delta, d->min, d->max);
    if (v == d->value) return false;
    d->value = v;
    fm_redraw_object(obj);
    return true;
}

int handle_counter(FmObject *obj, int event, float mx, float, int key) {
    auto *d = fm_data<CounterData>(obj);
    switch (event) {
    case FM_DRAW:
        draw_counter(obj);
        return 0;
    case FM_PUSH:
        if (key == 0) return 0;
        d->held = part_at(obj, mx);
        d->next_repeat = platform::seconds_since_start() + kRepeatDelay;
        fm_redraw_object(obj);
        return step(obj, d->held);
    case FM_RELEASE:
        d->held = kNone;
        fm_redraw_object(obj);
        return 0;
    case FM_STEP: {
        if (d->held == kNone || !obj->pushed) return 0;
        double now = platform::seconds_since_start();
        if (now < d->next_repeat) return 0;
        d->next_repeat = now + kRepeatInterval;
        return step(obj, d->held);
    }
    default:
        return 0;
    }
}

CounterData *counter(FmObject *obj, const char *where) {
    auto *d = fm_data<CounterData>(obj);
    if (!d) fm_show_error(where, "Object is NULL.");
    return d;
}

}  // namespace

FmObject *fm_add_counter(int type, float x, float y, float w, float h, const char *label) {
    auto obj = fm_make_object(FM_COUNTER, type, x, y, w, h, label, handle_counter);
    obj->spec = std::make_unique<CounterData>();
    obj->boxtype = FM_UP_BOX;
    obj->col1 = FM_COL1;
    obj->col2 = FM_MCOL;
    obj->align = FM_ALIGN_BOTTOM;
    obj->automatic = true;  // repeats while an arrow is held
    return fm_add_to_current_form(std::move(obj));
}

void fm_set_counter_value(FmObject *obj, float value) {
    if (auto *d = counter(obj, "fm_set_counter_value")) {
        d->value = std::clamp(value, d->min, d->max);
        fm_redraw_object(obj);
    }
}

float fm_get_counter_value(FmObject *obj) {
    auto *d = counter(obj, "fm_get_counter_value");
    return d ? d->value : 0.0f;
}

void fm_set_counter_bounds(FmObject *obj, float min, float max) {
    if (auto *d = counter(obj, "fm_set_counter_bounds")) {
        d->min = std::min(min, max);
        d->max = std::max(min, max);
        d->value = std::clamp(d->value, d->min, d->max);
        fm_redraw_object(obj);
    }
}

void fm_get_counter_bounds(FmObject *obj, float *min, float *max) {
    if (auto *d = counter(obj, "fm_get_counter_bounds")) {
        if (min) *min = d->min;
        if (max) *max = d->max;
    }
}

void fm_set_counter_step(FmObject *obj, float small_step, float large_step) {
    if (auto *d = counter(obj, "fm_set_counter_step")) {
        d->small_step = small_step;
        d->large_step = large_step;
    }
}

void fm_set_counter_precision(FmObject *obj, int precision) {
    if (auto *d = counter(obj, "fm_set_counter_precision")) {
        d->precision = std::clamp(precision, 0, 10);
        fm_redraw_object(obj);
    }
}

}  // namespace vellimor
