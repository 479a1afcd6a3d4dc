// The "Function curve editor" window: the list of parameter groups with "Animate" and "Static",
// the curve area with its tools, view and drawing, and the frame and value fields of the point
// being edited.
#pragma once

#include <functional>
#include <vector>

#include "fcurve/curve_editor_list.h"
#include "fcurve/curve_editor_view.h"
#include "forms/object.h"

namespace vellimor {

// Window size and the curve area in design units (origin lower left).
constexpr float kCurveEditorWidth = 1036, kCurveEditorHeight = 372;
constexpr float kCurveAreaX = 0, kCurveAreaY = 37, kCurveAreaWidth = 876, kCurveAreaHeight = 335;

// What the editor asks of the rest of the designer; unset hooks do nothing.
struct CurveEditorHooks {
    // Graphics, KeyMap and colour views: after a drag with "Allways" redraw, after a gesture.
    std::function<void()> redraw_views;
    std::function<void()> redraw_keymap;
    // The channel (and colour type and key) the Texture list shows; the length channel unset.
    std::function<CurveListChannel()> current_channel;
};
void curve_editor_set_hooks(CurveEditorHooks hooks);

struct CurveEditor {
    FmForm *form = nullptr;
    FmObject *area = nullptr;
    FmObject *list = nullptr;
    FmObject *texture = nullptr, *dynamics = nullptr;
    FmObject *animate = nullptr, *make_static = nullptr;
    FmObject *all = nullptr, *none = nullptr, *invert = nullptr, *del = nullptr;
    FmObject *tools[kCurveToolCount] = {};  // by CurveTool value
    FmObject *frame_field = nullptr, *value_field = nullptr;
    FmObject *close = nullptr;
    FmObject *help_timer = nullptr;

    CurveListSource source = CurveListSource::kTexture;
    CurveListSource listed = CurveListSource::kTexture;  // what the list holds now
    std::vector<CurveListEntry> entries;
    std::vector<bool> dynamics_selection;
    CurveView view;
    CurveTool tool = CurveTool::kMove;
    CurveGesture gesture = CurveGesture::kNone;
    HermPick pick;
    bool has_pick = false;
    bool initialised = false;  // the area has drawn once
    float last_x = 0, last_y = 0;
};
// The editor's window and state (the window is null until created).
CurveEditor &curve_editor();

// Builds the window once (hidden); later calls return the same form.
FmForm *create_curve_editor();
// Shows the window (filling the list and framing the view), or hides it when it is shown.
void curve_editor_toggle();
void curve_editor_show();
void curve_editor_hide();
bool curve_editor_shown();

// Rebuilds the list from the selected surfaces and redraws the area.
void fill_list();
// Frames every displayed curve and redraws the area.
void curve_editor_frame_all();
void curve_editor_redraw_area();
// The component curves the area shows now.
std::vector<Herm *> curve_editor_displayed();
// Whether list line n (from 1) is selected / shown.
bool curve_editor_line_selected(int n);

// The curve area's event handler (draw, press, release, motion, key).
int curve_area_handle(FmObject *obj, int event, float mx, float my, int key);
// Draws the area for the editor's state (GL state is the caller's to save).
void draw_curve_area(const FmObject *area, CurveEditor &editor);

}  // namespace vellimor
