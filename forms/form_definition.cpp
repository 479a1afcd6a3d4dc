#include "forms/form_definition.h"

#include "forms/attributes.h"
#include "forms/box_text.h"
#include "forms/form_display.h"
#include "forms/toolkit.h"
#include "forms/toolkit_state.h"

#include <algorithm>

namespace vellimor {
namespace {

bool g_double_buffer = true;

void unlink(FmObject *obj) {
    FmForm *form = obj->form;
    (obj->prev ? obj->prev->next : form->first) = obj->next;
    (obj->next ? obj->next->prev : form->last) = obj->prev;
    obj->next = obj->prev = nullptr;
}

// Clears every toolkit reference to an object that is about to go.
void forget_object(FmObject *obj) {
    FmToolkit &tk = fm_toolkit();
    if (tk.mouse_obj == obj) tk.mouse_obj = nullptr;
    if (tk.pushed_obj == obj) tk.pushed_obj = nullptr;
    if (tk.open_group == obj) tk.open_group = nullptr;
    if (obj->form && obj->form->focusobj == obj) obj->form->focusobj = nullptr;
    auto &ring = tk.returned.items;
    ring.erase(std::remove(ring.begin(), ring.end(), obj), ring.end());
}

FmObject *add_marker(int objclass) {
    return fm_add_object(fm_current_form(), fm_make_object(objclass, 0, 0, 0, 0, 0, "", nullptr));
}

}  // namespace

void fm_set_double_buffer(bool on) { g_double_buffer = on; }

FmForm *fm_bgn_form(int boxtype, float w, float h) {
    fm_init();
    FmToolkit &tk = fm_toolkit();
    if (tk.defining) {
        fm_show_error("fm_bgn_form", "You forgot calling fl_end_form.");
        fm_end_form();
    }
    tk.forms.push_back(std::make_unique<FmForm>());
    FmForm *form = tk.forms.back().get();
    form->w = w;
    form->h = h;
    form->doublebuf = g_double_buffer;
    tk.defining = form;
    fm_add_box(boxtype, 0, 0, w, h, "");
    return form;
}

void fm_end_form() {
    FmToolkit &tk = fm_toolkit();
    if (!tk.defining) {
        fm_show_error("fm_end_form", "Ending form definition of NULL form.");
        return;
    }
    if (tk.open_group) {
        fm_show_error("fm_end_form", "You forgot calling fl_end_group.");
        fm_end_group();
    }
    FmForm *form = tk.defining;
    tk.defining = nullptr;
    if (form->visible) fm_redraw_form(form);
}

void fm_addto_form(FmForm *form) {
    FmToolkit &tk = fm_toolkit();
    if (!form) {
        fm_show_error("fm_addto_form", "Adding to NULL form.");
        return;
    }
    if (tk.defining && tk.defining != form) {
        fm_show_error("fm_addto_form", "You forgot calling fl_end_form");
        fm_end_form();
    }
    tk.defining = form;
}

FmForm *fm_current_form() { return fm_toolkit().defining; }

FmObject *fm_bgn_group() {
    FmToolkit &tk = fm_toolkit();
    if (!tk.defining) {
        fm_show_error("fm_bgn_group", "Starting group in NULL form.");
        return nullptr;
    }
    if (tk.open_group) {
        fm_show_error("fm_bgn_group", "You forgot calling fl_end_group.");
        fm_end_group();
    }
    tk.open_group = add_marker(FM_BEGIN_GROUP);
    return tk.open_group;
}

FmObject *fm_end_group() {
    FmToolkit &tk = fm_toolkit();
    if (!tk.defining) {
        fm_show_error("fm_end_group", "Ending group in NULL form.");
        return nullptr;
    }
    if (!tk.open_group) {
        fm_show_error("fm_end_group", "Ending NULL group.");
        return nullptr;
    }
    tk.open_group = nullptr;
    return add_marker(FM_END_GROUP);
}

FmObject *fm_add_object(FmForm *form, std::unique_ptr<FmObject> obj) {
    if (!obj) {
        fm_show_error("fm_add_object", "Trying to add NULL object.");
        return nullptr;
    }
    if (!form) {
        fm_show_error("fm_add_object", "Trying to add object to NULL form.");
        return nullptr;
    }
    FmObject *raw = obj.get();
    form->owned.push_back(std::move(obj));
    raw->form = form;
    raw->prev = form->last;
    (form->last ? form->last->next : form->first) = raw;
    form->last = raw;
    if (form->visible) fm_redraw_object(raw);
    return raw;
}

FmObject *fm_add_to_current_form(std::unique_ptr<FmObject> obj) {
    return fm_add_object(fm_current_form(), std::move(obj));
}

void fm_delete_object(FmObject *obj) {
    if (!obj) {
        fm_show_error("fm_delete_object", "Object is NULL.");
        return;
    }
    FmForm *form = obj->form;
    forget_object(obj);
    if (!form) return;
    bool was_visible = obj->visible;
    fm_hide_object(obj);
    obj->visible = was_visible;
    unlink(obj);
    auto &owned = form->owned;
    owned.erase(std::remove_if(owned.begin(), owned.end(), [&](auto &p) { return p.get() == obj; }),
                owned.end());
}

void fm_free_form(FmForm *form) {
    if (!form) return;
    FmToolkit &tk = fm_toolkit();
    if (form->visible) fm_hide_form(form);
    fm_for_each_object(form, forget_object);
    if (tk.defining == form) tk.defining = nullptr;
    if (tk.mouse_form == form) tk.mouse_form = nullptr;
    auto &forms = tk.forms;
    forms.erase(std::remove_if(forms.begin(), forms.end(), [&](auto &p) { return p.get() == form; }),
                forms.end());
}

}  // namespace vellimor
