#include "editor/slider_panel.h"

#include <algorithm>
#include <cmath>

#include "editor/designer_callbacks.h"
#include "editor/designer_objects.h"
#include "forms/forms.h"
#include "furdata/display_settings.h"
#include "furdata/patch_data.h"
#include "hair/placement.h"
#include "host/scene.h"
#include "host/status.h"

namespace vellimor {
namespace {

constexpr float kPreviewStep = 0.01f;
constexpr float kSegmentsMax = 20.0f;
constexpr float kHairsMax = 10000.0f;

struct SliderRange {
    FmObject *MainWindowObjects::*slider;
    float lo, hi, start;
    int mode;
    int decimals;
};

void set_range(const SliderRange &r) {
    FmObject *slider = designer_windows().main.*r.slider;
    if (!slider) return;
    fm_set_slider_bounds(slider, r.lo, r.hi);
    pair_set_mode(slider, r.mode);
    pair_set_decimals(slider, r.decimals);
    pair_set(slider, r.start);
}

// The value a channel shows: its picture scale when it takes its values from a picture.
float channel_value(PatchData &p, RecordChannel channel, float key_value) {
    ChannelPictureRef pic = channel_picture(p, channel);
    if (!pic.active || !pic.picture) return key_value;
    switch (channel) {
    case kRecordLength: return p.length_picture_scale.value;
    case kRecordCurl: return p.curl_picture_scale.value;
    case kRecordSegments: return p.segments_picture_scale.value;
    case kRecordGravity: return p.gravity_picture_scale.value;
    case kRecordDensity: return p.density_picture_scale.value;
    default: return key_value;
    }
}

void set_pair(FmObject *slider, float value) {
    if (slider) pair_set(slider, value);
}

}  // namespace

void slider_panel_init() {
    using M = MainWindowObjects;
    static const SliderRange kRanges[] = {
        {&M::number_of_hairs, 0, kHairsMax, 1000, kPairOneSided, 0},
        {&M::preview_quality, 0, 1, 0.05f, kPairFixed, 2},
        {&M::length, 0, 1, 0.5f, kPairOneSided, 2},
        {&M::length_random, 0, 1, 0, kPairFixed, 2},
        {&M::wave, 0, 1, 0, kPairOneSided, 2},
        {&M::wave_random, 0, 1, 0, kPairFixed, 2},
        {&M::gravity, -1, 1, 0.1f, kPairSymmetric, 2},
        {&M::gravity_random, 0, 1, 0.1f, kPairFixed, 2},
        {&M::density, 0, 1, 1, kPairFixed, 2},
        {&M::density_random, 0, 1, 0, kPairFixed, 2},
        {&M::segments, 1, kSegmentsMax, 5, kPairFixed, 0},
        {&M::segments_random, 0, 1, 0, kPairFixed, 2},
        {&M::direction_random, 0, 1, 0, kPairFixed, 2},
        {&M::map_resolution, 1, 200, 50, kPairOneSided, 0},
    };
    for (const SliderRange &r : kRanges) set_range(r);
    MainWindowObjects &m = designer_windows().main;
    fm_set_slider_step(m.segments, 1);
    fm_set_slider_step(m.number_of_hairs, 1);
    if (const DisplaySettings *s = display_settings()) pair_set(m.preview_quality, s->preview_fraction);
}

void slider_panel_load(PatchData &p) {
    MainWindowObjects &m = designer_windows().main;
    if (p.texture_keys.empty()) return;
    const TextureKey &key = p.texture_keys.front();
    set_pair(m.length, channel_value(p, kRecordLength, key.length.value));
    set_pair(m.length_random, key.length.random);
    set_pair(m.wave, channel_value(p, kRecordCurl, key.curl.value));
    set_pair(m.wave_random, key.curl.random);
    set_pair(m.gravity, channel_value(p, kRecordGravity, key.gravity.value));
    set_pair(m.gravity_random, key.gravity.random);
    set_pair(m.segments, channel_value(p, kRecordSegments, key.segments.value));
    set_pair(m.segments_random, key.segments.random);
    set_pair(m.density, channel_value(p, kRecordDensity, key.density.value));
    set_pair(m.density_random, key.density.random);
    set_pair(m.number_of_hairs, float(p.number_of_hairs_pr_square_unit));
    set_pair(m.direction_random, key.grow.random);
    if (m.direction) {
        const bool bend = m.edit_bend && fm_get_button(m.edit_bend);
        fm_set_positioner_xvalue(m.direction, bend ? key.bend.valueU : key.grow.valueU);
        fm_set_positioner_yvalue(m.direction, bend ? key.bend.valueV : key.grow.valueV);
    }
}

void slider_panel_clear() {
    using M = MainWindowObjects;
    static constexpr FmObject *M::*kFields[] = {
        &M::number_of_hairs_field, &M::length_field,   &M::length_random_field,   &M::wave_field,
        &M::wave_random_field,     &M::gravity_field,  &M::gravity_random_field,  &M::density_field,
        &M::density_random_field,  &M::segments_field, &M::segments_random_field, &M::direction_random_field,
        &M::dir_u_field,           &M::dir_v_field,    &M::bend_u_field,          &M::bend_v_field};
    MainWindowObjects &m = designer_windows().main;
    for (FmObject *M::*field : kFields)
        if (m.*field) fm_set_input(m.*field, "");
}

void number_of_hairs_callback(FmObject *obj, long) {
    if (!pair_values_valid()) return;
    SceneState &s = scene_state();
    if (s.current_patch < 0) {
        status_warning("No object selected");
        return;
    }
    const int hairs = int(std::lround(pair_get(obj)));
    for (int i = 0; i < int(s.patches.size()); ++i) {
        PatchData *p = s.patches[size_t(i)].get();
        if (!p || !p->is_selected || p->deleted) continue;
        status_message(kStatusPlain, "Building hairs");
        p->subdivision_dirty = 1;
        grow_fur(i, hairs, 0);
    }
    redraw_graphics_view();
}

void preview_quality_callback(FmObject *obj, long) {
    if (!pair_values_valid()) return;
    DisplaySettings *settings = display_settings();
    if (!settings) return;
    settings->preview_fraction = std::clamp(pair_get(obj), 0.0f, 1.0f);
    build_all_patches(1, 1);
    redraw_graphics_view();
}

void preview_quality_step_callback(FmObject *, long hundredths) {
    FmObject *slider = designer_windows().main.preview_quality;
    pair_set(slider, std::clamp(pair_get(slider) + kPreviewStep * float(hundredths), 0.0f, 1.0f));
    preview_quality_callback(slider, 0);
}

void segments_step_callback(FmObject *, long step) {
    FmObject *slider = designer_windows().main.segments;
    float lo = 0, hi = 0;
    fm_get_slider_bounds(slider, &lo, &hi);
    pair_set(slider, std::clamp(std::round(pair_get(slider)) + float(step), lo, hi));
    // The segments value itself belongs to the keys: the KeyMap editor's callback applies it.
    if (slider->callback) slider->callback(slider, slider->argument);
}

}  // namespace vellimor
