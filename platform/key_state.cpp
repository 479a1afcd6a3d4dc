#include "platform/key_state.h"

#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <atomic>
#include <csignal>

#include "platform/x_connection.h"

namespace vellimor::platform {
namespace {

std::atomic<bool> interrupted{false};
struct sigaction previous_action {};
bool routing = false;

void on_interrupt(int) { interrupted = true; }

bool keysym_down(Display *display, const char keys[32], KeySym sym) {
    const KeyCode code = XKeysymToKeycode(display, sym);
    if (code == 0) return false;
    return (keys[code / 8] >> (code % 8)) & 1;
}

bool any_keysym_down(Display *display, KeySym a, KeySym b) {
    char keys[32];
    XQueryKeymap(display, keys);
    return keysym_down(display, keys, a) || (b != NoSymbol && keysym_down(display, keys, b));
}

bool button_down(Display *display, unsigned int mask) {
    Window root = 0, child = 0;
    int root_x = 0, root_y = 0, x = 0, y = 0;
    unsigned int state = 0;
    XQueryPointer(display, DefaultRootWindow(display), &root, &child, &root_x, &root_y, &x, &y,
                  &state);
    return (state & mask) != 0;
}

}  // namespace

bool key_is_down(Key key) {
    if (key == Key::Escape && interrupted) return true;
    Display *display = x_display();
    if (!display) return false;
    switch (key) {
    case Key::Escape: return any_keysym_down(display, XK_Escape, NoSymbol);
    case Key::Shift: return any_keysym_down(display, XK_Shift_L, XK_Shift_R);
    case Key::Control: return any_keysym_down(display, XK_Control_L, XK_Control_R);
    case Key::Alt: return any_keysym_down(display, XK_Alt_L, XK_Alt_R);
    case Key::LeftAlt: return any_keysym_down(display, XK_Alt_L, NoSymbol);
    case Key::LeftMouse: return button_down(display, Button1Mask);
    case Key::MiddleMouse: return button_down(display, Button2Mask);
    case Key::RightMouse: return button_down(display, Button3Mask);
    }
    return false;
}

void route_interrupt_to_escape() {
    if (routing) return;
    struct sigaction action {};
    action.sa_handler = on_interrupt;
    sigemptyset(&action.sa_mask);
    if (sigaction(SIGINT, &action, &previous_action) == 0) routing = true;
}

void stop_routing_interrupt_to_escape() {
    if (!routing) return;
    sigaction(SIGINT, &previous_action, nullptr);
    routing = false;
}

void clear_interrupt() { interrupted = false; }

bool interrupt_seen() { return interrupted; }

}  // namespace vellimor::platform
