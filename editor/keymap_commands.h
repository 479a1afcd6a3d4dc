// The KeyMap editor's commands over the selected surfaces, with the warnings that refuse them.
// The area's handler and the channel column's callbacks call these; they touch no window, so the
// caller redraws what they report as changed.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "editor/keymap_keys.h"
#include "editor/keymap_object_copy.h"
#include "editor/keymap_pictures.h"

namespace vellimor {

// Indices of the selected surfaces (selected and not deleted), in table order.
std::vector<int> selected_surfaces();
// The current surface's record, or nullptr.
PatchData *current_record();

// Adds a key at `at` on every selected surface. Returns whether a key was placed or added.
bool keymap_add_keys(MapPoint at, const KeyEditSettings &settings);
// The removal rule on every selected surface (all channels, or the colour type only).
void keymap_remove_channels(bool all, int color_type);
// "K" of a row. Returns the channel indices given back to the first keys (their "K" goes on).
std::vector<int> keymap_apply_channel(int channel, bool on, const KeyEditSettings &settings);
// "Flip U" / "Flip V". Returns false when refused.
bool keymap_flip(bool in_u);
// "Tile U" / "Tile V": both flags on every selected surface. False without a current surface.
bool keymap_tile(bool tile_u, bool tile_v);
// The map resolution slider and "Interp" for the current channel (colour: colour type t).
void keymap_map_resolution(float slider_value, bool interp, int channel, int t);
// A value or random slider of the panel. Returns whether a key (or picture scale) changed.
bool keymap_channel_values(int channel, const ChannelValues &values);
// Builds the hairs of every selected surface again (preview), and the shadows when one casts.
void keymap_rebuild_selected();

// "Copy object" / "Paste object". Paste returns whether anything was pasted.
bool keymap_copy_object();
bool keymap_paste_object();
// Forgets the copied record (a new scene).
void keymap_forget_copied_object();

// "T" of a row with exactly one surface selected. `choose` asks for the file and options (none:
// cancelled). Returns whether the surface changed.
using PictureChooser = bool (*)(const char *title, PictureChoice &choice);
bool keymap_picture_on(int channel, int t, int k, PictureChooser choose);
bool keymap_picture_off(int channel, int t, int k);
// "T" with Shift: saves the channel's map as a picture (the map is brought up to date first).
bool keymap_save_map_picture(int channel, int t, int k, PictureChooser choose);

}  // namespace vellimor
