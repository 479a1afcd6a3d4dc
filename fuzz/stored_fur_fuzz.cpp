// Fur blocks as the scene stores them. Blocks are recognised by their exact size, so every
// decoder is given the input in both byte orders; what any of them accepts is then bounded.
#include <cstddef>
#include <cstdint>

#include "furdata/display_settings.h"
#include "furdata/field_bounds.h"
#include "furdata/legacy_layouts.h"
#include "furdata/patch_data.h"
#include "furdata/record_codec.h"

using namespace vellimor;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const ByteView block(data, size);
    for (const bool swap : {false, true}) {
        std::unique_ptr<PatchData> record = patch_new();
        if (decode_patch_data(block, swap, *record)) bound_fur_record(*record);
        TextureKey key = texture_key_new();
        decode_texture_key(block, swap, key);
        Picture picture;
        decode_picture(block, swap, picture);
        DisplaySettings settings;
        decode_display_settings(block, swap, settings);
    }
    std::unique_ptr<PatchData> record = patch_new();
    if (decode_legacy_patch_data(block, *record)) bound_fur_record(*record);
    TextureKey key = texture_key_new();
    if (decode_legacy_texture_key(block, key)) {
        record->texture_keys.push_back(key);
        bound_fur_record(*record);
    }
    DisplaySettings settings;
    decode_legacy_display_settings(block, settings);
    return 0;
}
