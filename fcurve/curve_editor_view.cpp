#include "fcurve/curve_editor_view.h"

#include <algorithm>
#include <cmath>

namespace vellimor {
namespace {

constexpr float kPickPixels = 7.0f;
constexpr float kSnapPixels = 20.0f;
// Margins around the data rectangle in pixels: 80 left for the labels, 20 right, 20 above and
// below (half of the 100 and 40 taken from the width and height are spread as 1.6 and 0.4).
constexpr float kMarginWidth = 100.0f, kMarginHeight = 40.0f;
constexpr float kHalfMarginX = 50.0f, kHalfMarginY = 20.0f;
constexpr float kLeftMarginShare = 1.6f, kRightMarginShare = 0.4f;
constexpr float kFramedXEpsilon = 0.001f, kDrawnXEpsilon = 0.01f, kYEpsilon = 0.00001f;
constexpr float kZoomStep = 1.01f;
constexpr float kSmallestZoom = 0.001f;

void widen_degenerate(CurveView &view, float x_epsilon, const FrameSpan &frames) {
    if (std::fabs(view.x0 - view.x1) < x_epsilon) {
        view.x0 = static_cast<float>(frames.first);
        view.x1 = static_cast<float>(frames.last);
        // A one-frame scene still needs a range to divide by.
        if (std::fabs(view.x0 - view.x1) < x_epsilon) view.x1 = view.x0 + 1.0f;
    }
    if (std::fabs(view.y0 - view.y1) < kYEpsilon) view.y1 = view.y0 + 1.0f;
}

bool near(float x, float y, float px, float py, float tx, float ty) {
    return std::fabs(x - px) < tx && std::fabs(y - py) < ty;
}

HermPick make_pick(Herm *curve, int what, int index, float x, float y) {
    HermPick p;
    p.curve = curve;
    p.what = what;
    p.index = index;
    p.x = x;
    p.y = y;
    p.type = curve->points[static_cast<size_t>(index)].type;
    return p;
}

}  // namespace

void derive_view(CurveView &view, int width, int height, const FrameSpan &frames) {
    widen_degenerate(view, kDrawnXEpsilon, frames);
    view.width = std::max(width, 1);
    view.height = std::max(height, 1);
    const float z = view.zoom > 0 ? view.zoom : 1.0f;
    view.a = view.x0 - view.px;
    view.b = (view.x1 - view.x0) / z + view.x0 - view.px;
    view.c = view.y0 - view.py;
    view.d = (view.y1 - view.y0) / z + view.y0 - view.py;
    const float inner_w = std::max(1.0f, static_cast<float>(view.width) - kMarginWidth);
    const float inner_h = std::max(1.0f, static_cast<float>(view.height) - kMarginHeight);
    const float mx = (view.b - view.a) * kHalfMarginX / inner_w;
    const float my = (view.d - view.c) * kHalfMarginY / inner_h;
    view.xmin = view.a - kLeftMarginShare * mx;
    view.xmax = view.b + kRightMarginShare * mx;
    view.ymin = view.c - my;
    view.ymax = view.d + my;
    view.ux = (view.xmax - view.xmin) / static_cast<float>(view.width);
    view.uy = (view.ymax - view.ymin) / static_cast<float>(view.height);
    HermSetUnitsPerPixel(view.ux, view.uy);
}

float clamp_to_limits(const Herm &curve, float y) {
    if ((curve.limit_flags & herm::kYMin) && y < curve.y_min) return curve.y_min;
    if ((curve.limit_flags & herm::kYMax) && y > curve.y_max) return curve.y_max;
    return y;
}

CurveBounds curve_bounds(const std::vector<Herm *> &curves) {
    CurveBounds bounds;
    auto take = [&](float x, float y) {
        if (!bounds.any) {
            bounds = {true, x, x, y, y};
            return;
        }
        bounds.x0 = std::min(bounds.x0, x);
        bounds.x1 = std::max(bounds.x1, x);
        bounds.y0 = std::min(bounds.y0, y);
        bounds.y1 = std::max(bounds.y1, y);
    };
    for (Herm *curve : curves) {
        if (!curve || curve->nb_points() == 0) continue;
        if (curve->dirty) HermRecompute(*curve);
        const int n = curve->nb_points();
        for (const HermKey &p : curve->points) take(p.x, clamp_to_limits(*curve, p.y));
        for (int k = 0; k + 1 < n; ++k) {
            const HermKey &p = curve->points[static_cast<size_t>(k)];
            for (int i = 0; i <= kCurveDrawSamples; ++i) {
                const float t = static_cast<float>(i) / kCurveDrawSamples;
                const float x = ((p.coef_x[0] * t + p.coef_x[1]) * t + p.coef_x[2]) * t + p.coef_x[3];
                const float y = ((p.coef_y[0] * t + p.coef_y[1]) * t + p.coef_y[2]) * t + p.coef_y[3];
                take(x, clamp_to_limits(*curve, y));
            }
        }
    }
    return bounds;
}

void frame_all(CurveView &view, const std::vector<Herm *> &curves, const FrameSpan &frames) {
    view.zoom = 1.0f;
    view.px = view.py = 0.0f;
    const CurveBounds bounds = curve_bounds(curves);
    if (bounds.any) {
        view.x0 = bounds.x0;
        view.x1 = bounds.x1;
        view.y0 = bounds.y0;
        view.y1 = bounds.y1;
    } else {
        view.x0 = view.x1 = 0.0f;
        view.y0 = 0.0f;
        view.y1 = 1.0f;
    }
    widen_degenerate(view, kFramedXEpsilon, frames);
    view.x0 = std::min(view.x0, static_cast<float>(frames.first));
    view.x1 = std::max(view.x1, static_cast<float>(frames.last));
}

float view_data_x(const CurveView &view, float pixel_x) {
    return view.xmin + pixel_x * (view.xmax - view.xmin) / static_cast<float>(view.width);
}
float view_data_y(const CurveView &view, float pixel_y) {
    return view.ymin + pixel_y * (view.ymax - view.ymin) / static_cast<float>(view.height);
}
float view_pixel_x(const CurveView &view, float data_x) { return (data_x - view.xmin) / view.ux; }
float view_pixel_y(const CurveView &view, float data_y) { return (data_y - view.ymin) / view.uy; }

HermPick pick_displayed(const std::vector<Herm *> &curves, float x, float y, float ux, float uy) {
    const float tx = kPickPixels * ux, ty = kPickPixels * uy;
    for (Herm *curve : curves) {
        if (!curve) continue;
        const int n = curve->nb_points();
        for (int k = 0; k < n; ++k) {
            const HermKey &p = curve->points[static_cast<size_t>(k)];
            const float ox = p.x + p.out_dx, oy = p.y + p.out_dy;
            const float ix = p.x - p.in_dx, iy = p.y - p.in_dy;
            if (k < n - 1 && near(ox, oy, x, y, tx, ty)) return make_pick(curve, herm::kOutHandle, k, ox, oy);
            if (k > 0 && near(ix, iy, x, y, tx, ty)) return make_pick(curve, herm::kInHandle, k, ix, iy);
            if (near(p.x, p.y, x, y, tx, ty)) return make_pick(curve, herm::kPoint, k, p.x, p.y);
        }
    }
    for (Herm *curve : curves) {
        if (!curve) continue;
        HermPick hit = HermPickCurve(*curve, x, y);
        if (hit.index >= -1) return hit;
    }
    return HermPick{};
}

PressResult apply_press(CurveTool tool, const HermPick &hit, float x, float y) {
    PressResult result;
    if (!hit.curve || hit.index == herm::kNoHit) return result;
    Herm &curve = *hit.curve;
    const int n = curve.nb_points();
    const bool on_key = hit.index >= 0 && hit.index < n;
    switch (tool) {
    case CurveTool::kMove:
        result.drag = true;
        result.pick = hit;
        break;
    case CurveTool::kDelete:
        if (on_key) HermDeletePoint(curve, hit.index);
        break;
    case CurveTool::kBreak:
        if (on_key) HermSetPointType(curve, hit.index, herm::Break);
        break;
    case CurveTool::kTangent:
        if (on_key) HermSetPointType(curve, hit.index, herm::Tangent);
        break;
    case CurveTool::kLinear:
        if (on_key) HermSetPointType(curve, hit.index, herm::Linear);
        break;
    case CurveTool::kContin:
        if (on_key) HermSetPointType(curve, hit.index, herm::Contin);
        break;
    case CurveTool::kInsert: {
        result.drag = true;
        result.pick = hit;
        // A press on a key or handle only starts a drag of what it hit.
        if (hit.what != herm::kOnCurve) break;
        int index;
        if (n == 1) {
            index = HermInsertPoint(curve, 0, x, y);
        } else if (hit.index >= n) {
            index = HermInsertPoint(curve, n, x, y);
        } else if (hit.index < 0) {
            index = HermInsertPoint(curve, 0, x, y);
        } else {
            const HermParameter at = HermNearestParameter(curve, x);
            index = HermSplit(curve, at.segment, at.t);
        }
        if (index < 0) {
            result.drag = false;
            break;
        }
        const HermKey &p = curve.points[static_cast<size_t>(index)];
        result.pick = make_pick(&curve, herm::kPoint, index, p.x, p.y);
        break;
    }
    }
    return result;
}

HermXY drag_target(const HermPick &pick, float x, float y, bool alt, const FrameSpan &frames, float ux) {
    HermXY target{x, y};
    if (!alt || !pick.curve || pick.index < 0 || pick.index >= pick.curve->nb_points()) return target;
    if (pick.what == herm::kInHandle || pick.what == herm::kOutHandle) {
        target.y = pick.curve->points[static_cast<size_t>(pick.index)].y;
    } else if (pick.what == herm::kPoint) {
        const float reach = kSnapPixels * std::fabs(ux);
        for (int frame : {frames.current, frames.first, frames.last}) {
            if (std::fabs(x - static_cast<float>(frame)) < reach) {
                target.x = static_cast<float>(frame);
                break;
            }
        }
    }
    return target;
}

void apply_drag(const HermPick &pick, HermXY target) {
    if (!pick.curve || pick.what == herm::kOnCurve) return;
    HermMoveHandle(*pick.curve, pick.what, pick.index, target.x, target.y, pick.type);
}

CurveGesture navigation_gesture(bool p_held, bool z_held, int mouse_button) {
    if (mouse_button < 1 || mouse_button > 3) return CurveGesture::kNone;
    // Z is looked at last, so that it wins when both are held.
    if (z_held) {
        constexpr CurveGesture kZ[3] = {CurveGesture::kPan, CurveGesture::kZoomIn, CurveGesture::kZoomOut};
        return kZ[mouse_button - 1];
    }
    if (p_held) {
        constexpr CurveGesture kP[3] = {CurveGesture::kZoomSlow, CurveGesture::kZoomMedium,
                                        CurveGesture::kZoomFast};
        return kP[mouse_button - 1];
    }
    return CurveGesture::kNone;
}

void apply_navigation(CurveView &view, CurveGesture gesture, float dx, float dy) {
    switch (gesture) {
    case CurveGesture::kPan:
        view.px += dx * view.ux;
        view.py += dy * view.uy;
        break;
    case CurveGesture::kZoomSlow: view.zoom += dy / 200.0f * view.uy; break;
    case CurveGesture::kZoomMedium: view.zoom += dy / 100.0f * view.uy; break;
    case CurveGesture::kZoomFast: view.zoom += dy / 10.0f * view.uy; break;
    case CurveGesture::kZoomIn: view.zoom *= kZoomStep; break;
    case CurveGesture::kZoomOut: view.zoom /= kZoomStep; break;
    default: break;
    }
    // A zoom dragged through zero would turn the view inside out.
    view.zoom = std::max(view.zoom, kSmallestZoom);
}

}  // namespace vellimor
