#include "platform/window_system.h"

#include <GL/freeglut.h>
#include <GL/glx.h>
#include <X11/Xlib.h>

#include <cstdio>

#include "platform/x_connection.h"

namespace vellimor::platform {
namespace {

constexpr int kFirstGlutWindow = 1;

struct WindowSystem {
    bool ready = false;
    int main_window = kFirstGlutWindow;
    char program_name[64] = {};
    CloseRequestFn on_close_request = nullptr;
};

WindowSystem &window_system() {
    static WindowSystem ws;
    return ws;
}

// The X window of a glut window: its context is made current on its own drawable.
unsigned long native_window_of(int glut_window) {
    if (glut_window <= 0) return 0;
    const int previous = glutGetWindow();
    glutSetWindow(glut_window);
    const unsigned long handle = static_cast<unsigned long>(glXGetCurrentDrawable());
    if (previous > 0) glutSetWindow(previous);
    return handle;
}

struct CloseAtoms {
    Atom protocols = None, delete_window = None;
};

Bool is_close_request(Display *, XEvent *event, XPointer arg) {
    const auto *atoms = reinterpret_cast<const CloseAtoms *>(arg);
    return event->type == ClientMessage && event->xclient.message_type == atoms->protocols &&
           static_cast<Atom>(event->xclient.data.l[0]) == atoms->delete_window;
}

// Takes the window manager's close requests out of freeglut's queue before it sees them.
// freeglut's connection is the one its current GL context lives on.
void take_close_requests() {
    WindowSystem &ws = window_system();
    Display *display = glXGetCurrentDisplay();
    if (!ws.on_close_request || !display) return;
    CloseAtoms atoms{XInternAtom(display, "WM_PROTOCOLS", False), XInternAtom(display, "WM_DELETE_WINDOW", False)};
    XEvent event;
    while (XCheckIfEvent(display, &event, is_close_request, reinterpret_cast<XPointer>(&atoms)))
        ws.on_close_request(event.xclient.window);
}

}  // namespace

bool display_available() { return x_display() != nullptr; }

bool window_system_init(const char *program_name) {
    WindowSystem &ws = window_system();
    if (ws.ready) return true;
    if (!display_available()) return false;
    std::snprintf(ws.program_name, sizeof ws.program_name, "%s",
                  program_name ? program_name : "Vellimor");
    int argc = 1;
    char *argv[] = {ws.program_name, nullptr};
    glutInit(&argc, argv);
    // Closing a window must not end the host's process.
    glutSetOption(GLUT_ACTION_ON_WINDOW_CLOSE, GLUT_ACTION_CONTINUE_EXECUTION);
    ws.ready = true;
    return true;
}

bool window_system_ready() { return window_system().ready; }

bool window_system_require(const char *program_name) {
    if (window_system_init(program_name)) return true;
    std::fprintf(stderr, "Can't open a window: no X display available\n");
    return false;
}

void window_system_set_main_window(int glut_window) { window_system().main_window = glut_window; }

void window_system_on_close_request(CloseRequestFn handler) { window_system().on_close_request = handler; }

}  // namespace vellimor::platform

extern "C" void glutHandleEvents(void) {
    if (!vellimor::platform::window_system_ready()) return;
    vellimor::platform::take_close_requests();
    glutMainLoopEvent();
}

extern "C" unsigned long glutGetHWND(int which) {
    using namespace vellimor::platform;
    if (!window_system_ready()) return 0;
    if (which == 1) return native_window_of(window_system().main_window);
    return native_window_of(glutGetWindow());
}
