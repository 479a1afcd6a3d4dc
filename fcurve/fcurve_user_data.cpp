#include "fcurve/fcurve_user_data.h"

#include <string>

#include "fcurve/fcurve_store.h"

namespace vellimor {

namespace {

std::string record_name(int id) { return "FCurve_" + std::to_string(id); }

std::string component_name(int id, int i, const char *suffix) {
    return record_name(id) + "_" + std::to_string(i) + suffix;
}

struct StoredBlock {
    std::span<const uint8_t> bytes;
    bool swap = false;
};

// The block as the host keeps it; empty when absent.
StoredBlock fetch_block(const SAA_Scene *scene, const SAA_Elem *model, const std::string &name) {
    int size = 0;
    short swap_flag = 0;
    void *data = nullptr;
    if (SAA_modelAllocUserData(scene, model, name.c_str(), &size, &swap_flag, &data) != SAA_OK ||
        size <= 0 || !data)
        return {};
    return {{static_cast<const uint8_t *>(data), static_cast<size_t>(size)}, swap_flag != 0};
}

int store_block(const SAA_Scene *scene, const SAA_Elem *model, const std::string &name,
                const std::vector<uint8_t> &bytes) {
    SAA_modelDestroyUserData(scene, model, name.c_str());  // absent is fine
    return SAA_modelSetUserData(scene, model, name.c_str(), static_cast<int>(bytes.size()), 0,
                                bytes.data());
}

// One component read from its three blocks, or null.
std::unique_ptr<Herm> load_component(const SAA_Scene *scene, const SAA_Elem *model, int id, int i,
                                     FCurveLimit &limit) {
    const StoredBlock limits = fetch_block(scene, model, component_name(id, i, ""));
    if (!decode_limit_record(limits.bytes, limits.swap, limit)) return nullptr;
    const StoredBlock record = fetch_block(scene, model, component_name(id, i, "_Herm"));
    int nb_points = 0;
    auto curve = decode_herm_record(record.bytes, record.swap, nb_points);
    if (!curve) return nullptr;
    const StoredBlock points = fetch_block(scene, model, component_name(id, i, "_herm"));
    if (!decode_herm_points(points.bytes, points.swap, nb_points, *curve)) return nullptr;
    return curve;
}

}  // namespace

int fcurve_save_user_data(const SAA_Scene *scene, const SAA_Elem *model, int id) {
    const FCurve *f = id != 0 ? fcurve_find(id) : nullptr;
    if (!f) return 0;
    if (int rc = store_block(scene, model, record_name(id), encode_fcurve_record(*f))) return rc;
    for (int i = 0; i < f->nb_curves && i < kFCurveMaxComponents; ++i) {
        const FCurveLimit &limit = f->limits[i];
        if (int rc = store_block(scene, model, component_name(id, i, ""), encode_limit_record(limit)))
            return rc;
        if (!limit.curve) continue;  // nothing to store; such a curve loads as none
        if (int rc = store_block(scene, model, component_name(id, i, "_Herm"),
                                 encode_herm_record(*limit.curve)))
            return rc;
        if (int rc = store_block(scene, model, component_name(id, i, "_herm"),
                                 encode_herm_points(*limit.curve)))
            return rc;
    }
    return 0;
}

int fcurve_load_user_data(const SAA_Scene *scene, const SAA_Elem *model, int id) {
    if (id == 0) return 0;
    const StoredBlock record = fetch_block(scene, model, record_name(id));
    auto f = fcurve_alloc();
    if (!decode_fcurve_record(record.bytes, record.swap, *f)) return 0;
    for (int i = 0; i < f->nb_curves; ++i) {
        f->limits[i].curve = load_component(scene, model, id, i, f->limits[i]);
        if (!f->limits[i].curve) return 0;
    }
    return fcurve_add_to_list(std::move(f));
}

}  // namespace vellimor
