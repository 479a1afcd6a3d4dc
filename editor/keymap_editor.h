// The KeyMap editor in the designer's main window: the area's event handler and drawing, the
// channel column, the map resolution and tile, flip and copy controls, and the value and random
// sliders of the slider panel.
#pragma once

#include "editor/keymap_view.h"
#include "forms/object.h"

namespace vellimor {

// Sets the area's handler and the callbacks of every control the KeyMap editor owns on the
// objects of the main window, and attaches the colour key editor beside it.
void keymap_editor_attach();

// The KeyMap area's handler (draw, press, release, motion, key).
int keymap_area_handle(FmObject *obj, int event, float mx, float my, int key);

// The view of the area (tests).
KeyMapView &keymap_view();

// The slider panel from the current surface's selected keys.
void keymap_load_sliders();

}  // namespace vellimor
