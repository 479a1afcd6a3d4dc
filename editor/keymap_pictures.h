// Channel pictures chosen in the channel column: attaching a picture file (or a numbered
// sequence) to a channel or to a main colour key, removing it again, and saving a channel's map
// as a picture.
#pragma once

#include <optional>
#include <string>

#include "furdata/patch_data.h"

namespace vellimor {

// The texture options chosen with the file.
struct PictureChoice {
    std::string file_name;
    bool use_sequence = false;
    int sequence_offset = 0;
    int error_handling = 0;  // 0..4
};

// The base name of a numbered sequence file ("fur/skin.15.pic" gives "fur/skin"), or none when
// the name has no frame number (fewer than two dots).
std::optional<std::string> sequence_base_name(const std::string &file_name);

enum PictureAttachOutcome {
    kPictureAttached,
    kPictureNotFound,        // the picture could not be loaded; the keys are used
    kPictureNoFrameNumber,   // a sequence was asked for a name without a frame number
    kPictureWrongChannels,   // colours need a picture of 3 or 4 channels
};

// Attaches the picture to channel 1..7, or for channel 0 to main colour key k of colour type t,
// and loads it for the current frame. The map is marked dirty.
PictureAttachOutcome attach_channel_picture(PatchData &record, int channel, int t, int k,
                                            const PictureChoice &choice);
// Stops the channel (or main colour key) from using its picture: the image is freed, the map
// resolution returns to 50, and a channel's picture record is dropped.
void remove_channel_picture(PatchData &record, int channel, int t, int k);
// Whether the channel (or main colour key) takes its values from a picture.
bool channel_uses_picture(PatchData &record, int channel, int t, int k);

// The map of channel 1..7 (or of main colour key k of type t) as a picture of res x res pixels,
// map rows bottom-up: colours as red, green, blue and alpha; one-value maps as one channel
// scaled to the map's maximum; direction and bend as two channels about 127. None when the map
// is not built.
bool save_map_as_picture(PatchData &record, int channel, int t, int k, const std::string &path);

}  // namespace vellimor
