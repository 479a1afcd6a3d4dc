#include "forms/window_events.h"

#include "forms/dispatch.h"
#include "forms/form_display.h"
#include "forms/native_window.h"
#include "forms/toolkit_state.h"
#include "platform/window_system.h"

#include <GL/freeglut.h>

#include <cctype>

namespace vellimor {
namespace {

constexpr int kWheelUp = 3;
constexpr int kWheelDown = 4;

void post(int code, int value, int x = -1, int y = -1) {
    fm_post_device_event({code, value, glutGetWindow(), x, y});
}

void on_display() { post(FM_DEV_REDRAW, glutGetWindow()); }

void on_reshape(int w, int h) {
    FmToolkit &tk = fm_toolkit();
    int window = glutGetWindow();
    if (!tk.host_minimised && window == tk.first_window) {
        tk.host_minimised = true;
        fm_minimise_host_window();
        glutShowWindow();
        glutPopWindow();
    }
    fm_window_resized(window, w, h);
}

void on_entry(int state) { post(FM_DEV_INPUTCHANGE, state == GLUT_ENTERED ? glutGetWindow() : 0); }

void on_mouse(int button, int state, int x, int y) {
    bool down = state == GLUT_DOWN;
    if (button == kWheelUp || button == kWheelDown) {
        if (down) post(FM_DEV_WHEEL, button == kWheelUp ? 1 : -1, x, y);
        return;
    }
    if (button < 0 || button > 2) return;
    fm_toolkit().buttons_down[button] = down;
    post(FM_DEV_LEFTMOUSE + button, down ? 1 : 0, x, y);
}

void on_motion(int x, int y) { post(FM_DEV_MOTION, 0, x, y); }

void on_keyboard(unsigned char c, int x, int y) {
    fm_toolkit().keys_down.insert(fm_held_key_code(c));
    post(FM_DEV_KEYBD, c, x, y);
}

void on_keyboard_up(unsigned char c, int, int) { fm_toolkit().keys_down.erase(fm_held_key_code(c)); }

void on_special(int key, int x, int y) {
    switch (key) {
    case GLUT_KEY_LEFT:
        post(FM_DEV_LEFTARROW, 1, x, y);
        break;
    case GLUT_KEY_DOWN:
        post(FM_DEV_DOWNARROW, 1, x, y);
        break;
    case GLUT_KEY_RIGHT:
        post(FM_DEV_RIGHTARROW, 1, x, y);
        break;
    case GLUT_KEY_UP:
        post(FM_DEV_UPARROW, 1, x, y);
        break;
    default:
        break;
    }
}

void on_visibility(int state) {
    if (state == GLUT_VISIBLE) post(FM_DEV_REDRAW, glutGetWindow());
}

void on_close_request(unsigned long native_window) {
    if (FmForm *form = fm_form_of_native_window(native_window))
        fm_post_device_event({FM_DEV_WINCLOSE, form->window, form->window});
}

// A window destroyed by the window system (a close request that came past the check in
// glutHandleEvents) is answered like the request; the form learns its window is gone. The
// toolkit's own hiding takes the form off the shown list first, so it is not found here.
void on_destroyed() {
    FmForm *form = fm_form_of_window(glutGetWindow());
    if (!form) return;
    form->window_lost = true;
    fm_post_device_event({FM_DEV_WINCLOSE, form->window, form->window});
}

}  // namespace

int fm_held_key_code(unsigned char c) {
    if (c == kFmBackspace || c == kFmTab || c == kFmReturn || c == kFmEscape || c == kFmDelete) return c;
    if (c < 32) return c + 64;
    return std::toupper(c);
}

void fm_register_window_callbacks() {
    glutDisplayFunc(on_display);
    glutReshapeFunc(on_reshape);
    glutEntryFunc(on_entry);
    glutMouseFunc(on_mouse);
    glutMotionFunc(on_motion);
    glutPassiveMotionFunc(on_motion);
    glutKeyboardFunc(on_keyboard);
    glutKeyboardUpFunc(on_keyboard_up);
    glutSpecialFunc(on_special);
    glutVisibilityFunc(on_visibility);
    glutCloseFunc(on_destroyed);
}

void fm_register_close_requests() { platform::window_system_on_close_request(on_close_request); }

}  // namespace vellimor
