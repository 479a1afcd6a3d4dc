// Boxes and texts: objects that only show something.
#pragma once

#include "forms/object.h"

namespace vellimor {

// A box of the given box type with its label centred inside.
FmObject *fm_add_box(int boxtype, float x, float y, float w, float h, const char *label);
// A text: its label drawn inside the rectangle, left aligned unless the alignment says otherwise.
FmObject *fm_add_text(int type, float x, float y, float w, float h, const char *label);

}  // namespace vellimor
