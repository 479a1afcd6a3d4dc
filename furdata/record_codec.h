// The stored byte layouts of the fur record and its parts (the current versions), encoded and
// decoded field by field at their offsets. Blocks are written in this machine's byte order
// (little-endian); a block whose swap flag is set is read in the other order. Pointer slots are
// written as 0 and never read.
//
// Decoding follows the rules of the current-version converters: fields that only describe
// run-time state (buffers, dirty flags, the host geometry, the name) are written but keep their
// in-memory values on reading.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "furdata/display_settings.h"
#include "furdata/patch_data.h"

namespace vellimor {

constexpr int kPatchDataBlockSize = 47556;
constexpr int kTextureKeyBlockSize = 2104;
constexpr int kPictureBlockSize = 532;
constexpr int kColorKeyBlockSize = 24;
constexpr int kMainColorKeyBlockSize = 584;
constexpr int kDisplaySettingsBlockSize = 644;

using Bytes = std::vector<std::uint8_t>;
using ByteView = std::span<const std::uint8_t>;

Bytes encode_patch_data(const PatchData &record);
Bytes encode_texture_key(const TextureKey &key);
Bytes encode_picture(const Picture &picture);
Bytes encode_color_key(const ColorKey &key);
Bytes encode_main_color_key(const MainColorKey &key);
Bytes encode_display_settings(const DisplaySettings &settings);

// Each decoder takes a block of exactly its size (else it returns false and changes nothing) and
// copies the stored fields into the record; swap: the block is in the other byte order.
// A colour key count above 19 is reported ("#Colorkeys out of range, deleting keys") and
// becomes 0.
bool decode_patch_data(ByteView block, bool swap, PatchData &record);
bool decode_texture_key(ByteView block, bool swap, TextureKey &key);
bool decode_picture(ByteView block, bool swap, Picture &picture);
bool decode_color_key(ByteView block, bool swap, ColorKey &key);
bool decode_main_color_key(ByteView block, bool swap, MainColorKey &key);
bool decode_display_settings(ByteView block, bool swap, DisplaySettings &settings);

}  // namespace vellimor
