// Pictures named by fuzzed settings are never loaded: the picture reader has a target of its own.
#include "furdata/patch_data.h"
#include "hair/texture_picture.h"

namespace vellimor {

std::optional<std::string> find_texture_file(const std::string &, const std::string &) { return std::nullopt; }

int load_texture_picture(Picture *picture, int, int, int, int *) {
    if (picture) picture->image.reset();
    return 0;
}

int load_texture_picture(Picture *picture, PictureSequence &sequence) {
    return load_texture_picture(picture, sequence.use_sequence, sequence.error_handling,
                                sequence.sequence_offset, &sequence.loaded_frame_nr);
}

}  // namespace vellimor
