// The stored layouts of earlier program versions, recognised by their exact sizes and read into
// the current records. Earlier versions were only ever written in this byte order: no swapping.
// Fields a version lacks keep the values the record already has (its defaults).
#pragma once

#include "furdata/display_settings.h"
#include "furdata/patch_data.h"
#include "furdata/record_codec.h"

namespace vellimor {

// "PatchData" of versions 3.0b, 1.00, 1.1B, 1.1C, 1.1D and the 45812-byte layout. False (record
// untouched) for any other size.
bool decode_legacy_patch_data(ByteView block, PatchData &record);
// "T%d" of versions 1.10 (2080 bytes) and 1.00 (1412 bytes).
bool decode_legacy_texture_key(ByteView block, TextureKey &key);
// "DisplaySettings" of 632 bytes (earlier current) and 584 bytes (3_0b).
bool decode_legacy_display_settings(ByteView block, DisplaySettings &settings);

}  // namespace vellimor
