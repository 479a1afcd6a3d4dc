// Slider-field pairs: a slider with the numeric field beside it, the field's decimals adapted to
// the value, and the right-button rescaling of one-sided and symmetric sliders.
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "editor/designer_callbacks.h"
#include "editor/designer_objects.h"
#include "forms/forms.h"
#include "host/status.h"

namespace vellimor {
namespace {

constexpr int kDefaultDecimals = 2;
constexpr float kSmallestBound = 0.005f;
constexpr float kLargestGrowth = 4.0f;

struct Pair {
    FmObject *slider = nullptr;
    FmObject *field = nullptr;
    int mode = kPairFixed;
    int decimals = kDefaultDecimals;
};

std::vector<Pair> &pairs() {
    static std::vector<Pair> table;
    return table;
}

bool &values_valid() {
    static bool valid = true;
    return valid;
}

// The record of a slider, made on first use.
Pair &pair_of(FmObject *slider) {
    for (Pair &p : pairs())
        if (p.slider == slider) return p;
    pairs().push_back({slider, nullptr, kPairFixed, kDefaultDecimals});
    return pairs().back();
}

Pair *pair_of_field(FmObject *field) {
    for (Pair &p : pairs())
        if (p.field == field) return &p;
    return nullptr;
}

void show_in_field(const Pair &p, float value) {
    if (p.field) fm_set_input(p.field, pair_format(value, p.decimals).c_str());
}

// The handler every paired slider gets: the toolkit's own, with the field kept in step and the
// right button rescaling the range.
struct Rescale {
    FmObject *slider = nullptr;
    float before = 0.0f;
};
Rescale &rescale() {
    static Rescale r;
    return r;
}

std::vector<std::pair<FmObject *, FmHandleFn>> &class_handlers() {
    static std::vector<std::pair<FmObject *, FmHandleFn>> handlers;
    return handlers;
}

FmHandleFn class_handler(FmObject *slider) {
    for (auto &[obj, fn] : class_handlers())
        if (obj == slider) return fn;
    return nullptr;
}

void finish_rescale(Pair &p) {
    Rescale &r = rescale();
    float lo = 0, hi = 0;
    fm_get_slider_bounds(p.slider, &lo, &hi);
    const float knob = fm_get_slider_value(p.slider);
    const float w = pair_rescaled_bound(r.before, lo, hi, knob, p.mode);
    if (p.mode == kPairSymmetric)
        fm_set_slider_bounds(p.slider, -w, w);
    else
        fm_set_slider_bounds(p.slider, lo, w);
    fm_set_slider_value(p.slider, r.before);
    show_in_field(p, r.before);
    r.slider = nullptr;
    values_valid() = true;
}

int paired_slider_handle(FmObject *obj, int event, float mx, float my, int key) {
    FmHandleFn base = class_handler(obj);
    Pair &p = pair_of(obj);
    const bool rescalable = p.mode == kPairOneSided || p.mode == kPairSymmetric;
    Rescale &r = rescale();
    if (event == FM_PUSH && key == 3 && rescalable) {
        r.slider = obj;
        r.before = fm_get_slider_value(obj);
        values_valid() = false;
    }
    const int changed = base ? base(obj, event, mx, my, key) : 0;
    if (r.slider == obj && event == FM_RELEASE) {
        finish_rescale(p);
        return 0;  // the value is the one the slider had: nothing to apply
    }
    if (changed && r.slider != obj) show_in_field(p, fm_get_slider_value(obj));
    return changed;
}

}  // namespace

std::string pair_format(float value, int decimals) {
    const float a = std::fabs(value);
    int n = decimals;
    if (n > 0) {
        if (a < 0.01f) n = 4;
        else if (a < 0.1f) n = 3;
        else if (a >= 10.0f) n = 1;
    }
    if (a >= 100.0f) n = 0;
    char format[16];
    std::snprintf(format, sizeof format, "%%.%df", n);
    char text[64];
    std::snprintf(text, sizeof text, format, double(value));
    return text;
}

float pair_rescaled_bound(float before, float lo, float hi, float knob, int mode) {
    float w = kSmallestBound;
    if (before != 0.0f && knob != 0.0f) {
        w = std::fabs(before * (hi - lo) / knob);
        if (mode == kPairSymmetric) w /= 2.0f;
    }
    if (w > kLargestGrowth * hi) w = kLargestGrowth * hi;
    if (w < kSmallestBound) w = kSmallestBound;
    return w;
}

void pair_register(FmObject *slider, FmObject *field) {
    if (!slider) return;
    Pair &p = pair_of(slider);
    p.field = field;
    if (slider->handle != paired_slider_handle) {
        class_handlers().emplace_back(slider, slider->handle);
        slider->handle = paired_slider_handle;
    }
}

void pair_set_mode(FmObject *slider, int mode) { pair_of(slider).mode = mode; }

void pair_set_decimals(FmObject *slider, int decimals) { pair_of(slider).decimals = decimals; }

float pair_get(FmObject *slider) {
    values_valid() = true;
    return slider ? fm_get_slider_value(slider) : 0.0f;
}

void pair_set(FmObject *slider, float value) {
    if (!slider) return;
    fm_set_slider_value(slider, value);
    show_in_field(pair_of(slider), fm_get_slider_value(slider));
}

bool pair_values_valid() { return values_valid(); }

std::optional<float> field_number(FmObject *field) {
    const char *text = fm_get_input(field);
    const std::optional<double> number = fm_input_number(text);
    if (!number) {
        report_refused_input(field, text);
        return std::nullopt;
    }
    return float(*number);
}

void report_refused_input(FmObject *, const char *text) {
    status_message(kStatusWarning, "\"%s\" is not a number: the field keeps its value", text ? text : "");
}

void pair_field_callback(FmObject *field, long) {
    Pair *p = pair_of_field(field);
    if (!p || !p->slider) return;
    const std::optional<float> value = field_number(field);
    if (!value) {
        show_in_field(*p, fm_get_slider_value(p->slider));
        return;
    }
    pair_set(p->slider, *value);
    if (p->slider->callback) p->slider->callback(p->slider, p->slider->argument);
}

}  // namespace vellimor
