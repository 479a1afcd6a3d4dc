#include "support/x_driver.h"

#include <X11/Xlib.h>
#include <X11/XKBlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <png.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

namespace vellimor::test {
namespace {

// Sends what was faked and gives the X server and the toolkit a moment between steps of a gesture.
void sync_and_pause(Display *display) {
    XSync(display, False);
    std::this_thread::sleep_for(std::chrono::milliseconds(15));
}

// The children of a window that are mapped and viewable, bottom to top.
std::vector<Window> viewable_children(Display *display, Window window) {
    Window root = 0, parent = 0, *children = nullptr;
    unsigned int count = 0;
    std::vector<Window> viewable;
    if (!XQueryTree(display, window, &root, &parent, &children, &count)) return viewable;
    for (unsigned int i = 0; i < count; ++i) {
        XWindowAttributes attrs;
        if (XGetWindowAttributes(display, children[i], &attrs) && attrs.map_state == IsViewable)
            viewable.push_back(children[i]);
    }
    if (children) XFree(children);
    return viewable;
}

// A window may go away between finding and reading it; errors on the drivers' own connections
// are expected then and must not end the process. Others go to the handler that was there.
std::mutex drivers_mutex;
std::set<Display *> drivers;
XErrorHandler previous_handler = nullptr;

int ignore_driver_errors(Display *display, XErrorEvent *event) {
    {
        std::lock_guard<std::mutex> lock(drivers_mutex);
        if (drivers.count(display)) return 0;
    }
    return previous_handler ? previous_handler(display, event) : 0;
}

}  // namespace

// A server whose last client left resets itself and refuses connections for a moment.
XDriver::XDriver() {
    for (int tries = 0; tries < 100 && !(display_ = XOpenDisplay(nullptr)) && std::getenv("DISPLAY"); ++tries)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (!display_) return;
    std::lock_guard<std::mutex> lock(drivers_mutex);
    // Installed once: a later driver must not take this handler for the one it replaces.
    if (drivers.empty()) {
        const XErrorHandler replaced = XSetErrorHandler(ignore_driver_errors);
        if (replaced != ignore_driver_errors) previous_handler = replaced;
    }
    drivers.insert(display_);
}

XDriver::~XDriver() {
    if (!display_) return;
    XCloseDisplay(display_);
    std::lock_guard<std::mutex> lock(drivers_mutex);
    drivers.erase(display_);
}

void XDriver::move(int x, int y) {
    XTestFakeMotionEvent(display_, -1, x, y, CurrentTime);
    sync_and_pause(display_);
}

void XDriver::press(int button) {
    XTestFakeButtonEvent(display_, button, True, CurrentTime);
    sync_and_pause(display_);
}

void XDriver::release(int button) {
    XTestFakeButtonEvent(display_, button, False, CurrentTime);
    sync_and_pause(display_);
}

void XDriver::click(int x, int y, int button) {
    move(x, y);
    press(button);
    release(button);
}

void XDriver::drag(int x0, int y0, int x1, int y1, int button) {
    move(x0, y0);
    press(button);
    constexpr int kSteps = 8;
    for (int i = 1; i <= kSteps; ++i) move(x0 + (x1 - x0) * i / kSteps, y0 + (y1 - y0) * i / kSteps);
    release(button);
}

void XDriver::key_code(unsigned int code) {
    XTestFakeKeyEvent(display_, code, True, CurrentTime);
    XTestFakeKeyEvent(display_, code, False, CurrentTime);
    sync_and_pause(display_);
}

void XDriver::key_down(const char *keysym_name) {
    XTestFakeKeyEvent(display_, XKeysymToKeycode(display_, XStringToKeysym(keysym_name)), True, CurrentTime);
    sync_and_pause(display_);
}

void XDriver::key_up(const char *keysym_name) {
    XTestFakeKeyEvent(display_, XKeysymToKeycode(display_, XStringToKeysym(keysym_name)), False, CurrentTime);
    sync_and_pause(display_);
}

void XDriver::type(const std::string &text) {
    for (char c : text) {
        KeySym sym = c == '\t' ? XK_Tab : c == '\r' ? XK_Return : static_cast<KeySym>(static_cast<unsigned char>(c));
        KeyCode code = XKeysymToKeycode(display_, sym);
        if (code == 0) continue;
        bool shifted = XkbKeycodeToKeysym(display_, code, 0, 0) != sym;
        KeyCode shift = XKeysymToKeycode(display_, XK_Shift_L);
        if (shifted) XTestFakeKeyEvent(display_, shift, True, CurrentTime);
        key_code(code);
        if (shifted) {
            XTestFakeKeyEvent(display_, shift, False, CurrentTime);
            XSync(display_, False);
        }
    }
}

void XDriver::key(const char *keysym_name) {
    KeyCode code = XKeysymToKeycode(display_, XStringToKeysym(keysym_name));
    if (code) key_code(code);
}

void XDriver::focus(unsigned long window) {
    XSetInputFocus(display_, window, RevertToPointerRoot, CurrentTime);
    XSync(display_, False);
}

int XDriver::mapped_toplevel_count() {
    return int(viewable_children(display_, DefaultRootWindow(display_)).size());
}

unsigned long XDriver::topmost_toplevel() {
    const std::vector<Window> mapped = viewable_children(display_, DefaultRootWindow(display_));
    return mapped.empty() ? 0 : mapped.back();
}

void XDriver::window_origin(unsigned long window, int *x, int *y) {
    Window child = 0;
    XTranslateCoordinates(display_, window, DefaultRootWindow(display_), 0, 0, x, y, &child);
}

bool XDriver::window_viewable(unsigned long window) {
    XWindowAttributes attrs;
    return XGetWindowAttributes(display_, window, &attrs) && attrs.map_state == IsViewable;
}

bool XDriver::window_size(unsigned long window, int *width, int *height) {
    XWindowAttributes attrs;
    if (!XGetWindowAttributes(display_, window, &attrs)) return false;
    *width = attrs.width;
    *height = attrs.height;
    return true;
}

Snapshot XDriver::grab(unsigned long window) {
    XWindowAttributes attrs;
    if (!XGetWindowAttributes(display_, window, &attrs)) return {};
    auto destroy = [](XImage *image) { XDestroyImage(image); };
    std::unique_ptr<XImage, decltype(destroy)> image(
        XGetImage(display_, window, 0, 0, attrs.width, attrs.height, AllPlanes, ZPixmap), destroy);
    if (!image) return {};
    auto channel = [](unsigned long pixel, unsigned long mask) {
        int shift = 0;
        while (mask && !(mask & 1)) {
            mask >>= 1;
            ++shift;
        }
        return mask ? static_cast<int>(((pixel >> shift) & mask) * 255 / mask) : 0;
    };
    Snapshot shot(attrs.width, attrs.height);
    for (int y = 0; y < attrs.height; ++y)
        for (int x = 0; x < attrs.width; ++x) {
            unsigned long p = XGetPixel(image.get(), x, y);
            shot.set(x, y, {channel(p, image->red_mask), channel(p, image->green_mask), channel(p, image->blue_mask)});
        }
    return shot;
}

unsigned long XDriver::search(unsigned long window, const std::string &prefix, int depth) {
    char *name = nullptr;
    if (XFetchName(display_, window, &name) && name) {
        const bool match = std::string(name).rfind(prefix, 0) == 0;
        XFree(name);
        if (match && window_viewable(window)) return window;
    }
    if (depth > 2) return 0;
    // A window that is not viewable has no viewable descendants.
    for (Window child : viewable_children(display_, window))
        if (unsigned long found = search(child, prefix, depth + 1)) return found;
    return 0;
}

bool XDriver::save_png(unsigned long window, const std::string &path) {
    Snapshot shot = grab(window);
    if (shot.empty()) return false;
    std::vector<png_byte> rgb;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x) {
            const Rgb c = shot.at(x, y);
            rgb.insert(rgb.end(), {png_byte(c.r), png_byte(c.g), png_byte(c.b)});
        }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(shot.width());
    image.height = png_uint_32(shot.height());
    image.format = PNG_FORMAT_RGB;
    return png_image_write_to_file(&image, path.c_str(), 0, rgb.data(), 0, nullptr);
}

void XDriver::close_request(unsigned long window) {
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

unsigned long XDriver::find_window(const std::string &prefix) { return search(DefaultRootWindow(display_), prefix, 0); }

}  // namespace vellimor::test
