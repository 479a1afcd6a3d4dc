// The input field: one line of at most 127 characters edited with a cursor. It reports a change
// when it loses the focus (Tab, Return, a click elsewhere) with a text that differs from the one
// it had when it got the focus.
#pragma once

#include "forms/object.h"

namespace vellimor {

enum FmInputType { FM_NORMAL_INPUT = 0, FM_FLOAT_INPUT = 1, FM_INT_INPUT = 2 };

constexpr std::size_t kFmInputMax = 127;

FmObject *fm_add_input(int type, float x, float y, float w, float h, const char *label);
void fm_set_input(FmObject *obj, const char *text);
const char *fm_get_input(FmObject *obj);

}  // namespace vellimor
