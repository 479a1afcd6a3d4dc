// Texture pictures: the picture files that drive a channel or a main colour key instead of the
// painted texture keys, and numbered picture sequences that follow the frame.
#pragma once

#include <optional>
#include <string>

namespace vellimor {

struct Picture;
struct PictureSequence;

// What a sequence does when the file for its frame is missing (PictureSequence::error_handling).
enum TextureErrorHandling {
    kTextureShowError = 0,         // "Show error message, and use KeyArea"
    kTextureNext = 1,              // "Use next texture, Keyarea when fail"
    kTexturePrevious = 2,          // "Use previous texture, Keyarea when fail"
    kTextureNextThenPrevious = 3,  // "Next, then previous, Keyarea when fail"
    kTextureUseKeyArea = 4         // "Use Keyarea"
};

// The directory of the scene database that holds pictures.
constexpr char kPicturesDirectory[] = "PICTURES";

// The path to open for a picture name: the name itself when that file can be read, else the file
// of the same base name in `directory` of the current scene database; none when neither exists.
std::optional<std::string> find_texture_file(const std::string &name, const std::string &directory);

// Loads the picture for the current frame into `picture` (freeing what it held): 1 loaded, 0 not.
// For a sequence, the file number is sequence_offset + the current frame, missing files are
// handled by `error_handling`, and `loaded_frame_nr` receives the number asked for.
int load_texture_picture(Picture *picture, int use_sequence, int error_handling, int sequence_offset,
                         int *loaded_frame_nr);
// The same with the fields of a sequence record; the caller stores the result in picture_was_found.
int load_texture_picture(Picture *picture, PictureSequence &sequence);

}  // namespace vellimor
