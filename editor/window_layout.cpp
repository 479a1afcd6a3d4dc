#include "editor/window_layout.h"

#include "editor/designer_callbacks.h"
#include "editor/designer_objects.h"
#include "forms/forms.h"

namespace vellimor {

FmObject *layout_button(int type, float x, float y, float w, float h, const char *label,
                        FmCallback callback, long argument) {
    FmObject *obj = fm_add_button(type, x, y, w, h, label);
    if (callback) fm_set_call_back(obj, callback, argument);
    else obj->argument = argument;
    return obj;
}

FmObject *layout_slider(float x, float y, float w, float h, const char *label, int type) {
    FmObject *obj = fm_add_slider(type, x, y, w, h, label);
    fm_set_object_align(obj, FM_ALIGN_LEFT);
    return obj;
}

FmObject *layout_field(float x, float y, float w, float h, const char *label) {
    FmObject *obj = fm_add_input(FM_NORMAL_INPUT, x, y, w, h, label);
    fm_set_object_align(obj, FM_ALIGN_LEFT);
    fm_set_call_back(obj, pair_field_callback, 0);
    return obj;
}

FmObject *layout_help_timer() {
    FmObject *timer = fm_add_timer(FM_HIDDEN_TIMER, 0, 0, 1, 1, "");
    fm_set_call_back(timer, help_timer_callback, 0);
    return timer;
}

}  // namespace vellimor
