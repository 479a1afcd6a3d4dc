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
#include <string>
#include <variant>
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
// A colour key count above 19 (or below 0) is reported ("#Colorkeys out of range, deleting
// keys") and that colour type gets its default main colour keys.
bool decode_patch_data(ByteView block, bool swap, PatchData &record);
bool decode_texture_key(ByteView block, bool swap, TextureKey &key);
bool decode_picture(ByteView block, bool swap, Picture &picture);
bool decode_color_key(ByteView block, bool swap, ColorKey &key);
bool decode_main_color_key(ByteView block, bool swap, MainColorKey &key);
bool decode_display_settings(ByteView block, bool swap, DisplaySettings &settings);

// One field of a current layout that its current-version converter copies: its offset in the
// block and the record field it goes to (texts with their stored size). The converters of older
// layouts read these fields from their own offsets.
struct LayoutField {
    int offset = 0;
    std::variant<int *, short *, float *, std::string *> field;
    int text_size = 0;
};
// In layout order. The fur record's colour key counts and main colour keys are not listed: they
// depend on the stored counts.
std::vector<LayoutField> patch_data_fields(PatchData &record);
std::vector<LayoutField> texture_key_fields(TextureKey &key);
std::vector<LayoutField> display_settings_fields(DisplaySettings &settings);

}  // namespace vellimor
