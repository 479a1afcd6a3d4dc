// The toolkit's process-wide tables (shown forms, pushed and mouse objects, event rings). Only the
// toolkit's own files include this.
#pragma once

#include "forms/dispatch.h"
#include "forms/object.h"

#include <array>
#include <cstdint>
#include <deque>
#include <set>
#include <string>
#include <vector>

namespace vellimor {

template <class T, std::size_t N>
struct FmRing {
    std::deque<T> items;
    void push(const T &item) {
        if (items.size() == N) items.pop_front();
        items.push_back(item);
    }
    bool empty() const { return items.empty(); }
    T pop() {
        T item = items.front();
        items.pop_front();
        return item;
    }
};

constexpr std::size_t kFmRingSize = 700;
constexpr int kFmMaxShownForms = 40;

struct FmAppEvent {
    int code;
    short value;
};

struct FmToolkit {
    bool initialised = false;
    bool headless = true;
    std::array<std::array<std::uint8_t, 3>, kFmColorMapSize> colormap{};

    std::vector<std::unique_ptr<FmForm>> forms;  // every form made, owned here
    std::vector<FmForm *> shown;
    FmForm *defining = nullptr;
    FmObject *open_group = nullptr;

    FmForm *mouse_form = nullptr;
    FmObject *mouse_obj = nullptr;
    FmObject *pushed_obj = nullptr;
    int mouse_window = 0;
    int mouse_x = 0, mouse_y = 0;  // window pixels, origin upper left
    std::array<bool, 3> buttons_down{};
    std::set<int> keys_down;       // characters held, upper-cased

    std::deque<FmDeviceEvent> device_queue;
    FmRing<FmAppEvent, kFmRingSize> app_queue;
    std::set<int> queued_devices;  // toolkit codes the application asked to see too
    FmRing<FmObject *, kFmRingSize> returned;
    double last_step = -1.0;
    int next_headless_window = 1000;
    int first_window = 0;         // the first window the toolkit opened
    bool host_minimised = false;  // done at that window's first reshape

    bool errors_hidden = false;
    std::string last_error;
};

FmToolkit &fm_toolkit();

// Applies `fn` to every object of the form in list order.
template <class Fn>
void fm_for_each_object(FmForm *form, Fn fn) {
    for (FmObject *obj = form ? form->first : nullptr; obj;) {
        FmObject *next = obj->next;
        fn(obj);
        obj = next;
    }
}

}  // namespace vellimor
