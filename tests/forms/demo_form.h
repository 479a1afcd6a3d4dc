// One form with an object of every class, shared by forms-demo and the windowed tests.
#pragma once

#include "forms/forms.h"

namespace vellimor {

struct DemoForm {
    FmForm *form = nullptr;
    FmObject *button = nullptr, *push = nullptr, *toggle = nullptr, *radio[3] = {};
    FmObject *slider = nullptr, *valslider = nullptr, *vslider = nullptr, *progress = nullptr;
    FmObject *positioner = nullptr, *counter = nullptr, *input = nullptr, *choice = nullptr;
    FmObject *timer = nullptr, *browser = nullptr, *free_area = nullptr, *box = nullptr;
    FmObject *file_button = nullptr, *question_button = nullptr, *quit_button = nullptr;
};

constexpr float kDemoWidth = 660, kDemoHeight = 520;

DemoForm make_demo_form();
// How often the object's callback ran.
int demo_calls(const FmObject *obj);
// Presses inside the free drawing area, in its units.
int demo_free_presses();

}  // namespace vellimor
