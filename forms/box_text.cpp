#include "forms/box_text.h"

#include "forms/drawing.h"
#include "forms/form_definition.h"

namespace vellimor {
namespace {

int handle_box(FmObject *obj, int event, float, float, int) {
    if (event != FM_DRAW) return 0;
    fm_draw_box(obj->boxtype, obj->x, obj->y, obj->w, obj->h, obj->col1);
    fm_draw_object_label(obj);
    return 0;
}

int handle_text(FmObject *obj, int event, float, float, int) {
    if (event != FM_DRAW) return 0;
    fm_draw_box(obj->boxtype, obj->x, obj->y, obj->w, obj->h, obj->col1);
    fm_draw_object_label_inside(obj);
    return 0;
}

}  // namespace

FmObject *fm_add_box(int boxtype, float x, float y, float w, float h, const char *label) {
    auto obj = fm_make_object(FM_BOX, boxtype, x, y, w, h, label, handle_box);
    obj->boxtype = boxtype;
    return fm_add_to_current_form(std::move(obj));
}

FmObject *fm_add_text(int type, float x, float y, float w, float h, const char *label) {
    auto obj = fm_make_object(FM_TEXT, type, x, y, w, h, label, handle_text);
    obj->align = FM_ALIGN_LEFT;
    return fm_add_to_current_form(std::move(obj));
}

}  // namespace vellimor
