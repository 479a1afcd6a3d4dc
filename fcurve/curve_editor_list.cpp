#include "fcurve/curve_editor_list.h"

#include <cstdio>
#include <iterator>

#include "fcurve/fcurve_list.h"
#include "host/scene.h"

namespace vellimor {
namespace {

struct PatchGroupInfo {
    const char *suffix;
    int type;
    int used;
};

constexpr PatchGroupInfo kPatchGroups[kPatchGroupCount] = {
    {"vel", 1, 0},      {"acc", 1, 0},       {"w_color", 4, 3}, {"w_length", 1, 0},
    {"w_wave", 1, 0},   {"w_gravity", 1, 0}, {"w_dir", 3, 2},   {"w_bend", 3, 2},
    {"w_acc", 2, 0},    {"w_vel", 2, 0},     {"w_frq", 1, 0},   {"w_speed", 1, 0},
    {"w_mult_speed", 1, 0}};

// Channel letters of the Texture list, by channel index; colour uses its type's letter.
constexpr char kChannelLetters[8] = {'?', 'L', 'W', 'D', 'S', 'G', 'B', 'E'};
constexpr char kColorLetters[4] = {'d', 'a', 's', 't'};
// Components a colour key's curve animates, by colour type (0: all four).
constexpr int kColorUsed[4] = {0, 3, 3, 1};

PatchData *patch_at(int p) {
    SceneState &s = scene_state();
    if (p < 0 || p >= static_cast<int>(s.patches.size())) return nullptr;
    return s.patches[p].get();
}

TextureKey *key_at(PatchData &record, int number) {
    if (number < 1 || number > static_cast<int>(record.texture_keys.size())) return nullptr;
    return &*std::next(record.texture_keys.begin(), number - 1);
}

template <class Group>
CurveGroupRef value_random(Group &g) {
    return {&g.active, {&g.value, &g.random}, 2, &g.fcurve_id};
}
template <class Group>
CurveGroupRef uv_random(Group &g) {
    return {&g.active, {&g.valueU, &g.valueV, &g.random}, 3, &g.fcurve_id};
}
CurveGroupRef value_only(ValueGroup &g) { return {&g.active, {&g.value}, 1, &g.fcurve_id}; }
CurveGroupRef uv_spare(UVGroup &g) { return {&g.active, {&g.valueU, &g.valueV, &g.spare}, 3, &g.fcurve_id}; }
CurveGroupRef rgba(ColorKey &c, int *active) { return {active, {&c.R, &c.G, &c.B, &c.A}, 4, &c.fcurve_id}; }

std::optional<CurveGroupRef> key_group(TextureKey &key, const CurveListEntry &e) {
    switch (e.channel) {
    case kChannelColor:
        if (e.color_type < 0 || e.color_type >= kColorTypes || e.color_index < 0 ||
            e.color_index >= kMaxColorKeys)
            return std::nullopt;
        return rgba(key.color_keys[e.color_type][e.color_index], &key.color_active[e.color_type]);
    case kChannelLength: return value_random(key.length);
    case kChannelCurl: return value_random(key.curl);
    case kChannelGrow: return uv_random(key.grow);
    case kChannelSegments: return value_random(key.segments);
    case kChannelGravity: return value_random(key.gravity);
    case kChannelBend: return uv_random(key.bend);
    case kChannelDensity: return value_random(key.density);
    default: return std::nullopt;
    }
}

CurveGroupRef patch_group(PatchData &r, PatchGroup g) {
    switch (g) {
    case PatchGroup::kVelocity: return value_only(r.velocity_scale);
    case PatchGroup::kAcceleration: return value_only(r.acceleration_scale);
    case PatchGroup::kWindColor: return rgba(r.wind_color, &r.wind_color.active);
    case PatchGroup::kWindLength: return value_only(r.wind_length);
    case PatchGroup::kWindWave: return value_only(r.wind_curl);
    case PatchGroup::kWindGravity: return value_only(r.wind_gravity);
    case PatchGroup::kWindDir: return uv_spare(r.wind_grow);
    case PatchGroup::kWindBend: return uv_spare(r.wind_bend);
    case PatchGroup::kWindAcc: return value_random(r.wind_acceleration);
    case PatchGroup::kWindVel: return value_random(r.wind_velocity);
    case PatchGroup::kWindFrequency: return value_only(r.wind_frequency_scale);
    case PatchGroup::kWindSpeed: return value_only(r.wind_speed_scale);
    case PatchGroup::kWindMultSpeed: return value_only(r.wind_multiply_hair_speed);
    }
    return value_only(r.velocity_scale);
}

void add_texture_lines(std::vector<CurveListEntry> &out, int p, PatchData &record,
                       const CurveListChannel &ch) {
    const bool color = ch.channel == kChannelColor;
    if (!color && (ch.channel < kChannelLength || ch.channel > kChannelDensity)) return;
    if (color && (ch.color_type < 0 || ch.color_type >= kColorTypes)) return;
    int number = 0;
    for (TextureKey &key : record.texture_keys) {
        ++number;
        CurveListEntry e;
        e.kind = 0;
        e.patch = p;
        e.key_number = number;
        e.channel = ch.channel;
        char letter = kChannelLetters[ch.channel];
        if (!color) {
            // Only keys that carry the channel have a value of it to animate.
            const std::optional<CurveGroupRef> group = key_group(key, e);
            if (!group || !*group->active) continue;
        }
        if (color) {
            // A key carries a colour key only while its type is active and the index exists.
            if (!key.color_active[ch.color_type] || ch.color_index < 0 ||
                ch.color_index >= record.nbColorKeys[ch.color_type])
                continue;
            e.color_type = ch.color_type;
            e.color_index = ch.color_index;
            letter = kColorLetters[ch.color_type];
            e.type = 4;
            e.used_components = kColorUsed[ch.color_type];
        } else {
            e.type = (ch.channel == kChannelGrow || ch.channel == kChannelBend) ? 3 : 2;
        }
        char text[160];
        std::snprintf(text, sizeof text, "%s-%d-%c", record.name.c_str(), number, letter);
        e.text = text;
        out.push_back(e);
    }
}

void add_dynamics_lines(std::vector<CurveListEntry> &out, int p, const PatchData &record) {
    for (int g = 0; g < kPatchGroupCount; ++g) {
        CurveListEntry e;
        e.kind = 1;
        e.patch = p;
        e.group = static_cast<PatchGroup>(g);
        e.type = kPatchGroups[g].type;
        e.used_components = kPatchGroups[g].used;
        char text[160];
        std::snprintf(text, sizeof text, "%s-%s", record.name.c_str(), kPatchGroups[g].suffix);
        e.text = text;
        out.push_back(e);
    }
}

int curve_components_used(const CurveListEntry &e) {
    return e.used_components > 0 ? e.used_components : e.type;
}

// Limits of a patch-level group's new curve, by its component count.
void set_patch_group_limits(int id, int type) {
    switch (type) {
    case 1: fcurve_set_limits(id, 0, 1, 0, 0.0f, 0.0f); break;
    case 2:
        fcurve_set_limits(id, 0, 1, 0, 0.0f, 0.0f);
        fcurve_set_limits(id, 1, 1, 1, 0.0f, 1.0f);
        fcurve_set_color(id, 1, 1.0f, 1.0f, 1.0f);
        break;
    case 3:
        fcurve_set_limits(id, 2, 1, 1, 0.0f, 1.0f);
        fcurve_set_color(id, 2, 1.0f, 1.0f, 1.0f);
        break;
    case 4:
        for (int i = 0; i < 4; ++i) fcurve_set_limits(id, i, 1, 1, 0.0f, 1.0f);
        break;
    default: break;
    }
}

bool chosen_at(const std::vector<bool> &chosen, size_t i) { return i < chosen.size() && chosen[i]; }

}  // namespace

void CurveGroupRef::read(float *out) const {
    for (int i = 0; i < count; ++i) out[i] = *values[i];
}

std::vector<CurveListEntry> curve_list_entries(CurveListSource source, const CurveListChannel &channel) {
    std::vector<CurveListEntry> out;
    SceneState &s = scene_state();
    for (int p = 0; p < static_cast<int>(s.patches.size()); ++p) {
        PatchData *record = s.patches[p].get();
        if (!record || !record->is_selected) continue;
        if (source == CurveListSource::kDynamics)
            add_dynamics_lines(out, p, *record);
        else
            add_texture_lines(out, p, *record, channel);
    }
    return out;
}

std::optional<CurveGroupRef> resolve_curve_group(const CurveListEntry &entry) {
    PatchData *record = patch_at(entry.patch);
    if (!record) return std::nullopt;
    if (entry.kind == 1) return patch_group(*record, entry.group);
    TextureKey *key = key_at(*record, entry.key_number);
    if (!key) return std::nullopt;
    std::optional<CurveGroupRef> ref = key_group(*key, entry);
    if (ref) ref->key_selected = &key->selected;
    return ref;
}

bool entry_has_curve(const CurveListEntry &entry) {
    std::optional<CurveGroupRef> g = resolve_curve_group(entry);
    return g && *g->fcurve_id != 0 && fcurve_find(*g->fcurve_id) != nullptr;
}

std::string entry_line_text(const CurveListEntry &entry) {
    return entry_has_curve(entry) ? "*" + entry.text : entry.text;
}

std::vector<Herm *> collect_displayed_curves(const std::vector<CurveListEntry> &entries,
                                             const std::vector<bool> &shown) {
    std::vector<Herm *> out;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (!chosen_at(shown, i)) continue;
        std::optional<CurveGroupRef> g = resolve_curve_group(entries[i]);
        FCurve *f = g ? fcurve_find(*g->fcurve_id) : nullptr;
        if (!f || *g->fcurve_id == 0) continue;
        for (int c = 0; c < f->nb_curves && c < kFCurveMaxComponents; ++c) {
            if (!f->use[c] || !f->limits[c].curve) continue;
            if (out.size() < kMaxDisplayedCurves) out.push_back(f->limits[c].curve.get());
            else out.back() = f->limits[c].curve.get();  // a full list reuses its last slot
        }
    }
    return out;
}

int animate_entries(const std::vector<CurveListEntry> &entries, const std::vector<bool> &chosen,
                    int first_frame) {
    int made = 0;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (!chosen_at(chosen, i) || entry_has_curve(entries[i])) continue;
        std::optional<CurveGroupRef> g = resolve_curve_group(entries[i]);
        if (!g) continue;
        const CurveListEntry &e = entries[i];
        float values[4] = {};
        g->read(values);
        const int id = fcurve_create(e.type, static_cast<float>(first_frame),
                                     std::span<const float>(values, static_cast<size_t>(e.type)));
        if (!id) continue;
        *g->fcurve_id = id;
        for (int c = curve_components_used(e); c < e.type; ++c) fcurve_set_use(id, c, 0);
        if (e.kind == 1) set_patch_group_limits(id, e.type);
        ++made;
    }
    return made;
}

int make_entries_static(const std::vector<CurveListEntry> &entries, const std::vector<bool> &chosen) {
    int removed = 0;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (!chosen_at(chosen, i)) continue;
        std::optional<CurveGroupRef> g = resolve_curve_group(entries[i]);
        if (!g || *g->fcurve_id == 0) continue;
        fcurve_delete(*g->fcurve_id);
        *g->fcurve_id = 0;
        ++removed;
    }
    return removed;
}

}  // namespace vellimor
