// The curve editor's view and pointer logic, free of any window: framing, the visible range and
// its units per pixel, picking points, handles and curves, the tools' press actions and dragging.
#pragma once

#include <vector>

#include "fcurve/hermite_curve.h"

namespace vellimor {

// Tools of the curve editor; each acts on the next press in the area, then Move is back.
enum class CurveTool { kMove = 0, kDelete = 1, kBreak = 2, kTangent = 3, kLinear = 4, kInsert = 5, kContin = 6 };
constexpr int kCurveToolCount = 7;

// Navigation gestures in the area.
enum class CurveGesture {
    kNone = 0, kPan = 2, kZoomSlow = 3, kZoomMedium = 4, kZoomFast = 5, kZoomIn = 6, kZoomOut = 7,
    kDrag = 11
};

struct CurveView {
    // The framed data range, zoom and pan.
    float x0 = 0, x1 = 1, y0 = 0, y1 = 1;
    float zoom = 1.0f;
    float px = 0, py = 0;
    // Derived on every redraw: the data rectangle a..b x c..d, the visible range with the label
    // margins, and data units per pixel.
    float a = 0, b = 1, c = 0, d = 1;
    float xmin = 0, xmax = 1, ymin = 0, ymax = 1;
    float ux = 1, uy = 1;
    int width = 1, height = 1;
};

// The scene's frame range as the view uses it.
struct FrameSpan {
    int first = 0, last = 0, current = 0;
};

// Visible range and units for an area of width x height pixels; the units also become the pick
// tolerances of the curve operations.
void derive_view(CurveView &view, int width, int height, const FrameSpan &frames);
// Frames every displayed curve: zoom 1, no pan, the curves' bounds widened to the scene's range.
void frame_all(CurveView &view, const std::vector<Herm *> &curves, const FrameSpan &frames);
// Data position of a pixel of the area (origin lower left).
float view_data_x(const CurveView &view, float pixel_x);
float view_data_y(const CurveView &view, float pixel_y);
float view_pixel_x(const CurveView &view, float data_x);
float view_pixel_y(const CurveView &view, float data_y);

// Bounds of what drawing the curves covers: their keys and the samples along every segment.
struct CurveBounds {
    bool any = false;
    float x0 = 0, x1 = 0, y0 = 0, y1 = 0;
};
CurveBounds curve_bounds(const std::vector<Herm *> &curves);

// Number of samples per segment when drawing (t = 0, 1/50 .. 1).
constexpr int kCurveDrawSamples = 50;
// A value clamped by the curve's y limits.
float clamp_to_limits(const Herm &curve, float y);

// The first point or handle within 7 pixels (per point: outgoing handle, incoming handle, the
// point), else the first hit on a curve itself; index herm::kNoHit when nothing is near.
HermPick pick_displayed(const std::vector<Herm *> &curves, float x, float y, float ux, float uy);

// What a press with a tool did: whether a drag begins, and of what.
struct PressResult {
    bool drag = false;
    HermPick pick;
};
PressResult apply_press(CurveTool tool, const HermPick &hit, float x, float y);

// Where a drag puts the point or handle for a pointer at (x, y). With Alt a handle stays level
// with its point and a point snaps onto the current, else the first, else the last frame when
// within 20 pixels of it.
HermXY drag_target(const HermPick &pick, float x, float y, bool alt, const FrameSpan &frames, float ux);
// Moves the picked point or handle there (nothing for a hit on the curve itself).
void apply_drag(const HermPick &pick, HermXY target);

// The zoom and pan gestures: the gesture a press with P or Z held starts (kNone without one).
CurveGesture navigation_gesture(bool p_held, bool z_held, int mouse_button);
// One motion step of a navigation gesture by (dx, dy) pixels.
void apply_navigation(CurveView &view, CurveGesture gesture, float dx, float dy);

}  // namespace vellimor
