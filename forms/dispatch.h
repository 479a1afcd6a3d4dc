// The event layer: window-system events become device events, device events become object events,
// and changed objects reach their callbacks or the returned-object ring that the loops read.
#pragma once

#include "forms/object.h"

namespace vellimor {

// Device codes of the event layer.
enum FmDevice {
    FM_DEV_LEFTARROW = 100,
    FM_DEV_DOWNARROW = 101,
    FM_DEV_RIGHTARROW = 102,
    FM_DEV_UPARROW = 103,
    FM_DEV_IDLE = 150,
    FM_DEV_REDRAW = 151,
    FM_DEV_MOTION = 153,  // the pointer moved; the position travels with the event
    FM_DEV_WHEEL = 154,   // value 1 rolls up, -1 down
    FM_DEV_INPUTCHANGE = 155,
    FM_DEV_KEYBD = 156,
    FM_DEV_LEFTMOUSE = 157,
    FM_DEV_MIDDLEMOUSE = 158,
    FM_DEV_RIGHTMOUSE = 159,
    FM_DEV_WINCLOSE = 160,  // the window manager asks to close the window (value: the window)
};

// Keys that keyboard events carry for the arrow keys.
enum FmArrowKey { FM_KEY_LEFT = 1, FM_KEY_RIGHT = 2, FM_KEY_DOWN = 3, FM_KEY_UP = 4 };
constexpr int kFmTab = 9;
constexpr int kFmReturn = 13;
constexpr int kFmBackspace = 8;
constexpr int kFmDelete = 127;
constexpr int kFmEscape = 27;
// A shortcut string that holds Escape: the cancelling control of dialogs and modal windows.
constexpr const char *kFmEscapeShortcut = "\x1b";

struct FmDeviceEvent {
    int code = 0;
    int value = 0;
    int window = 0;    // window the event happened in (0 when not tied to one)
    int x = -1, y = -1; // pointer in window pixels, origin upper left; -1 when unknown
};

// Queues a window-system event; the window layer calls this from its callbacks.
void fm_post_device_event(const FmDeviceEvent &event);
// Records the new pixel size of a form's window and queues its redraw.
void fm_window_resized(int window, int w, int h);

// Object-level handling: sets the object's flags for the event, runs its handle function and,
// when that reports a change, passes the object on (callback, form callback or the ring).
int fm_handle_object(FmObject *obj, int event, float mx, float my, int key);

// Non-blocking: handles what is pending and returns a changed object without callback, or
// nullptr. Blocking: runs until such an object exists and returns it. Both bring every changed
// window up to date before they return (fm_flush_redraws).
//
// Keys: a key (a character, or FM_KEY_LEFT .. FM_KEY_UP for the arrows) reaches an object as
// FM_KEYBOARD (8), free objects included; FM_MOVE (10) is only pointer motion. A key goes to the
// form under the pointer, or, when that form takes no input (behind a modal window), to the form
// whose window the key was typed in. There it first pushes and releases every object whose
// shortcut holds it; otherwise it goes to the form's focus object (Tab and Return move the focus
// on). When that form has no focus
// object, a free object that takes input (FM_INPUT_FREE, FM_ALL_FREE) under the pointer gets the
// key, so drawing areas take keys without a click; a click on one gives it the focus.
FmObject *fm_check_forms();
FmObject *fm_do_forms();
// One turn of the loop without taking objects from the ring (dialogs wait with it).
void fm_process_events(bool blocking);

// The object of `form` under the mouse: the last in list order that is visible, active, not a
// group marker and whose rectangle holds the point (edges included); nullptr when none.
FmObject *fm_find_object(FmForm *form, float x, float y);
FmObject *fm_object_under_mouse(FmForm *form);
// The mouse position in `form` units.
void fm_get_form_mouse(FmForm *form, float *x, float *y);

// The application event queue (a ring of 700 device codes and values).
void fm_qdevice(int code);
void fm_unqdevice(int code);
void fm_qenter(int code, short value);
int fm_qtest();
int fm_qread(short *value);

// 0: mouse x, 1: mouse y, in screen pixels (y counted from the bottom of the screen).
long getvaluator(int which);
// 1 Shift, 2 Control, 4 Alt, 61 Backspace, 62 Delete, 83 Space, 157/158/159 left, middle and
// right mouse button; any other code is a character whose (upper-cased) key state is returned.
int getbutton(int code);

}  // namespace vellimor
