#include "platform/x_connection.h"

#include <X11/Xlib.h>

#include <cstdlib>

namespace vellimor::platform {
namespace {

struct Connection {
    Display *display = nullptr;
    bool tried = false;
    ~Connection() {
        if (display) XCloseDisplay(display);
    }
};

}  // namespace

_XDisplay *x_display() {
    static Connection connection;
    if (!connection.tried) {
        connection.tried = true;
        const char *name = std::getenv("DISPLAY");
        if (name && *name) connection.display = XOpenDisplay(nullptr);
    }
    return connection.display;
}

}  // namespace vellimor::platform
