#include "furdata/picture_loading.h"

#include "host/status.h"

namespace vellimor {

// Stands in until texture pictures can be loaded: a restored picture then has no image.
int load_restored_picture(Picture &picture, PictureSequence &) {
    picture.image.reset();
    status_message(kStatusWarning, "Texture pictures can't be loaded yet: %s",
                   picture.texture_filename.c_str());
    return 0;
}

}  // namespace vellimor
