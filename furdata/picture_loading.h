// Loading the image of a picture restored from a stored form (scene user data or text file).
#pragma once

#include "furdata/patch_data.h"

namespace vellimor {

// Loads the picture's image for the current frame under the given sequence state and returns 1
// when an image was loaded, else 0 (the failure is reported by the loader).
int load_restored_picture(Picture &picture, PictureSequence &sequence);

}  // namespace vellimor
