// The input field: one line of at most 127 characters edited with a cursor. It reports a change
// when it loses the focus (Tab, Return, a click elsewhere) with a text that differs from the one
// it had when it got the focus. Number fields (FM_FLOAT_INPUT, FM_INT_INPUT) take only the
// characters of numbers, and one left with text that is no number gets its text back as it was
// and reports no change.
#pragma once

#include <optional>

#include "forms/object.h"

namespace vellimor {

enum FmInputType { FM_NORMAL_INPUT = 0, FM_FLOAT_INPUT = 1, FM_INT_INPUT = 2 };

constexpr std::size_t kFmInputMax = 127;

FmObject *fm_add_input(int type, float x, float y, float w, float h, const char *label);
void fm_set_input(FmObject *obj, const char *text);
const char *fm_get_input(FmObject *obj);

// The text as a number: nothing when it is no number (blanks around it are allowed, and a text
// of blanks only reads 0).
std::optional<double> fm_input_number(const char *text);
// Told of the text a number field refused (the application says so where its messages go).
using FmRefusedInputFn = void (*)(FmObject *field, const char *text);
void fm_set_refused_input_handler(FmRefusedInputFn handler);

}  // namespace vellimor
