#include "fcurve/fcurve_list.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <vector>

namespace vellimor {

namespace {

// The colour a new component curve is drawn with, by component index.
constexpr float kComponentColors[kFCurveMaxComponents][3] = {
    {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 1, 1}, {1, 1, 0}};

// The process-wide curve list and its id counter; the counter is never reset.
struct FCurveTable {
    std::vector<std::unique_ptr<FCurve>> curves;
    int last_id = 0;
};

FCurveTable &table() {
    static FCurveTable t;
    return t;
}

bool id_in_use(int id) {
    const auto &curves = table().curves;
    return std::any_of(curves.begin(), curves.end(), [id](const auto &f) { return f->id == id; });
}

// The record for a component operation, or null after reporting a bad component number.
FCurve *component_owner(int id, int i, const char *bounds_message) {
    FCurve *f = fcurve_find(id);
    if (!f) return nullptr;
    if (i < 0 || i >= f->nb_curves || i >= kFCurveMaxComponents) {
        std::fprintf(stderr, bounds_message, i);
        return nullptr;
    }
    return f;
}

}  // namespace

std::unique_ptr<FCurve> fcurve_alloc() {
    std::unique_ptr<FCurve> f(new (std::nothrow) FCurve{});
    if (!f) {
        std::fprintf(stderr, "fcurve_alloc: malloc error\n");
        std::exit(1);
    }
    return f;
}

int fcurve_create(int type, float frame, std::span<const float> values) {
    if (type < 1 || type > kFCurveMaxComponents || values.size() < static_cast<size_t>(type)) {
        std::fprintf(stderr, "fcurve_create: %d components asked for, %zu values given\n", type,
                     values.size());
        return 0;
    }
    auto f = fcurve_alloc();
    f->id = fcurve_new_id();
    f->type = type;
    f->nb_curves = type;
    for (int i = 0; i < type; ++i) {
        f->use[i] = 1;
        f->limits[i].curve = HermCreate(frame, values[i]);
        std::copy(kComponentColors[i], kComponentColors[i] + 3, f->limits[i].curve->color);
    }
    return fcurve_add_to_list(std::move(f));
}

int fcurve_add_to_list(std::unique_ptr<FCurve> fcurve) {
    if (!fcurve) return 0;
    if (fcurve->id == 0) {
        std::fprintf(stderr, "fcurve_add_to_list: can't add an fcurve with an id == 0\n");
        return 0;
    }
    // Ids are positive; a negative one (only a damaged stored curve has it) is replaced like a
    // taken one.
    if (fcurve->id < 0 || id_in_use(fcurve->id)) fcurve->id = fcurve_new_id();
    const int id = fcurve->id;
    table().curves.push_back(std::move(fcurve));
    return id;
}

FCurve *fcurve_find(int id) {
    for (const auto &f : table().curves)
        if (f->id == id) return f.get();
    return nullptr;
}

int fcurve_new_id() {
    FCurveTable &t = table();
    do {
        ++t.last_id;
    } while (t.last_id == 0 || id_in_use(t.last_id));
    return t.last_id;
}

void fcurve_delete(int id) {
    auto &curves = table().curves;
    auto it = std::find_if(curves.begin(), curves.end(), [id](const auto &f) { return f->id == id; });
    if (it != curves.end()) curves.erase(it);
}

void fcurve_delete_all() { table().curves.clear(); }

int fcurve_count() { return static_cast<int>(table().curves.size()); }

std::vector<int> fcurve_ids() {
    std::vector<int> ids;
    for (const auto &f : table().curves) ids.push_back(f->id);
    return ids;
}

int fcurve_query(int id, int frame, std::span<float> values) {
    FCurve *f = fcurve_find(id);
    if (!f) return 0;
    const size_t count = std::min({static_cast<size_t>(std::max(f->nb_curves, 0)),
                                   static_cast<size_t>(kFCurveMaxComponents), values.size()});
    float v[kFCurveMaxComponents] = {};
    bool changed = false;
    for (size_t i = 0; i < count; ++i) {
        if (!f->use[i]) continue;
        v[i] = HermEvaluate(f->limits[i].curve.get(), static_cast<float>(frame));
        if (v[i] != values[i]) changed = true;
    }
    if (!changed) return 0;
    std::copy(v, v + count, values.begin());
    return 1;
}

int fcurve_set_use(int id, int i, int flag) {
    FCurve *f = component_owner(id, i, "fcurve_set_use: curve nr out of bounds %d\n");
    if (!f) return 0;
    f->use[i] = flag;
    return 1;
}

int fcurve_set_color(int id, int i, float r, float g, float b) {
    FCurve *f = component_owner(id, i, "fcurve_set_color: curve nr out of bounds %d\n");
    if (!f) return 0;
    Herm *curve = f->limits[i].curve.get();
    if (f->use[i] && curve) {
        curve->color[0] = r;
        curve->color[1] = g;
        curve->color[2] = b;
    }
    return 1;
}

int fcurve_set_limits(int id, int i, int has_min, int has_max, float min, float max) {
    FCurve *f = component_owner(id, i, "fcurve_set_limits curve nr out of bounds %d\n");
    if (!f) return 0;
    FCurveLimit &limit = f->limits[i];
    if (!f->use[i] || !limit.curve) return 1;
    if (has_min) HermSetLimit(*limit.curve, herm::kYMin, min);
    if (has_max) HermSetLimit(*limit.curve, herm::kYMax, max);
    limit.has_min = static_cast<int16_t>(has_min);
    limit.has_max = static_cast<int16_t>(has_max);
    limit.min = min;
    limit.max = max;
    return 1;
}

}  // namespace vellimor
