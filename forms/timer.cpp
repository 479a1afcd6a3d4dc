#include "forms/timer.h"

#include "forms/attributes.h"
#include "forms/drawing.h"
#include "forms/form_definition.h"
#include "forms/toolkit.h"
#include "platform/clock.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace vellimor {
namespace {

struct TimerData : FmClassData {
    bool running = false;
    bool expired = false;
    double end = 0;
    int shown_tenths = -1;  // the remaining time last drawn, in tenths of a second
};

float remaining(const TimerData *d) {
    if (!d->running) return 0.0f;
    return static_cast<float>(std::max(0.0, d->end - platform::seconds_since_start()));
}

void draw_timer(FmObject *obj) {
    auto *d = fm_data<TimerData>(obj);
    if (obj->type == FM_HIDDEN_TIMER) return;
    fm_draw_box(obj->boxtype, obj->x, obj->y, obj->w, obj->h, d->expired ? obj->col2 : obj->col1);
    if (obj->type == FM_VALUE_TIMER) {
        char text[32];
        std::snprintf(text, sizeof text, "%.1f", remaining(d));
        fm_draw_text(FM_ALIGN_CENTER, obj->x, obj->y, obj->w, obj->h, FM_BLACK, obj->lsize, FM_NORMAL_STYLE, text);
    }
    fm_draw_object_label(obj);
}

int handle_timer(FmObject *obj, int event, float, float, int) {
    auto *d = fm_data<TimerData>(obj);
    switch (event) {
    case FM_DRAW:
        draw_timer(obj);
        return 0;
    case FM_STEP: {
        if (!d->running) return 0;
        float left = remaining(d);
        if (left <= 0) {
            d->running = false;
            d->expired = true;
            if (obj->type != FM_HIDDEN_TIMER) fm_redraw_object(obj);
            return 1;
        }
        int tenths = static_cast<int>(left * 10);
        if (obj->type == FM_VALUE_TIMER && tenths != d->shown_tenths) {
            d->shown_tenths = tenths;
            fm_redraw_object(obj);
        }
        return 0;
    }
    default:
        return 0;
    }
}

}  // namespace

FmObject *fm_add_timer(int type, float x, float y, float w, float h, const char *label) {
    auto obj = fm_make_object(FM_TIMER, type, x, y, w, h, label, handle_timer);
    obj->spec = std::make_unique<TimerData>();
    obj->boxtype = FM_DOWN_BOX;
    obj->col1 = FM_COL1;
    obj->col2 = FM_RED;
    obj->align = FM_ALIGN_CENTER;
    obj->automatic = true;
    return fm_add_to_current_form(std::move(obj));
}

void fm_set_timer(FmObject *obj, float seconds) {
    auto *d = fm_data<TimerData>(obj);
    if (!d) {
        fm_show_error("fm_set_timer", "Object is NULL.");
        return;
    }
    d->running = seconds > 0;
    d->expired = false;
    d->end = platform::seconds_since_start() + std::max(0.0f, seconds);
    if (obj->type != FM_HIDDEN_TIMER) fm_redraw_object(obj);
}

float fm_get_timer(FmObject *obj) {
    auto *d = fm_data<TimerData>(obj);
    if (!d) {
        fm_show_error("fm_get_timer", "Object is NULL.");
        return 0.0f;
    }
    return remaining(d);
}

}  // namespace vellimor
