// The forms toolkit in one include: forms and objects drawn with OpenGL in GLUT windows, their
// event dispatch, and the dialogs.
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
#include "forms/positioner.h"
#include "forms/slider.h"
#include "forms/symbols.h"
#include "forms/timer.h"
#include "forms/toolkit.h"
