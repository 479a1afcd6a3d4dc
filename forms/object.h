// The toolkit's data model: forms, the objects they hold, and the numbers that name classes,
// events, box types, colours, label alignments and styles.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace vellimor {

struct FmForm;
struct FmObject;

// A rectangle in form units, origin lower left.
struct FmRect {
    float x = 0, y = 0, w = 0, h = 0;
};

// Object events passed to handle functions.
enum FmEvent {
    FM_DRAW = 0,
    FM_PUSH = 1,
    FM_RELEASE = 2,
    FM_ENTER = 3,
    FM_LEAVE = 4,
    FM_MOUSE = 5,     // motion while pushed
    FM_FOCUS = 6,
    FM_UNFOCUS = 7,
    FM_KEYBOARD = 8,
    FM_STEP = 9,
    FM_MOVE = 10,     // motion over an object while nothing is pushed
};

// Class numbers. The button and slider families take theirs from the caller.
enum FmClass {
    FM_BOX = 1,
    FM_TEXT = 2,
    FM_BUTTON = 11,
    FM_LIGHTBUTTON = 12,
    FM_ROUNDBUTTON = 13,
    FM_SLIDER = 21,
    FM_POSITIONER = 23,
    FM_VALSLIDER = 24,
    FM_COUNTER = 25,
    FM_INPUT = 31,
    FM_CHOICE = 42,
    FM_TIMER = 62,
    FM_BROWSER = 71,
    FM_FREE = 101,
    FM_BEGIN_GROUP = 10000,
    FM_END_GROUP = 20000,
};

enum FmBoxType {
    FM_NO_BOX = 0,
    FM_UP_BOX = 1,
    FM_DOWN_BOX = 2,
    FM_FLAT_BOX = 3,
    FM_BORDER_BOX = 4,
    FM_SHADOW_BOX = 5,
    FM_FRAME_BOX = 6,
    FM_ROUNDED_BOX = 7,
    FM_RFLAT_BOX = 8,
    FM_RSHADOW_BOX = 9,
};
constexpr int kFmBoxTypeCount = 10;

enum FmAlign {
    FM_ALIGN_TOP = 0,
    FM_ALIGN_BOTTOM = 1,
    FM_ALIGN_LEFT = 2,
    FM_ALIGN_RIGHT = 3,
    FM_ALIGN_CENTER = 4,
};

enum FmLabelStyle {
    FM_NORMAL_STYLE = 0,
    FM_BOLD_STYLE = 1,
    FM_ITALIC_STYLE = 2,
    FM_FIXED_STYLE = 3,
    FM_FIXEDBOLD_STYLE = 4,
};
constexpr int kFmStyleCount = 5;

// Colour map indices with a fixed meaning; the rest of the 4096 entries are free for the
// application (fm_mapcolor).
enum FmColor {
    FM_BLACK = 0,
    FM_RED = 1,
    FM_GREEN = 2,
    FM_YELLOW = 3,
    FM_BLUE = 4,
    FM_MAGENTA = 5,
    FM_CYAN = 6,
    FM_WHITE = 7,
    FM_BOTTOM_BCOL = 40,  // lower and right bevel
    FM_INACTIVE_COL = 41, // labels of deactivated objects
    FM_COL1 = 47,         // the usual object colour
    FM_MCOL = 49,         // pushed buttons
    FM_SELECT_COL = 50,   // selections, knobs, lights
    FM_TOP_BCOL = 51,     // upper and left bevel
    FM_FIELD_COL = 52,    // input fields and browsers
    FM_LCOL = FM_BLACK,   // labels
};
constexpr int kFmColorMapSize = 4096;

constexpr float kFmDefaultLabelSize = 11.0f;
constexpr std::size_t kFmLabelMax = 63;  // a label holds 64 characters with its terminator

// A handle function returns non-zero when the object changed in a way the application should
// hear about (its callback runs or it is returned by the event loop).
using FmHandleFn = int (*)(FmObject *obj, int event, float mx, float my, int key);
using FmCallback = void (*)(FmObject *obj, long arg);

// Each class keeps its own data behind this base.
struct FmClassData {
    virtual ~FmClassData() = default;
};

struct FmObject {
    int objclass = 0;
    int type = 0;
    int boxtype = FM_NO_BOX;
    float x = 0, y = 0, w = 0, h = 0;  // form units, origin lower left
    int col1 = FM_COL1, col2 = FM_MCOL;
    std::string label;
    int lcol = FM_LCOL;
    float lsize = kFmDefaultLabelSize;
    int lstyle = FM_NORMAL_STYLE;
    int align = FM_ALIGN_CENTER;
    std::string shortcut;
    FmHandleFn handle = nullptr;
    FmCallback callback = nullptr;
    long argument = 0;
    std::unique_ptr<FmClassData> spec;
    bool visible = true;
    bool active = true;
    bool input = false;     // takes the keyboard focus
    bool radio = false;
    bool automatic = false; // receives step events
    bool pushed = false;
    bool focus = false;
    bool belowmouse = false;
    bool frozen = false;
    // Set when the object itself asked to be redrawn (or its whole form did); cleared when it is
    // drawn. During FM_DRAW it tells a costly drawing area whether its picture changed or it is
    // only repainted because something else in its double-buffered window changed.
    bool redraw = false;
    FmObject *next = nullptr;
    FmObject *prev = nullptr;
    FmForm *form = nullptr;
};

struct FmForm {
    int window = -1;  // -1 while not shown
    float w = 0, h = 0;
    int x = -1, y = -1;  // window position; -1 lets the placement rule choose
    int frozen = 0;
    int deactivated = 0;  // deactivation count; the form takes input only at 0
    bool visible = false;
    bool doublebuf = true;
    FmObject *first = nullptr;
    FmObject *last = nullptr;
    FmObject *focusobj = nullptr;
    FmCallback callback = nullptr;
    long argument = 0;
    std::string title;
    int window_w = 0, window_h = 0;  // size of the shown window in pixels
    // Redraws wait for the next turn of the event loop (fm_flush_redraws): `dirty` says one is
    // due, for the whole window or only for `dirty_area` (single-buffered windows).
    bool dirty = false;
    bool dirty_whole = false;
    FmRect dirty_area;
    int drawing = 0;  // nesting of drawings under way
    // The control that closes or cancels the form: a window manager's request to close the
    // window does what a click on it does (none: the form is hidden).
    FmObject *close_object = nullptr;
    unsigned long native_window = 0;  // the window system's own handle of the shown window
    bool window_lost = false;  // the window system took the window down without being asked
    bool border = true;        // as last shown
    std::vector<std::unique_ptr<FmObject>> owned;
};

// The object's class data when it is of that class, else nullptr.
template <class Data>
Data *fm_data(FmObject *obj) {
    return obj ? dynamic_cast<Data *>(obj->spec.get()) : nullptr;
}

// Makes an object that is not yet in a form; the add operations pass it to fm_add_object.
std::unique_ptr<FmObject> fm_make_object(int objclass, int type, float x, float y, float w, float h,
                         const char *label, FmHandleFn handle);

bool fm_is_marker(const FmObject *obj);

}  // namespace vellimor
