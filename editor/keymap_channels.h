// The channels as the KeyMap editor sees them: the rows of the channel column, and the fields of
// a texture key and of a fur record that belong to one channel (by channel index), so that the
// editing rules are written once for every channel.
#pragma once

#include <memory>
#include <vector>

#include "furdata/patch_data.h"

namespace vellimor {

constexpr int kChannelCount = 8;  // channel indices 0 colour .. 7 density

// One row of the channel column, top to bottom.
struct ChannelRow {
    const char *label;         // the channel button
    int channel;               // channel index
    const char *warning_name;  // the name in "All %s keys deleted, ..."
};
constexpr ChannelRow kChannelColumn[kChannelCount] = {
    {"Color", kChannelColor, "color"},       {"Length", kChannelLength, "length"},
    {"Wave", kChannelCurl, "curl"},          {"Direction", kChannelGrow, "grow"},
    {"Bend", kChannelBend, "bend"},          {"Segment", kChannelSegments, "segments"},
    {"Gravity", kChannelGravity, "gravity"}, {"Density", kChannelDensity, "density"},
};
// The row of a channel index (0 for indices outside 0..7).
int channel_row(int channel);

// Grow and bend carry two values (U and V).
bool channel_two_valued(int channel);

// One channel's group of a texture key (channels 1..7).
struct KeyChannel {
    int &active;
    float &value;      // value, or valueU
    float *value_v;    // valueV of grow and bend, else nullptr
    float &random;
    int &fcurve_id;
};
KeyChannel key_channel_fields(TextureKey &key, int channel);
// Whether the key carries the channel (channel 0: colour type t).
bool key_carries(const TextureKey &key, int channel, int t);
// Whether the key carries anything at all.
bool key_carries_anything(const TextureKey &key);

// One channel's map, its settings and its picture in the fur record (channels 1..7).
struct RecordChannelMap {
    std::vector<float> &map_a;
    std::vector<float> *map_b;  // V maps of grow and bend
    int &res;
    int &interp;
    int &dirty;
    PictureSequence &sequence;
    int &picture_active;        // the channel takes its values from a picture
    float &scale;               // picture scale value, or valueU
    float *scale_v;             // picture scale valueV of grow and bend
    int &scale_fcurve_id;
    std::unique_ptr<Picture> &picture;
};
RecordChannelMap record_channel_map(PatchData &record, int channel);

// Marks the channel's maps dirty: channel 0 marks the main colour keys of colour type t.
void mark_channel_dirty(PatchData &record, int channel, int t);
// Marks every value map and every colour map dirty.
void mark_all_maps_dirty(PatchData &record);
// Marks the maps of every channel and colour type that the key carries.
void mark_key_channels_dirty(PatchData &record, const TextureKey &key);

}  // namespace vellimor
