// The windowing layer over freeglut. freeglut ends the process when it finds no display, so it
// is initialised only on demand and only after checking that a display can be opened.
#pragma once

namespace vellimor::platform {

// True when an X display can be opened (DISPLAY set and reachable).
bool display_available();

// Initialises freeglut once per process with the given program name as its only argument.
// Returns false, without ending the process, when there is no display.
bool window_system_init(const char *program_name);
bool window_system_ready();

// For code about to open a window: initialises the windowing library when needed; without a
// display prints one line saying so to stderr and returns false.
bool window_system_require(const char *program_name);

// The window glutGetHWND(1) answers for (the designer's main window); by default the first
// window created.
void window_system_set_main_window(int glut_window);

// Receives the native window a window manager asked to close (WM_DELETE_WINDOW). freeglut would
// destroy such a window at once; glutHandleEvents takes these requests out first and hands them
// here, so the application decides what closing means (and the window stays until it does).
using CloseRequestFn = void (*)(unsigned long native_window);
void window_system_on_close_request(CloseRequestFn handler);

}  // namespace vellimor::platform

extern "C" {
// Processes the pending window-system events, calling the registered callbacks, and returns
// without waiting (glutMainLoopEvent).
void glutHandleEvents(void);
// The native (X11) window of the current window (which 0) or of the main window (which 1).
unsigned long glutGetHWND(int which);
}
