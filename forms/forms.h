// The forms toolkit in one include: forms and objects drawn with OpenGL in GLUT windows, their
// event dispatch, and the dialogs.
//
// What applications build on (details in the headers named):
// - Redraws (forms/form_display.h): a change only marks its form dirty; the event loop redraws
//   every dirty window once per turn, a double-buffered one whole into its back buffer followed
//   by a swap. fm_flush_redraws() brings every window up to date at once, for progress shown by
//   work that does not return to the loop. Objects draw only from FM_DRAW and never swap.
// - Depth (forms/form_display.h): every form window has a depth buffer, cleared to 1.0 before
//   each drawing; a drawing area enables the depth test itself.
// - Keys (forms/dispatch.h): keys reach objects as FM_KEYBOARD (8), free objects included;
//   FM_MOVE (10) is pointer motion. A free object of type FM_INPUT_FREE or FM_ALL_FREE gets keys
//   when it has the focus, or when its form has no focus object and the pointer is over it.
#pragma once

#include "forms/attributes.h"
#include "forms/box_text.h"
#include "forms/browser.h"
#include "forms/button.h"
#include "forms/choice.h"
#include "forms/counter.h"
#include "forms/dialogs.h"
#include "forms/dispatch.h"
#include "forms/drawing.h"
#include "forms/file_selector.h"
#include "forms/form_definition.h"
#include "forms/form_display.h"
#include "forms/free_object.h"
#include "forms/input.h"
#include "forms/object.h"
#include "forms/popup_menu.h"
#include "forms/positioner.h"
#include "forms/slider.h"
#include "forms/symbols.h"
#include "forms/timer.h"
#include "forms/toolkit.h"
