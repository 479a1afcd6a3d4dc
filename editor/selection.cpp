// Selection of patches: the object browser, its buttons and groups, and the one operation that
// applies the browser's selection to the fur records and the host.
#include <algorithm>

#include "editor/designer_callbacks.h"
#include "editor/designer_objects.h"
#include "editor/slider_panel.h"
#include "forms/forms.h"
#include "furdata/display_settings.h"
#include "furdata/patch_data.h"
#include "hair/placement.h"
#include "hair/shadows.h"
#include "host/scene.h"
#include "host/status.h"
#include "saa/saa.h"

namespace vellimor {
namespace {

PatchData *patch(int i) {
    auto &patches = scene_state().patches;
    return i >= 0 && i < int(patches.size()) ? patches[size_t(i)].get() : nullptr;
}

// The patch a browser line shows, or -1.
int line_to_patch(int line) {
    const auto &table = editor_state().line_patch;
    return line >= 1 && line < int(table.size()) ? table[size_t(line)] : -1;
}

bool shift_held() { return getbutton(1) != 0; }

FmObject *browser() { return designer_windows().main.browser; }

void for_each_line(auto fn) {
    const int lines = fm_get_browser_maxline(browser());
    for (int line = 1; line <= lines; ++line) fn(line, line_to_patch(line));
}

// A new default record in place of patch i's, keeping its name; hairs rebuilt, shadows when it
// casts them.
void reset_patch(int i) {
    SceneState &s = scene_state();
    PatchData *old = patch(i);
    if (!old) return;
    const std::string name = old->name;
    const bool selected = old->is_selected != 0;
    patch_free(i);
    s.patches[size_t(i)] = patch_new();
    PatchData &fresh = *s.patches[size_t(i)];
    fresh.name = name;
    fresh.is_selected = selected ? 1 : 0;
    patch_geometry(i);
    grow_fur(i, -1, 1);
    if (fresh.casts_shadow) quant_patches();
}

void refresh_shown_windows() {
    DesignerWindows &w = designer_windows();
    if (w.selected.form && w.selected.form->visible) selected_settings_fill();
    if (w.dynamic.form && w.dynamic.form->visible) dynamic_settings_fill();
    refresh_curve_list();
}

void show_toggles_from_settings() {
    const DisplaySettings *settings = display_settings();
    if (!settings) return;
    MainWindowObjects &m = designer_windows().main;
    for (int r = 0; r < kChannelRows; ++r) {
        FmObject *toggle = m.channel_show[size_t(r)];
        if (toggle) fm_set_button(toggle, settings->show_channel[kChannelOfRow[size_t(r)]] ? 1 : 0);
    }
}

}  // namespace

RedrawHook &fcurve_list_refresh_hook() {
    static RedrawHook hook = nullptr;
    return hook;
}

void refresh_curve_list() {
    if (fcurve_list_refresh_hook()) fcurve_list_refresh_hook()();
}

void browser_fill() {
    EditorState &e = editor_state();
    FmObject *list = browser();
    e.line_patch.assign(1, -1);
    if (!list) return;
    fm_freeze_object(list);
    fm_clear_browser(list);
    const SceneState &s = scene_state();
    for (int i = 0; i < int(s.patches.size()); ++i) {
        const PatchData *p = s.patches[size_t(i)].get();
        if (!p || p->deleted) continue;
        fm_add_browser_line(list, p->name.c_str());
        e.line_patch.push_back(i);
        if (p->is_selected) fm_select_browser_line(list, int(e.line_patch.size()) - 1);
    }
    fm_unfreeze_object(list);
}

int count_selected(int warn_none, int warn_many, int *out, int max) {
    const SceneState &s = scene_state();
    int count = 0;
    for (int i = 0; i < int(s.patches.size()); ++i) {
        const PatchData *p = s.patches[size_t(i)].get();
        if (!p || !p->is_selected || p->deleted) continue;
        if (out && count < max) out[count] = i;
        ++count;
    }
    if (count == 0 && warn_none) status_warning("No objects selected");
    if (count > 1 && warn_many) status_warning("More than one object is selected");
    return count;
}

void selection_sync(int redraw) {
    SceneState &s = scene_state();
    EditorState &e = editor_state();
    SAA_selectlistClear(&s.scene);
    s.current_patch = -1;
    for_each_line([](int line, int i) {
        if (PatchData *p = patch(i)) p->is_selected = fm_isselected_browser_line(browser(), line) ? 1 : 0;
    });
    int first = -1;
    if (count_selected(0, 0, &first, 1) > 0) {
        PatchData &p = *patch(first);
        slider_panel_load(p);
        if (designer_windows().main.persistent)
            fm_set_button(designer_windows().main.persistent, p.presistant_rebuild ? 1 : 0);
        e.current_color_key.fill(0);
        SAA_selectlistSetElements(&s.scene, 1, 1, &s.models[size_t(first)]);
        s.current_patch = first;
    } else {
        slider_panel_clear();
    }
    refresh_shown_windows();
    if (redraw) redraw_views();
    show_toggles_from_settings();
}

void browser_callback(FmObject *obj, long) {
    const int line = fm_get_browser(obj);
    if (shift_held() && line != 0) {
        const int i = line_to_patch(line < 0 ? -line : line);
        if (patch(i)) {
            // The click changed the line's selection; a reset keeps the selection it had.
            if (line > 0)
                fm_deselect_browser_line(obj, line);
            else
                fm_select_browser_line(obj, -line);
            reset_patch(i);
        }
    }
    selection_sync(1);
}

void select_all_callback(FmObject *, long) {
    for_each_line([](int line, int) { fm_select_browser_line(browser(), line); });
    selection_sync(1);
}

void select_none_callback(FmObject *, long) {
    fm_deselect_browser(browser());
    selection_sync(1);
}

void select_invert_callback(FmObject *, long) {
    for_each_line([](int line, int) {
        if (fm_isselected_browser_line(browser(), line))
            fm_deselect_browser_line(browser(), line);
        else
            fm_select_browser_line(browser(), line);
    });
    selection_sync(1);
}

void delete_callback(FmObject *, long) {
    SceneState &s = scene_state();
    if (shift_held()) {
        for (auto &p : s.patches)
            if (p) p->deleted = 0;
    } else {
        for (auto &p : s.patches) {
            if (!p || !p->is_selected) continue;
            p->deleted = 1;
            p->is_selected = 0;
        }
    }
    refresh_patch_list();
    selection_sync(1);
}

void group_callback(FmObject *, long group_index) {
    const short bit = short(1 << group_index);
    if (shift_held()) {
        // Every patch leaves the group, the deleted ones (not listed) too; the listed selected
        // ones join it.
        for (auto &p : scene_state().patches)
            if (p) p->group = short(p->group & ~bit);
        for_each_line([bit](int line, int i) {
            PatchData *p = patch(i);
            if (p && fm_isselected_browser_line(browser(), line)) p->group = short(p->group | bit);
        });
        status_line("Group redefined");
        return;
    }
    for_each_line([bit](int line, int i) {
        const PatchData *p = patch(i);
        if (p && (p->group & bit))
            fm_select_browser_line(browser(), line);
        else
            fm_deselect_browser_line(browser(), line);
    });
    selection_sync(1);
}

void persistent_callback(FmObject *obj, long) {
    const int on = fm_get_button(obj);
    for (auto &p : scene_state().patches)
        if (p && p->is_selected) p->presistant_rebuild = on;
}

}  // namespace vellimor
