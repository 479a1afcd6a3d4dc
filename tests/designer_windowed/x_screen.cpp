#include "x_screen.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <memory>
#include <mutex>
#include <set>

namespace vellimor::test {
namespace {

// A window may go away between finding and reading it; errors on the screens' own connections
// are expected then and must not end the process. Others go to the handler that was there.
std::mutex screens_mutex;
std::set<Display *> screens;
XErrorHandler previous_handler = nullptr;

int ignore_screen_errors(Display *display, XErrorEvent *event) {
    {
        std::lock_guard<std::mutex> lock(screens_mutex);
        if (screens.count(display)) return 0;
    }
    return previous_handler ? previous_handler(display, event) : 0;
}

}  // namespace

XScreen::XScreen() {
    display_ = XOpenDisplay(nullptr);
    if (!display_) return;
    std::lock_guard<std::mutex> lock(screens_mutex);
    // Installed once: a later screen must not take this handler for the one it replaces.
    if (screens.empty()) {
        const XErrorHandler replaced = XSetErrorHandler(ignore_screen_errors);
        if (replaced != ignore_screen_errors) previous_handler = replaced;
    }
    screens.insert(display_);
}

XScreen::~XScreen() {
    if (!display_) return;
    XCloseDisplay(display_);
    std::lock_guard<std::mutex> lock(screens_mutex);
    screens.erase(display_);
}

void XScreen::hold_key(const char *keysym_name, bool down) {
    const KeyCode code = XKeysymToKeycode(display_, XStringToKeysym(keysym_name));
    if (code == 0) return;
    XTestFakeKeyEvent(display_, code, down ? True : False, CurrentTime);
    XSync(display_, False);
}

unsigned long XScreen::search(unsigned long window, const std::string &prefix, int depth) {
    char *name = nullptr;
    if (XFetchName(display_, window, &name) && name) {
        const bool match = std::string(name).rfind(prefix, 0) == 0;
        XFree(name);
        XWindowAttributes attrs;
        if (match && XGetWindowAttributes(display_, window, &attrs) && attrs.map_state == IsViewable) return window;
    }
    if (depth > 2) return 0;
    Window root = 0, parent = 0, *children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display_, window, &root, &parent, &children, &count)) return 0;
    unsigned long found = 0;
    for (unsigned int i = 0; i < count && !found; ++i) found = search(children[i], prefix, depth + 1);
    if (children) XFree(children);
    return found;
}

unsigned long XScreen::find_window(const std::string &prefix) {
    return search(DefaultRootWindow(display_), prefix, 0);
}

WindowPixels XScreen::read(unsigned long window) {
    WindowPixels pixels;
    XWindowAttributes attrs;
    if (!XGetWindowAttributes(display_, window, &attrs)) return pixels;
    auto destroy = [](XImage *image) { XDestroyImage(image); };
    std::unique_ptr<XImage, decltype(destroy)> image(
        XGetImage(display_, window, 0, 0, attrs.width, attrs.height, AllPlanes, ZPixmap), destroy);
    if (!image) return pixels;
    pixels.width = attrs.width;
    pixels.height = attrs.height;
    pixels.rgb.resize(static_cast<size_t>(attrs.width) * attrs.height * 3);
    for (int y = 0; y < attrs.height; ++y)
        for (int x = 0; x < attrs.width; ++x) {
            const unsigned long p = XGetPixel(image.get(), x, y);
            uint8_t *out = &pixels.rgb[(static_cast<size_t>(y) * attrs.width + x) * 3];
            out[0] = static_cast<uint8_t>((p & image->red_mask) >> 16);
            out[1] = static_cast<uint8_t>((p & image->green_mask) >> 8);
            out[2] = static_cast<uint8_t>(p & image->blue_mask);
        }
    return pixels;
}

void XScreen::close_request(unsigned long window) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display_, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display_, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display_, window, False, NoEventMask, &event);
    XSync(display_, False);
}

}  // namespace vellimor::test
