#include "forms/button.h"

#include "forms/attributes.h"
#include "forms/drawing.h"
#include "forms/form_definition.h"
#include "forms/toolkit.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

namespace vellimor {
namespace {

constexpr int kMaxMouseButton = 3;

struct ButtonData : FmClassData {
    int value = 0;
    int numb = 0;
};

bool inside(const FmObject *obj, float mx, float my) {
    return mx >= obj->x && mx <= obj->x + obj->w && my >= obj->y && my <= obj->y + obj->h;
}

void draw_plain(FmObject *obj, int value) {
    int box = obj->boxtype;
    if (value && box == FM_UP_BOX) box = FM_DOWN_BOX;
    fm_draw_box(box, obj->x, obj->y, obj->w, obj->h, value ? obj->col2 : obj->col1);
    fm_draw_object_label(obj);
}

void draw_light(FmObject *obj, int value) {
    fm_draw_box(obj->boxtype, obj->x, obj->y, obj->w, obj->h, obj->col1);
    float size = std::min(obj->h * 0.5f, 12.0f);
    float lx = obj->x + 6, ly = obj->y + (obj->h - size) / 2;
    fm_draw_box(FM_DOWN_BOX, lx, ly, size, size, value ? obj->col2 : FM_BOTTOM_BCOL);
    if (obj->align == FM_ALIGN_CENTER)
        fm_draw_label_at(obj, lx + size, obj->y, obj->x + obj->w - lx - size, obj->h, FM_ALIGN_LEFT);
    else
        fm_draw_object_label(obj);
}

void draw_round(FmObject *obj, int value) {
    fm_draw_box(obj->boxtype, obj->x, obj->y, obj->w, obj->h, obj->col1);
    float r = std::min(obj->h * 0.3f, 8.0f);
    float cx = obj->x + 4 + r, cy = obj->y + obj->h / 2;
    constexpr int kSegments = 20;
    auto circle = [&](float radius, GLenum mode) {
        glBegin(mode);
        for (int i = 0; i < kSegments; ++i) {
            float a = static_cast<float>(2 * M_PI * i / kSegments);
            glVertex2f(cx + radius * std::cos(a), cy + radius * std::sin(a));
        }
        glEnd();
    };
    fm_color(FM_FIELD_COL);
    circle(r, GL_POLYGON);
    if (value) {
        fm_color(obj->col2);
        circle(r * 0.6f, GL_POLYGON);
    }
    fm_color(FM_BOTTOM_BCOL);
    circle(r, GL_LINE_LOOP);
    float lx = cx + r + 2;
    if (obj->align == FM_ALIGN_CENTER)
        fm_draw_label_at(obj, lx, obj->y, obj->x + obj->w - lx, obj->h, FM_ALIGN_LEFT);
    else
        fm_draw_object_label(obj);
}

void draw_button(FmObject *obj) {
    auto *data = fm_data<ButtonData>(obj);
    if (obj->type == FM_HIDDEN_BUTTON) return;
    switch (obj->objclass) {
    case FM_LIGHTBUTTON:
        draw_light(obj, data->value);
        break;
    case FM_ROUNDBUTTON:
        draw_round(obj, data->value);
        break;
    default:
        draw_plain(obj, data->value);
        break;
    }
}

void set_value(FmObject *obj, int value) {
    auto *data = fm_data<ButtonData>(obj);
    if (data->value == value) return;
    data->value = value;
    if (obj->type != FM_HIDDEN_BUTTON) fm_redraw_object(obj);
}

int handle_button(FmObject *obj, int event, float mx, float my, int key) {
    auto *data = fm_data<ButtonData>(obj);
    switch (event) {
    case FM_DRAW:
        draw_button(obj);
        return 0;
    case FM_PUSH:
        data->numb = key >= 1 && key <= kMaxMouseButton ? key : 0;
        switch (obj->type) {
        case FM_TOGGLE_BUTTON:
            set_value(obj, !data->value);
            return 1;
        case FM_PUSH_BUTTON:
        case FM_RADIO_BUTTON:
            set_value(obj, 1);
            return 1;
        default:
            set_value(obj, 1);
            return 0;
        }
    case FM_MOUSE:
        if (obj->type == FM_NORMAL_BUTTON || obj->type == FM_HIDDEN_BUTTON) set_value(obj, inside(obj, mx, my));
        return 0;
    case FM_RELEASE:
        switch (obj->type) {
        case FM_RADIO_BUTTON:
            if (!obj->pushed) set_value(obj, 0);  // released by another button of its group
            return 0;
        case FM_TOGGLE_BUTTON:
            return 0;
        case FM_PUSH_BUTTON:
            set_value(obj, 0);
            return 0;
        default: {
            bool was_on = data->value;
            set_value(obj, 0);
            return was_on && inside(obj, mx, my);
        }
        }
    default:
        return 0;
    }
}

}  // namespace

FmObject *fm_add_button_class(int objclass, int type, float x, float y, float w, float h,
                              const char *label) {
    auto obj = fm_make_object(objclass, type, x, y, w, h, label, handle_button);
    obj->spec = std::make_unique<ButtonData>();
    obj->boxtype = objclass == FM_ROUNDBUTTON ? FM_NO_BOX : FM_UP_BOX;
    obj->col1 = FM_COL1;
    obj->col2 = objclass == FM_LIGHTBUTTON ? FM_YELLOW : objclass == FM_ROUNDBUTTON ? FM_SELECT_COL : FM_MCOL;
    obj->radio = type == FM_RADIO_BUTTON;
    return fm_add_to_current_form(std::move(obj));
}

FmObject *fm_add_button(int type, float x, float y, float w, float h, const char *label) {
    return fm_add_button_class(FM_BUTTON, type, x, y, w, h, label);
}

FmObject *fm_add_lightbutton(int type, float x, float y, float w, float h, const char *label) {
    return fm_add_button_class(FM_LIGHTBUTTON, type, x, y, w, h, label);
}

FmObject *fm_add_roundbutton(int type, float x, float y, float w, float h, const char *label) {
    return fm_add_button_class(FM_ROUNDBUTTON, type, x, y, w, h, label);
}

void fm_set_button(FmObject *obj, int value) {
    if (!obj || !fm_data<ButtonData>(obj)) {
        fm_show_error("fm_set_button", "Object is NULL.");
        return;
    }
    if (obj->type == FM_RADIO_BUTTON) obj->pushed = value != 0;
    set_value(obj, value != 0);
}

int fm_get_button(FmObject *obj) {
    if (!obj || !fm_data<ButtonData>(obj)) {
        fm_show_error("fm_get_button", "Object is NULL.");
        return 0;
    }
    return fm_data<ButtonData>(obj)->value;
}

int fm_get_button_numb(FmObject *obj) {
    auto *data = fm_data<ButtonData>(obj);
    return data ? data->numb : 0;
}

}  // namespace vellimor
