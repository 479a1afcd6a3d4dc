#include "forms/choice.h"

#include "forms/attributes.h"
#include "forms/drawing.h"
#include "forms/form_definition.h"
#include "forms/popup_menu.h"
#include "forms/toolkit.h"

#include <GL/freeglut.h>

#include <cmath>
#include <string>
#include <vector>

namespace vellimor {
namespace {

struct ChoiceData : FmClassData {
    std::vector<std::string> entries;
    int selected = 0;
};

void draw_choice(FmObject *obj) {
    auto *d = fm_data<ChoiceData>(obj);
    fm_draw_box(obj->boxtype, obj->x, obj->y, obj->w, obj->h, obj->pushed ? obj->col2 : obj->col1);
    float arrow = std::min(obj->h, 18.0f);
    if (d->selected > 0)
        fm_draw_text_clipped(FM_ALIGN_CENTER, obj->x + 4, obj->y, obj->w - arrow - 8, obj->h, FM_BLACK, obj->lsize,
                             FM_NORMAL_STYLE, d->entries[d->selected - 1]);
    fm_draw_text(FM_ALIGN_CENTER, obj->x + obj->w - arrow - 2, obj->y, arrow, obj->h, FM_BOTTOM_BCOL, 0, 0, "@v");
    fm_draw_object_label(obj);
}

// The screen pixel (origin upper left) of the object's lower-left corner.
void screen_corner(const FmObject *obj, int &sx, int &sy) {
    const FmForm *form = obj->form;
    glutSetWindow(form->window);
    float scale_x = form->window_w / form->w, scale_y = form->window_h / form->h;
    sx = glutGet(GLUT_WINDOW_X) + static_cast<int>(std::lround(obj->x * scale_x));
    sy = glutGet(GLUT_WINDOW_Y) + static_cast<int>(std::lround((form->h - obj->y) * scale_y));
}

int handle_choice(FmObject *obj, int event, float mx, float my, int key) {
    auto *d = fm_data<ChoiceData>(obj);
    switch (event) {
    case FM_DRAW:
        draw_choice(obj);
        return 0;
    case FM_PUSH:
        fm_redraw_object(obj);
        return 0;
    case FM_RELEASE: {
        fm_redraw_object(obj);
        bool inside = mx >= obj->x && mx <= obj->x + obj->w && my >= obj->y && my <= obj->y + obj->h;
        if (!inside || d->entries.empty() || fm_headless()) return 0;
        int sx, sy;
        screen_corner(obj, sx, sy);
        int picked = fm_popup_menu(d->entries, d->selected, sx, sy, obj->w);
        if (picked <= 0 || picked == d->selected) return 0;
        d->selected = picked;
        fm_redraw_object(obj);
        return 1;
    }
    default:
        return 0;
    }
}

ChoiceData *choice(FmObject *obj, const char *where) {
    auto *d = fm_data<ChoiceData>(obj);
    if (!d) fm_show_error(where, "Object is NULL.");
    return d;
}

}  // namespace

FmObject *fm_add_choice(int type, float x, float y, float w, float h, const char *label) {
    auto obj = fm_make_object(FM_CHOICE, type, x, y, w, h, label, handle_choice);
    obj->spec = std::make_unique<ChoiceData>();
    obj->boxtype = FM_UP_BOX;
    obj->col1 = FM_COL1;
    obj->col2 = FM_MCOL;
    obj->align = FM_ALIGN_LEFT;
    return fm_add_to_current_form(std::move(obj));
}

void fm_clear_choice(FmObject *obj) {
    if (auto *d = choice(obj, "fm_clear_choice")) {
        d->entries.clear();
        d->selected = 0;
        fm_redraw_object(obj);
    }
}

void fm_addto_choice(FmObject *obj, const char *entry) {
    auto *d = choice(obj, "fm_addto_choice");
    if (!d || static_cast<int>(d->entries.size()) >= kFmChoiceMaxEntries) return;
    d->entries.push_back(std::string(entry ? entry : "").substr(0, kFmChoiceEntryMax));
    if (d->selected == 0) d->selected = 1;
    fm_redraw_object(obj);
}

void fm_replace_choice(FmObject *obj, int n, const char *entry) {
    auto *d = choice(obj, "fm_replace_choice");
    if (!d || n < 1 || n > static_cast<int>(d->entries.size())) return;
    d->entries[n - 1] = std::string(entry ? entry : "").substr(0, kFmChoiceEntryMax);
    fm_redraw_object(obj);
}

void fm_set_choice(FmObject *obj, int n) {
    auto *d = choice(obj, "fm_set_choice");
    if (!d || n < 0 || n > static_cast<int>(d->entries.size())) return;
    d->selected = n;
    fm_redraw_object(obj);
}

int fm_get_choice(FmObject *obj) {
    auto *d = choice(obj, "fm_get_choice");
    return d ? d->selected : 0;
}

const char *fm_get_choice_text(FmObject *obj) {
    auto *d = choice(obj, "fm_get_choice_text");
    return d && d->selected > 0 ? d->entries[d->selected - 1].c_str() : nullptr;
}

int fm_get_choice_count(FmObject *obj) {
    auto *d = choice(obj, "fm_get_choice_count");
    return d ? static_cast<int>(d->entries.size()) : 0;
}

}  // namespace vellimor
