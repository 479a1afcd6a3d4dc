#include "forms/free_object.h"

#include "forms/form_definition.h"

namespace vellimor {

FmObject *fm_add_free(int type, float x, float y, float w, float h, const char *label, FmHandleFn handle) {
    auto obj = fm_make_object(FM_FREE, type, x, y, w, h, label, handle);
    obj->input = type == FM_INPUT_FREE || type == FM_ALL_FREE;
    obj->automatic = type == FM_CONTINUOUS_FREE || type == FM_ALL_FREE;
    return fm_add_to_current_form(std::move(obj));
}

}  // namespace vellimor
