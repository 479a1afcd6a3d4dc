#include "forms/object.h"

#include "forms/toolkit.h"

namespace vellimor {

std::unique_ptr<FmObject> fm_make_object(int objclass, int type, float x, float y, float w, float h,
                         const char *label, FmHandleFn handle) {
    fm_init();
    auto obj = std::make_unique<FmObject>();
    obj->objclass = objclass;
    obj->type = type;
    obj->x = x;
    obj->y = y;
    obj->w = w;
    obj->h = h;
    obj->label = std::string(label ? label : "").substr(0, kFmLabelMax);
    obj->handle = handle;
    return obj;
}

bool fm_is_marker(const FmObject *obj) {
    return obj && (obj->objclass == FM_BEGIN_GROUP || obj->objclass == FM_END_GROUP);
}

}  // namespace vellimor
