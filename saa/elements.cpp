// Operations common to every element: type, name, validity, wire type.
#include "saa/elements.h"

#include "saa/host_state.h"

namespace vellimor::saa {

const Mesh *mesh_part_of(const Scene &scene, const SAA_Elem &e) {
    if ((e.kind != kElemPolygon && e.kind != kElemCtrlVertex) || e.id >= scene.models.size()) return nullptr;
    const Model &m = scene.models[e.id];
    if (!m.alive || m.serial != e.serial || !m.mesh) return nullptr;
    std::size_t limit = e.kind == kElemPolygon ? m.mesh->sizes.size() : m.mesh->indices.size();
    return e.sub < limit ? m.mesh.get() : nullptr;
}

std::string *element_name(const SAA_Scene *scene, const SAA_Elem *element, int &status) {
    Scene *s = scene_of(scene, status);
    if (!s) return nullptr;
    if (!element) {
        status = fail(SAA_ERR_ARGUMENT, "no element handle");
        return nullptr;
    }
    switch (element->kind) {
    case kElemModel:
        if (Model *m = model_of(scene, element, status)) return &m->name;
        return nullptr;
    case kElemLight:
        if (Light *l = light_of(scene, element, status)) return &l->name;
        return nullptr;
    case kElemCamera:
        if (Camera *c = camera_of(scene, element, status)) return &c->name;
        return nullptr;
    default:
        status = fail(SAA_ERR_INVALID, "this element has no name");
        return nullptr;
    }
}

int *element_wire_type(const SAA_Scene *scene, const SAA_Elem *element, int &status) {
    if (element && element->kind == kElemLight) {
        Light *l = light_of(scene, element, status);
        return l ? &l->wire_type : nullptr;
    }
    Model *m = model_of(scene, element, status);
    return m ? &m->wire_type : nullptr;
}

}  // namespace vellimor::saa

using namespace vellimor::saa;

extern "C" int SAA_modelGetType(const SAA_Scene *scene, const SAA_Elem *model, int *type) {
    int status = SAA_OK;
    Model *m = model_of(scene, model, status);
    if (!m) return status;
    if (!type) return fail(SAA_ERR_ARGUMENT, "null result pointer");
    *type = m->type;
    return SAA_OK;
}

extern "C" int SAA_elementGetNameLength(const SAA_Scene *scene, const SAA_Elem *element, int *length) {
    int status = SAA_OK;
    std::string *name = element_name(scene, element, status);
    if (!name) return status;
    if (!length) return fail(SAA_ERR_ARGUMENT, "null result pointer");
    *length = static_cast<int>(name->size());
    return SAA_OK;
}

extern "C" int SAA_elementGetName(const SAA_Scene *scene, const SAA_Elem *element, int max_length, char *name) {
    int status = SAA_OK;
    std::string *stored = element_name(scene, element, status);
    return stored ? copy_text(*stored, max_length, name) : status;
}

extern "C" int SAA_elementSetName(const SAA_Scene *scene, const SAA_Elem *element, const char *name) {
    int status = SAA_OK;
    std::string *stored = element_name(scene, element, status);
    if (!stored) return status;
    if (!name) return fail(SAA_ERR_ARGUMENT, "null name");
    return guarded([&]() -> int {
        *stored = name;
        return SAA_OK;
    });
}

extern "C" int SAA_elementIsValid(const SAA_Scene *scene, const SAA_Elem *element, int *valid) {
    int status = SAA_OK;
    Scene *s = scene_of(scene, status);
    if (!s) return status;
    if (!element || !valid) return fail(SAA_ERR_ARGUMENT, "null argument");
    switch (element->kind) {
    case kElemModel: *valid = model_of(scene, element, status) != nullptr; break;
    case kElemLight: *valid = light_of(scene, element, status) != nullptr; break;
    case kElemCamera: *valid = camera_of(scene, element, status) != nullptr; break;
    default: *valid = mesh_part_of(*s, *element) != nullptr; break;
    }
    return SAA_OK;
}

extern "C" int SAA_elementGetWireType(const SAA_Scene *scene, const SAA_Elem *element, int *wire_type) {
    int status = SAA_OK;
    int *stored = element_wire_type(scene, element, status);
    if (!stored) return status;
    if (!wire_type) return fail(SAA_ERR_ARGUMENT, "null result pointer");
    *wire_type = *stored;
    return SAA_OK;
}

extern "C" int SAA_elementSetWireType(const SAA_Scene *scene, const SAA_Elem *element, int wire_type) {
    int status = SAA_OK;
    int *stored = element_wire_type(scene, element, status);
    if (!stored) return status;
    *stored = wire_type;
    return SAA_OK;
}
