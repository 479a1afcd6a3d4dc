// The editing rules of the KeyMap on one fur record: which keys are shown and how they are
// labelled, picking and boxing, moving and shaping, adding and removing channels and keys,
// flipping, map resolution, and the values the slider panel sets. No windows here: the area's
// handler and the commands over the selected surfaces call these.
#pragma once

#include <optional>
#include <string>

#include "editor/keymap_channels.h"
#include "editor/keymap_view.h"

namespace vellimor {

// What the view shows: the current channel and the "S" toggles (per channel index).
struct ChannelView {
    int current_channel = kChannelLength;
    const int *show_channel = nullptr;  // 8 flags; none: only the current channel is shown
};

// A key is shown (and can be picked or boxed) when it carries the current channel or a channel
// whose "S" is on; colour types count under the colour channel.
bool key_shown(const TextureKey &key, const ChannelView &view);
// Sets every key's `visible` flag.
void update_key_visibility(PatchData &record, const ChannelView &view);
// "3-LW": the key's place in the list from 1 and the letters of its shown channels.
std::string key_label(const TextureKey &key, int position, const ChannelView &view);

enum PickMode { kPickSelect = 1, kPickUnselect = 2, kPickToggle = 3 };

// The first visible key within `radius` of (u,v) in u and in v, selected, unselected or toggled
// by `mode`; nullptr when none.
TextureKey *pick_key(PatchData &record, MapPoint at, float radius, int mode);
// Applies `mode` to every visible key inside the box with corners a and b (edges included).
void box_select(PatchData &record, MapPoint a, MapPoint b, int mode);
void unselect_all(PatchData &record);
TextureKey *first_selected_key(PatchData &record);

// Limits a point to the unit square.
MapPoint clamp_to_map(MapPoint p);
// Every selected key moves to `to` (clamped); the maps of what they carry are marked dirty.
// Returns whether a key moved.
bool move_selected_keys(PatchData &record, MapPoint to);
// Marks the maps of every selected key's channels dirty.
void mark_selected_keys_dirty(PatchData &record);

enum KeyShape { kShapePoint = 0, kShapeCircle = 1, kShapeBox = 2, kShapeDirected = 3 };
// Shape drag of every selected key towards the pointer: circle radius, box half sizes, or for a
// directed key its sizes or, with `direction`, its angle.
void drag_key_shapes(PatchData &record, MapPoint pointer, bool direction);
// The point of a key that the pointer is moved onto: its centre, or its shape's handle.
MapPoint key_handle(const TextureKey &key, bool direction);

// The editor settings read when a key is added or a channel applied to keys.
struct KeyEditSettings {
    bool add[kChannelCount] = {};      // the "A" toggles, by channel index
    float random[kChannelCount] = {};  // the random sliders (bend takes direction's)
    int color_type = kColorDiffuse;
};

enum AddOutcome { kAddPlacedFirstKey, kAddNewKey, kAddNoChannels };
// Adds a key at `at` (the adding rule): a record whose first key has no position yet places
// that key instead; otherwise a new key carrying the channels whose "A" is on, with the values
// the maps have there. The maps must be up to date.
AddOutcome add_key(PatchData &record, MapPoint at, const KeyEditSettings &settings);

// The removal rule over the selected keys: each loses every channel (with `all`) or the colour
// type `color_type` only, except where it is the last key carrying it; keys left with nothing
// are removed.
void remove_channels(PatchData &record, bool all, int color_type);

// "K": switches the channel (for the colour row the colour type) on or off on every selected
// key, with values from the maps when on, then removes selected keys left with nothing. The
// maps must be up to date.
void apply_channel_to_selected(PatchData &record, int channel, bool on,
                               const KeyEditSettings &settings);
// Gives every channel and colour type that no key carries any more back to the first key, with
// the values of a new key. Returns the warning texts, one per channel or colour type restored,
// and in `restored` (when given) the channel indices restored (colour types as channel 0).
std::vector<std::string> restore_lost_channels(PatchData &record,
                                               std::vector<int> *restored = nullptr);

// Mirrors every key in u (or v); the U values of direction and bend change sign with u.
void flip_keys(PatchData &record, bool in_u);

// Map resolution and interpolation of the channel (of every main colour key of colour type t
// for the colour channel); the map is marked dirty.
void set_map_resolution(PatchData &record, int channel, int t, int res, int interp);
// The resolution the slider gives: its value truncated, at least 1.
int map_resolution_from_slider(float value);

// New values from the slider panel for one channel; unset parts stay.
struct ChannelValues {
    std::optional<float> value;  // value, or valueU
    std::optional<float> value_v;
    std::optional<float> random;
};
// Sets the values on the selected keys that carry the channel (on every key carrying it when
// only one key does), keys their function curves at `frame`, marks the map dirty. A channel
// that takes its values from a picture gets the picture scale instead. Returns whether
// anything changed.
bool set_channel_values(PatchData &record, int channel, const ChannelValues &values, int frame,
                        int autokey_on);

// What the slider panel shows for a channel: the first selected key carrying it, or the
// picture scale.
struct ChannelSliders {
    bool found = false;
    bool from_picture = false;
    float value = 0.0f, value_v = 0.0f, random = 0.0f;
};
ChannelSliders channel_sliders(PatchData &record, int channel);

}  // namespace vellimor
