#include "forms/dispatch.h"

#include "forms/attributes.h"
#include "forms/dialogs.h"
#include "forms/form_display.h"
#include "forms/toolkit.h"
#include "forms/toolkit_state.h"
#include "platform/clock.h"
#include "platform/key_state.h"
#include "platform/window_system.h"

#include <GL/freeglut.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <thread>

namespace vellimor {
namespace {

constexpr double kStepInterval = 0.01;

void deliver(FmObject *obj) {
    if (obj->callback)
        obj->callback(obj, obj->argument);
    else if (obj->form && obj->form->callback)
        obj->form->callback(obj, obj->form->argument);
    else
        fm_toolkit().returned.push(obj);
}

bool takes_focus(const FmObject *obj) { return obj->input && obj->visible && obj->active; }

// The input object after the focus object, wrapping to the first of the form.
FmObject *next_input(FmForm *form, FmObject *from) {
    for (FmObject *obj = from ? from->next : nullptr; obj; obj = obj->next)
        if (takes_focus(obj)) return obj;
    for (FmObject *obj = form->first; obj; obj = obj->next)
        if (takes_focus(obj)) return obj;
    return from;
}

// Releases every pushed radio object of `obj`'s group except `obj`.
void release_radio_group(FmObject *obj) {
    FmObject *start = obj;
    while (start->prev && start->objclass != FM_BEGIN_GROUP) start = start->prev;
    for (FmObject *o = start; o && o->objclass != FM_END_GROUP; o = o->next) {
        if (o == obj || !o->radio || !o->pushed) continue;
        o->pushed = false;
        fm_handle_object(o, FM_RELEASE, 0, 0, 0);
    }
}

void set_mouse_object(FmObject *obj, float mx, float my) {
    FmToolkit &tk = fm_toolkit();
    FmObject *old = tk.mouse_obj;
    tk.mouse_obj = obj;
    if (old) fm_handle_object(old, FM_LEAVE, mx, my, 0);
    if (obj) fm_handle_object(obj, FM_ENTER, mx, my, 0);
}

// Pushes and releases the object at its centre, as a click would; `key` 0 stands for no key.
void press_and_release(FmObject *obj, int key) {
    float cx = obj->x + obj->w / 2, cy = obj->y + obj->h / 2;
    // A radio button pushed from the keyboard releases its group as a click would.
    if (obj->radio) release_radio_group(obj);
    fm_handle_object(obj, FM_PUSH, cx, cy, key);
    fm_handle_object(obj, FM_RELEASE, cx, cy, key);
}

void form_keyboard(FmForm *form, float mx, float my, int key) {
    bool shortcut = false;
    fm_for_each_object(form, [&](FmObject *obj) {
        if (fm_is_marker(obj) || !fm_shortcut_matches(obj, key)) return;
        shortcut = true;
        press_and_release(obj, key);
    });
    FmObject *focus = form->focusobj;
    if (shortcut) return;
    if (!focus) {
        // Drawing areas that take input get keys under the pointer without a click first.
        FmObject *under = fm_find_object(form, mx, my);
        if (under && under->objclass == FM_FREE && under->input) fm_handle_object(under, FM_KEYBOARD, mx, my, key);
        return;
    }
    if (key == kFmTab || key == kFmReturn) {
        FmObject *next = next_input(form, focus);
        fm_handle_object(focus, FM_UNFOCUS, mx, my, 0);
        if (next) fm_handle_object(next, FM_FOCUS, mx, my, 0);
        return;
    }
    fm_handle_object(focus, FM_KEYBOARD, mx, my, key);
}

// Form-level handling of one event.
void form_event(FmForm *form, int event, int key) {
    FmToolkit &tk = fm_toolkit();
    if (!form || !form->visible || form->frozen > 0) return;
    float mx = 0, my = 0;
    fm_get_form_mouse(form, &mx, &my);
    bool takes_input = form->deactivated == 0;
    switch (event) {
    case FM_PUSH: {
        FmObject *obj = takes_input ? fm_find_object(form, mx, my) : nullptr;
        if (!obj || tk.pushed_obj) return;
        if (obj->input && form->focusobj != obj) fm_set_object_focus(form, obj);
        if (obj->radio) release_radio_group(obj);
        tk.pushed_obj = obj;
        fm_handle_object(obj, FM_PUSH, mx, my, key);
        break;
    }
    case FM_RELEASE: {
        FmObject *obj = tk.pushed_obj;
        tk.pushed_obj = nullptr;
        if (obj) {
            fm_get_form_mouse(obj->form, &mx, &my);
            fm_handle_object(obj, FM_RELEASE, mx, my, key);
        }
        break;
    }
    case FM_MOUSE: {
        if (FmObject *obj = tk.pushed_obj) {
            fm_get_form_mouse(obj->form, &mx, &my);
            fm_handle_object(obj, FM_MOUSE, mx, my, key);
            return;
        }
        FmObject *obj = takes_input ? fm_find_object(form, mx, my) : nullptr;
        if (obj != tk.mouse_obj)
            set_mouse_object(obj, mx, my);
        else if (obj)
            fm_handle_object(obj, FM_MOVE, mx, my, 0);
        break;
    }
    case FM_KEYBOARD:
        if (takes_input) form_keyboard(form, mx, my, key);
        break;
    case FM_STEP:
        fm_for_each_object(form, [&](FmObject *obj) {
            if (obj->visible && obj->active && obj->automatic) fm_handle_object(obj, FM_STEP, mx, my, 0);
        });
        break;
    default:
        break;
    }
}

void leave_mouse_form() {
    FmToolkit &tk = fm_toolkit();
    if (tk.mouse_obj && tk.mouse_obj->form == tk.mouse_form) set_mouse_object(nullptr, 0, 0);
    tk.mouse_form = nullptr;
}

void enter_form(FmForm *form) {
    FmToolkit &tk = fm_toolkit();
    if (form == tk.mouse_form) return;
    leave_mouse_form();
    tk.mouse_form = form;
}

int mouse_button_of(int code) { return code - FM_DEV_LEFTMOUSE + 1; }

bool takes_input(const FmForm *form) { return form && form->visible && form->deactivated == 0; }

// A window manager's request to close a form's window does what its close control does.
// A window already taken down is put back when the form stays (a refused exit, a modal form).
void close_requested(FmForm *form) {
    if (takes_input(form)) {
        if (form->close_object && form->close_object->visible)
            press_and_release(form->close_object, 0);
        else if (!form->close_object)
            fm_hide_form(form);
    }
    if (form->visible && form->window_lost) {
        fm_hide_form(form);
        fm_show_form(form, FM_PLACE_POSITION, form->border, form->title.c_str());
    }
}

bool all_modifiers_held() { return getbutton(1) && getbutton(2) && getbutton(4); }

// Handles one device event; returns false for codes the toolkit does not handle itself.
bool handle_device(const FmDeviceEvent &ev) {
    FmToolkit &tk = fm_toolkit();
    if (ev.x >= 0 && ev.window > 0) {
        tk.mouse_window = ev.window;
        tk.mouse_x = ev.x;
        tk.mouse_y = ev.y;
    }
    FmForm *event_form = fm_form_of_window(ev.window);
    switch (ev.code) {
    case FM_DEV_LEFTARROW:
    case FM_DEV_DOWNARROW:
    case FM_DEV_RIGHTARROW:
    case FM_DEV_UPARROW: {
        static constexpr int kArrowKeys[] = {FM_KEY_LEFT, FM_KEY_DOWN, FM_KEY_RIGHT, FM_KEY_UP};
        if (ev.value) form_event(tk.mouse_form, FM_KEYBOARD, kArrowKeys[ev.code - FM_DEV_LEFTARROW]);
        return true;
    }
    case FM_DEV_IDLE:
        form_event(tk.mouse_form, FM_MOUSE, 0);
        for (FmForm *form : std::vector<FmForm *>(tk.shown)) form_event(form, FM_STEP, 0);
        return true;
    case FM_DEV_REDRAW:
        fm_invalidate_form(fm_form_of_window(ev.value));
        return true;
    case FM_DEV_MOTION:
        if (event_form) enter_form(event_form);
        form_event(tk.mouse_form, FM_MOUSE, 0);
        return true;
    case FM_DEV_WHEEL:
        return true;
    case FM_DEV_INPUTCHANGE:
        if (ev.value)
            enter_form(fm_form_of_window(ev.value));
        else
            leave_mouse_form();
        return true;
    case FM_DEV_KEYBD:
        form_event(takes_input(tk.mouse_form) || !event_form ? tk.mouse_form : event_form, FM_KEYBOARD, ev.value);
        return true;
    case FM_DEV_WINCLOSE:
        if (event_form) close_requested(event_form);
        return true;
    case FM_DEV_LEFTMOUSE:
    case FM_DEV_MIDDLEMOUSE:
    case FM_DEV_RIGHTMOUSE:
        if (ev.value == 1) {
            if (event_form) enter_form(event_form);
            if (all_modifiers_held())
                fm_show_about();
            else
                form_event(tk.mouse_form, FM_PUSH, mouse_button_of(ev.code));
        } else {
            form_event(tk.pushed_obj ? tk.pushed_obj->form : tk.mouse_form, FM_RELEASE,
                       mouse_button_of(ev.code));
        }
        return true;
    default:
        return false;
    }
}

void dispatch_one(const FmDeviceEvent &ev) {
    FmToolkit &tk = fm_toolkit();
    bool handled = handle_device(ev);
    if (!handled || tk.queued_devices.count(ev.code))
        tk.app_queue.push({ev.code, static_cast<short>(ev.value)});
}

void pump_window_system() {
    if (!fm_toolkit().headless) glutHandleEvents();
}

}  // namespace

void fm_post_device_event(const FmDeviceEvent &event) {
    auto &queue = fm_toolkit().device_queue;
    // Pointer motion only matters at its latest position.
    if (event.code == FM_DEV_MOTION && !queue.empty() && queue.back().code == FM_DEV_MOTION &&
        queue.back().window == event.window) {
        queue.back() = event;
        return;
    }
    queue.push_back(event);
}

void fm_window_resized(int window, int w, int h) {
    if (FmForm *form = fm_form_of_window(window)) {
        form->window_w = w;
        form->window_h = h;
    }
    fm_post_device_event({FM_DEV_REDRAW, window, window});
}

int fm_handle_object(FmObject *obj, int event, float mx, float my, int key) {
    if (!obj || fm_is_marker(obj) || !obj->handle) return 0;
    switch (event) {
    case FM_PUSH:
        obj->pushed = true;
        break;
    case FM_RELEASE:
        if (!obj->radio) obj->pushed = false;
        break;
    case FM_ENTER:
        obj->belowmouse = true;
        break;
    case FM_LEAVE:
        obj->belowmouse = false;
        break;
    case FM_FOCUS:
        if (obj->form) obj->form->focusobj = obj;
        obj->focus = true;
        break;
    case FM_UNFOCUS:
        if (obj->form && obj->form->focusobj == obj) obj->form->focusobj = nullptr;
        obj->focus = false;
        break;
    default:
        break;
    }
    int changed = obj->handle(obj, event, mx, my, key);
    if (changed && event != FM_DRAW) deliver(obj);
    return changed;
}

void fm_process_events(bool blocking) {
    fm_init();
    FmToolkit &tk = fm_toolkit();
    if (tk.device_queue.empty()) pump_window_system();
    if (tk.device_queue.empty()) {
        double now = platform::seconds_since_start();
        if (now - tk.last_step < kStepInterval) {
            if (!blocking) {
                fm_flush_redraws();
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            pump_window_system();
        }
        tk.last_step = platform::seconds_since_start();
    }
    FmDeviceEvent ev{FM_DEV_IDLE, 0, 0};
    if (!tk.device_queue.empty()) {
        ev = tk.device_queue.front();
        tk.device_queue.pop_front();
    }
    dispatch_one(ev);
    // Once the pending events are handled, the windows show their result.
    if (tk.device_queue.empty()) fm_flush_redraws();
}

FmObject *fm_check_forms() {
    FmToolkit &tk = fm_toolkit();
    while (tk.returned.empty()) {
        bool pending = !tk.device_queue.empty();
        fm_process_events(false);
        if (!pending && tk.device_queue.empty()) break;
    }
    fm_flush_redraws();
    return tk.returned.empty() ? nullptr : tk.returned.pop();
}

FmObject *fm_do_forms() {
    FmToolkit &tk = fm_toolkit();
    while (tk.returned.empty()) fm_process_events(true);
    fm_flush_redraws();
    return tk.returned.pop();
}

FmObject *fm_find_object(FmForm *form, float x, float y) {
    FmObject *found = nullptr;
    fm_for_each_object(form, [&](FmObject *obj) {
        if (obj->visible && obj->active && !fm_is_marker(obj) && x >= obj->x && x <= obj->x + obj->w &&
            y >= obj->y && y <= obj->y + obj->h)
            found = obj;
    });
    return found;
}

void fm_get_form_mouse(FmForm *form, float *x, float *y) {
    const FmToolkit &tk = fm_toolkit();
    float fx = -1e6f, fy = -1e6f;
    if (form && tk.mouse_window == form->window && form->window_w > 0 && form->window_h > 0) {
        fx = tk.mouse_x * form->w / form->window_w;
        fy = (form->window_h - 1 - tk.mouse_y) * form->h / form->window_h;
    }
    if (x) *x = fx;
    if (y) *y = fy;
}

FmObject *fm_object_under_mouse(FmForm *form) {
    float x, y;
    fm_get_form_mouse(form, &x, &y);
    return form ? fm_find_object(form, x, y) : nullptr;
}

void fm_qdevice(int code) { fm_toolkit().queued_devices.insert(code); }
void fm_unqdevice(int code) { fm_toolkit().queued_devices.erase(code); }
void fm_qenter(int code, short value) { fm_toolkit().app_queue.push({code, value}); }

int fm_qtest() {
    FmToolkit &tk = fm_toolkit();
    return tk.app_queue.empty() ? 0 : tk.app_queue.items.front().code;
}

int fm_qread(short *value) {
    FmToolkit &tk = fm_toolkit();
    while (tk.app_queue.empty()) fm_process_events(true);
    FmAppEvent ev = tk.app_queue.pop();
    if (value) *value = ev.value;
    return ev.code;
}

long getvaluator(int which) {
    const FmToolkit &tk = fm_toolkit();
    if (which != 0 && which != 1) {
        std::fprintf(stderr, "getvaluator: unknown function %d\n", which);
        return which;
    }
    int wx = 0, wy = 0;
    if (!tk.headless && tk.mouse_window > 0 && fm_form_of_window(tk.mouse_window)) {
        int current = glutGetWindow();
        glutSetWindow(tk.mouse_window);
        wx = glutGet(GLUT_WINDOW_X);
        wy = glutGet(GLUT_WINDOW_Y);
        if (current > 0) glutSetWindow(current);
    }
    if (which == 0) return wx + tk.mouse_x;
    return fm_screen_height() - 1 - (wy + tk.mouse_y);
}

int getbutton(int code) {
    using platform::Key;
    const FmToolkit &tk = fm_toolkit();
    auto held = [&](int c) { return tk.keys_down.count(c) > 0; };
    switch (code) {
    case 1:
        return platform::key_is_down(Key::Shift);
    case 2:
        return platform::key_is_down(Key::Control);
    case 4:
        return platform::key_is_down(Key::Alt);
    case 61:
        return held(kFmBackspace);
    case 62:
        return held(kFmDelete);
    case 83:
        return held(' ');
    case FM_DEV_LEFTMOUSE:
        return tk.buttons_down[0] || platform::key_is_down(Key::LeftMouse);
    case FM_DEV_MIDDLEMOUSE:
        return tk.buttons_down[1] || platform::key_is_down(Key::MiddleMouse);
    case FM_DEV_RIGHTMOUSE:
        return tk.buttons_down[2] || platform::key_is_down(Key::RightMouse);
    default:
        return held(std::toupper(code & 0xff));
    }
}

}  // namespace vellimor
