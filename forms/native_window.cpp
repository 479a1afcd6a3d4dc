#include "forms/native_window.h"

#include "platform/window_system.h"
#include "platform/x_connection.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstring>

namespace vellimor {
namespace {

constexpr const char *kHostWindowTitle = "Host 3D";
constexpr int kSearchDepth = 3;  // window managers nest client windows in frames

bool has_title(Display *display, Window window, const char *title) {
    char *name = nullptr;
    bool match = XFetchName(display, window, &name) && name && std::strcmp(name, title) == 0;
    if (name) XFree(name);
    return match;
}

Window find_titled(Display *display, Window parent, const char *title, int depth) {
    if (depth == 0) return 0;
    Window root = 0, up = 0, *children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display, parent, &root, &up, &children, &count)) return 0;
    Window found = 0;
    for (unsigned int i = 0; i < count && !found; ++i)
        found = has_title(display, children[i], title) ? children[i]
                                                       : find_titled(display, children[i], title, depth - 1);
    if (children) XFree(children);
    return found;
}

}  // namespace

void fm_remove_decorations() {
    Display *display = platform::x_display();
    Window window = glutGetHWND(0);
    if (!display || !window) return;
    // Motif hints: flags = decorations given, decorations = none.
    const long hints[5] = {2, 0, 0, 0, 0};
    Atom property = XInternAtom(display, "_MOTIF_WM_HINTS", False);
    XChangeProperty(display, window, property, property, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char *>(hints), 5);
    XFlush(display);
}

void fm_minimise_host_window() {
    Display *display = platform::x_display();
    if (!display) return;
    Window host = find_titled(display, DefaultRootWindow(display), kHostWindowTitle, kSearchDepth);
    if (!host) return;
    XIconifyWindow(display, host, DefaultScreen(display));
    XFlush(display);
}

}  // namespace vellimor
