#include "forms/input.h"

#include "forms/attributes.h"
#include "forms/dispatch.h"
#include "forms/drawing.h"
#include "forms/form_definition.h"
#include "forms/toolkit.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

namespace vellimor {
namespace {

constexpr float kTextPad = 4.0f;

struct InputData : FmClassData {
    std::string text;
    std::string at_focus;
    std::size_t cursor = 0;
};

FmRefusedInputFn &refused_handler() {
    static FmRefusedInputFn handler = nullptr;
    return handler;
}

bool numeric(const FmObject *obj) { return obj->type == FM_INT_INPUT || obj->type == FM_FLOAT_INPUT; }

bool accepts(const FmObject *obj, int c) {
    if (c < 32 || c > 126) return false;
    switch (obj->type) {
    case FM_INT_INPUT:
        return std::strchr("0123456789+-", c) != nullptr;
    case FM_FLOAT_INPUT:
        return std::strchr("0123456789+-.eE", c) != nullptr;
    default:
        return true;
    }
}

void draw_input(FmObject *obj) {
    auto *d = fm_data<InputData>(obj);
    fm_draw_box(obj->boxtype, obj->x, obj->y, obj->w, obj->h, obj->focus ? obj->col2 : obj->col1);
    float tx = obj->x + kTextPad, tw = obj->w - 2 * kTextPad;
    fm_draw_text_clipped(FM_ALIGN_LEFT, tx, obj->y, tw, obj->h, FM_BLACK, obj->lsize, FM_NORMAL_STYLE, d->text);
    if (obj->focus) {
        float cx = tx + fm_text_width(d->text.substr(0, d->cursor), obj->lsize, FM_NORMAL_STYLE);
        float th = fm_text_height(obj->lsize, FM_NORMAL_STYLE);
        cx = std::min(cx, obj->x + obj->w - kTextPad);
        fm_rectf(cx, obj->y + (obj->h - th) / 2 + 1, 1.5f, th - 2, FM_SELECT_COL);
    }
    fm_draw_object_label(obj);
}

std::size_t cursor_at(const FmObject *obj, const InputData *d, float mx) {
    float x = obj->x + kTextPad;
    for (std::size_t i = 0; i < d->text.size(); ++i) {
        float cw = fm_text_width(d->text.substr(i, 1), obj->lsize, FM_NORMAL_STYLE);
        if (mx < x + cw / 2) return i;
        x += cw;
    }
    return d->text.size();
}

void edit(FmObject *obj, InputData *d, int key) {
    switch (key) {
    case FM_KEY_LEFT:
        if (d->cursor > 0) --d->cursor;
        break;
    case FM_KEY_RIGHT:
        if (d->cursor < d->text.size()) ++d->cursor;
        break;
    case kFmBackspace:
        if (d->cursor > 0) d->text.erase(--d->cursor, 1);
        break;
    case kFmDelete:
        if (d->cursor < d->text.size()) d->text.erase(d->cursor, 1);
        break;
    default:
        if (!accepts(obj, key) || d->text.size() >= kFmInputMax) return;
        d->text.insert(d->cursor++, 1, static_cast<char>(key));
        break;
    }
    fm_redraw_object(obj);
}

int handle_input(FmObject *obj, int event, float mx, float, int key) {
    auto *d = fm_data<InputData>(obj);
    switch (event) {
    case FM_DRAW:
        draw_input(obj);
        return 0;
    case FM_PUSH:
        if (key != 0) d->cursor = cursor_at(obj, d, mx);
        fm_redraw_object(obj);
        return 0;
    case FM_FOCUS:
        d->at_focus = d->text;
        d->cursor = d->text.size();
        fm_redraw_object(obj);
        return 0;
    case FM_UNFOCUS:
        fm_redraw_object(obj);
        if (d->text != d->at_focus && numeric(obj) && !fm_input_number(d->text.c_str())) {
            const std::string refused = std::exchange(d->text, d->at_focus);
            d->cursor = std::min(d->cursor, d->text.size());
            if (refused_handler()) refused_handler()(obj, refused.c_str());
            return 0;
        }
        return d->text != d->at_focus;
    case FM_KEYBOARD:
        edit(obj, d, key);
        return 0;
    default:
        return 0;
    }
}

}  // namespace

FmObject *fm_add_input(int type, float x, float y, float w, float h, const char *label) {
    auto obj = fm_make_object(FM_INPUT, type, x, y, w, h, label, handle_input);
    obj->spec = std::make_unique<InputData>();
    obj->boxtype = FM_DOWN_BOX;
    obj->col1 = FM_FIELD_COL;
    obj->col2 = FM_WHITE;
    obj->align = FM_ALIGN_LEFT;
    obj->input = true;
    return fm_add_to_current_form(std::move(obj));
}

void fm_set_input(FmObject *obj, const char *text) {
    auto *d = fm_data<InputData>(obj);
    if (!d) {
        fm_show_error("fm_set_input", "Object is NULL.");
        return;
    }
    d->text = std::string(text ? text : "").substr(0, kFmInputMax);
    d->cursor = std::min(d->cursor, d->text.size());
    if (obj->focus) {
        d->at_focus = d->text;
        d->cursor = d->text.size();
    }
    fm_redraw_object(obj);
}

const char *fm_get_input(FmObject *obj) {
    auto *d = fm_data<InputData>(obj);
    if (!d) {
        fm_show_error("fm_get_input", "Object is NULL.");
        return "";
    }
    return d->text.c_str();
}

std::optional<double> fm_input_number(const char *text) {
    if (!text) return 0.0;
    const char *start = text;
    while (std::isspace(static_cast<unsigned char>(*start))) ++start;
    if (!*start) return 0.0;
    char *stop = nullptr;
    const double value = std::strtod(start, &stop);
    if (stop == start) return std::nullopt;
    while (std::isspace(static_cast<unsigned char>(*stop))) ++stop;
    // "nan" and "inf" read as numbers, but no setting can take them.
    if (*stop || !std::isfinite(value)) return std::nullopt;
    return value;
}

void fm_set_refused_input_handler(FmRefusedInputFn handler) { refused_handler() = handler; }

}  // namespace vellimor
