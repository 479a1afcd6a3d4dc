#include "forms/attributes.h"

#include "forms/dispatch.h"
#include "forms/drawing.h"
#include "forms/form_display.h"
#include "forms/toolkit.h"
#include "forms/toolkit_state.h"

namespace vellimor {
namespace {

bool present(const FmObject *obj, const char *where, const char *message) {
    if (obj) return true;
    fm_show_error(where, message);
    return false;
}

// Runs `change` and marks what the object covered before and covers after for redrawing (labels
// may sit outside the object and change size).
template <class Change>
void change_and_redraw(FmObject *obj, Change change) {
    FmRect before = fm_object_extent(obj);
    bool was_visible = obj->visible;
    change();
    if (!obj->form) return;
    obj->redraw = true;
    if (obj->frozen) return;
    if (was_visible) fm_invalidate_area(obj->form, before);
    if (obj->visible) fm_invalidate_area(obj->form, fm_object_extent(obj));
}

}  // namespace

void fm_set_object_boxtype(FmObject *obj, int boxtype) {
    if (!present(obj, "fm_set_object_boxtype", "Setting boxtype of NULL object.")) return;
    if (boxtype < 0 || boxtype >= kFmBoxTypeCount) {
        fm_show_error("fm_set_object_boxtype", "Unknown box type");
        return;
    }
    change_and_redraw(obj, [&] { obj->boxtype = boxtype; });
}

void fm_set_object_color(FmObject *obj, int col1, int col2) {
    if (!present(obj, "fm_set_object_color", "Setting color of NULL object.")) return;
    change_and_redraw(obj, [&] {
        obj->col1 = col1;
        obj->col2 = col2;
    });
}

void fm_set_object_label(FmObject *obj, const char *label) {
    if (!present(obj, "fm_set_object_label", "Setting label of NULL object.")) return;
    change_and_redraw(obj, [&] { obj->label = std::string(label ? label : "").substr(0, kFmLabelMax); });
}

void fm_set_object_lcol(FmObject *obj, int lcol) {
    if (!present(obj, "fm_set_object_lcol", "Setting label color of NULL object.")) return;
    change_and_redraw(obj, [&] { obj->lcol = lcol; });
}

void fm_set_object_lsize(FmObject *obj, float lsize) {
    if (!present(obj, "fm_set_object_lsize", "Setting label size of NULL object.")) return;
    if (!fm_font_size_exists(lsize)) {
        fm_show_error("fm_set_object_lsize", "Font does not exist.");
        return;
    }
    change_and_redraw(obj, [&] { obj->lsize = lsize; });
}

void fm_set_object_lstyle(FmObject *obj, int lstyle) {
    if (!present(obj, "fm_set_object_lstyle", "Setting label style of NULL object.")) return;
    if (lstyle < 0 || lstyle >= kFmStyleCount) {
        fm_show_error("fm_set_object_lstyle", "Unknown font style");
        return;
    }
    change_and_redraw(obj, [&] { obj->lstyle = lstyle; });
}

void fm_set_object_align(FmObject *obj, int align) {
    if (!present(obj, "fm_set_object_align", "Setting label alignment of NULL object.")) return;
    change_and_redraw(obj, [&] { obj->align = align; });
}

void fm_set_object_shortcut(FmObject *obj, const char *keys) {
    if (!present(obj, "fm_set_object_shortcut", "Object is NULL.")) return;
    obj->shortcut = keys ? keys : "";
}

bool fm_shortcut_matches(const FmObject *obj, int key) {
    const std::string &s = obj->shortcut;
    for (std::size_t i = 0; i < s.size(); ++i) {
        int c = static_cast<unsigned char>(s[i]);
        if (c == '^' && i + 1 < s.size()) c = static_cast<unsigned char>(s[++i]) & 0x1f;
        if (c == key) return true;
    }
    return false;
}

void fm_set_object_focus(FmForm *form, FmObject *obj) {
    if (!form) {
        fm_show_error("fm_set_object_focus", "Setting focus in NULL form.");
        return;
    }
    if (form->focusobj == obj) return;
    if (form->focusobj) fm_handle_object(form->focusobj, FM_UNFOCUS, 0, 0, 0);
    if (obj && obj->form == form) fm_handle_object(obj, FM_FOCUS, 0, 0, 0);
}

void fm_set_call_back(FmObject *obj, FmCallback callback, long argument) {
    if (!present(obj, "fm_set_call_back", "Setting callback of NULL object.")) return;
    obj->callback = callback;
    obj->argument = argument;
}

void fm_show_object(FmObject *obj) {
    if (!present(obj, "fm_show_object", "Trying to show NULL object.")) return;
    if (obj->visible) return;
    change_and_redraw(obj, [&] { obj->visible = true; });
}

void fm_hide_object(FmObject *obj) {
    if (!present(obj, "fm_hide_object", "Trying to hide NULL object.")) return;
    if (!obj->visible) return;
    FmToolkit &tk = fm_toolkit();
    if (tk.mouse_obj == obj) tk.mouse_obj = nullptr;
    if (tk.pushed_obj == obj) tk.pushed_obj = nullptr;
    if (obj->form && obj->form->focusobj == obj) fm_set_object_focus(obj->form, nullptr);
    change_and_redraw(obj, [&] { obj->visible = false; });
}

void fm_activate_object(FmObject *obj) {
    if (!present(obj, "fm_activate_object", "Object is NULL.")) return;
    change_and_redraw(obj, [&] { obj->active = true; });
}

void fm_deactivate_object(FmObject *obj) {
    if (!present(obj, "fm_deactivate_object", "Object is NULL.")) return;
    FmToolkit &tk = fm_toolkit();
    if (tk.pushed_obj == obj) tk.pushed_obj = nullptr;
    change_and_redraw(obj, [&] { obj->active = false; });
}

void fm_redraw_object(FmObject *obj) {
    if (!present(obj, "fm_redraw_object", "Trying to draw NULL object.")) return;
    change_and_redraw(obj, [] {});
}

void fm_freeze_object(FmObject *obj) {
    if (!present(obj, "fm_freeze_object", "Freezing NULL object.")) return;
    obj->frozen = true;
}

void fm_unfreeze_object(FmObject *obj) {
    if (!present(obj, "fm_unfreeze_object", "Unfreezing NULL object.")) return;
    obj->frozen = false;
    if (obj->redraw) fm_redraw_object(obj);
}

}  // namespace vellimor
