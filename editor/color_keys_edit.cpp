#include "editor/color_keys_edit.h"

#include <cmath>

#include "fcurve/fcurve_autokey.h"
#include "hair/channel_maps.h"
#include "hair/texture_picture.h"
#include "render/hair_color.h"

namespace vellimor {

namespace {

bool valid_type(int type) { return type >= 0 && type < kColorTypes; }

int keys_painting(const PatchData &record, int type) {
    return count_active_keys(record, kChannelColor, type);
}

// A main colour key as the clipboard and a paste hold it: no map, to be rebuilt, no image.
MainColorKey without_buffers(const MainColorKey &key) {
    MainColorKey copy = key;
    copy.color_map.clear();
    copy.map_dirty = 1;
    copy.picture.image.reset();
    return copy;
}

}  // namespace

TextureKey *displayed_texture_key(PatchData &record, int type) {
    if (!valid_type(type)) return nullptr;
    for (TextureKey &key : record.texture_keys)
        if (key.selected && key.color_active[type]) return &key;
    if (keys_painting(record, type) >= 2) return nullptr;
    for (TextureKey &key : record.texture_keys)
        if (key.color_active[type]) return &key;
    return nullptr;
}

int nearest_color_key(const PatchData &record, int type, float p) {
    if (!valid_type(type)) return -1;
    int best = -1;
    float best_distance = kColorKeyHitDistance;
    for (int k = 0; k < record.nbColorKeys[type] && k < kMaxColorKeys; ++k) {
        const float d = std::fabs(record.main_color_keys[type][k].where - p);
        if (d < kColorKeyHitDistance && (best < 0 || d < best_distance)) {
            best = k;
            best_distance = d;
        }
    }
    return best;
}

void color_area_push(PatchData &record, int type, const ColorAreaMouse &mouse, int &selected,
                     bool &latch) {
    if (!valid_type(type)) return;
    const int hit = nearest_color_key(record, type, mouse.p);
    if (hit >= 0) {
        selected = hit;
    } else if (mouse.left) {
        const int added = add_main_color_key(record, mouse.p, type);
        if (added >= 0) selected = added;
    }
    if (hit > 0 && mouse.remove && !latch) {
        if (delete_main_color_key(record, hit, type)) selected = 0;
        latch = true;
    }
}

bool color_area_drag(PatchData &record, int type, const ColorAreaMouse &mouse, int selected,
                     bool latch) {
    if (latch || !mouse.left || !valid_type(type)) return false;
    const int last = record.nbColorKeys[type] - 1;
    if (selected <= 0 || selected >= last) return false;
    MainColorKey *keys = record.main_color_keys[type];
    const float p = std::fmin(std::fmax(mouse.p, 0.0f), 1.0f);
    if (!(p > keys[selected - 1].where && p < keys[selected + 1].where)) return false;
    keys[selected].where = p;
    return true;
}

bool color_sliders_from_record(PatchData &record, int type, int selected, ColorSliderValues &out) {
    const TextureKey *key = displayed_texture_key(record, type);
    if (!key || selected < 0 || selected >= kMaxColorKeys) return false;
    const ColorKey &c = key->color_keys[type][selected];
    if (type == kColorThickness) {
        out.thickness = c.R;
        return true;
    }
    out.R = c.R;
    out.G = c.G;
    out.B = c.B;
    out.A = c.A;
    return true;
}

bool apply_color_sliders(const std::vector<PatchData *> &selected_surfaces, const PatchData &current,
                         int type, int selected, const ColorSliderValues &values, int frame,
                         int autokey_on) {
    if (!valid_type(type) || selected < 0 || selected >= kMaxColorKeys) return false;
    const float w = current.main_color_keys[type][selected].where;
    bool changed = false;
    for (PatchData *record : selected_surfaces) {
        const bool only_one = keys_painting(*record, type) == 1;
        for (TextureKey &key : record->texture_keys) {
            if (!key.color_active[type]) continue;
            for (int k = 0; k < record->nbColorKeys[type] && k < kMaxColorKeys; ++k) {
                MainColorKey &main = record->main_color_keys[type][k];
                if (std::fabs(main.where - w) >= kColorKeyHitDistance) continue;
                const bool picture_diffuse = type == kColorDiffuse && main.this_key_uses_picture;
                if (!(key.selected || only_one || picture_diffuse)) continue;
                ColorKey &c = key.color_keys[type][k];
                if (type == kColorThickness) {
                    c.R = values.thickness;
                } else {
                    c.R = values.R;
                    c.G = values.G;
                    c.B = values.B;
                    c.A = values.A;
                    if (c.fcurve_id != 0) {
                        const float group[4] = {c.R, c.G, c.B, c.A};
                        fcurve_autokey(c.fcurve_id, frame, group, autokey_on);
                    }
                }
                main.map_dirty = 1;
                changed = true;
            }
        }
    }
    return changed;
}

bool copy_color_ramp(PatchData &record, int type, ColorClipboard &clipboard) {
    if (!valid_type(type)) return false;
    for (TextureKey &key : record.texture_keys) {
        if (!key.selected || !key.color_active[type]) continue;
        const int count = std::min(record.nbColorKeys[type], kMaxColorKeys);
        for (int k = 0; k < count; ++k) {
            clipboard.entries[k] = key.color_keys[type][k];
            clipboard.keys[k] = without_buffers(record.main_color_keys[type][k]);
        }
        clipboard.count = count;
        clipboard.copied = true;
        return true;
    }
    return false;
}

bool paste_color_ramp(PatchData &record, int type, const ColorClipboard &clipboard) {
    if (!valid_type(type) || !clipboard.copied || clipboard.count < 1) return false;
    bool pasted = false;
    for (TextureKey &key : record.texture_keys) {
        if (!key.selected || !key.color_active[type]) continue;
        for (int k = 0; k < clipboard.count; ++k) key.color_keys[type][k] = clipboard.entries[k];
        pasted = true;
    }
    if (!pasted) return false;
    for (int k = 0; k < clipboard.count; ++k) {
        MainColorKey &main = record.main_color_keys[type][k];
        main = without_buffers(clipboard.keys[k]);
        if (main.this_key_uses_picture)
            main.seq_cont.picture_was_found = load_texture_picture(&main.picture, main.seq_cont);
    }
    record.nbColorKeys[type] = clipboard.count;
    return true;
}

}  // namespace vellimor
