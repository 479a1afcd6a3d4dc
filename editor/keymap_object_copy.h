// "Copy object" and "Paste object": a private copy of a whole fur record's settings (its keys
// and picture references, none of its derived data) put onto other surfaces.
#pragma once

#include <memory>

#include "furdata/patch_data.h"

namespace vellimor {

// Copies every setting of `from` into `to`: record fields, texture keys and main colour keys,
// channel picture records without their loaded images. Derived data (maps, cells, hairs,
// dynamics) is left alone, and so are the target's name, selection and deletion state.
void copy_record_settings(const PatchData &from, PatchData &to);

// A record holding a copy of `from`'s settings.
std::unique_ptr<PatchData> record_settings_copy(const PatchData &from);

// Replaces `target`'s settings by the copy's, keeping the target's surface type, whole-numbered
// extents and shading models; pictures are loaded again and every map is marked dirty.
void paste_record_settings(const PatchData &copy, PatchData &target);

}  // namespace vellimor
