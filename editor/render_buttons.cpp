// The preview and render buttons of the main window, their keyboard shortcuts, "Rebuild Hairs".
#include "editor/designer_callbacks.h"
#include "editor/designer_objects.h"
#include "forms/forms.h"
#include "hair/placement.h"
#include "render/draw.h"

namespace vellimor {

void draw_button_callback(FmObject *, long mode) { draw_graphics_view(int(mode)); }

void rebuild_hairs_callback(FmObject *, long) {
    if (count_selected(1, 0, nullptr, 0) == 0) return;
    build_all_patches(1, 1);
    redraw_graphics_view();
}

void attach_shortcuts() {
    MainWindowObjects &m = designer_windows().main;
    fm_set_object_shortcut(m.preview_sel, "^x^X");
    fm_set_object_shortcut(m.preview_all, "^z^Z^d^D");
    fm_set_object_shortcut(m.render_sel, "^s^S");
    fm_set_object_shortcut(m.render_all, "^a^A");
    fm_set_object_shortcut(m.copy_color, "^c^C");
    fm_set_object_shortcut(m.paste_color, "^v^V");
}

}  // namespace vellimor
