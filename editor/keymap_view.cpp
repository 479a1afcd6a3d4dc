#include "editor/keymap_view.h"

namespace vellimor {

MapPoint KeyMapView::to_map(float px, float py, float W, float H) const {
    return {(px / W - ou) / su, (py / H - ov) / sv};
}

void KeyMapView::to_pixel(float u, float v, float W, float H, float *px, float *py) const {
    *px = (u * su + ou) * W;
    *py = (v * sv + ov) * H;
}

void KeyMapView::visible_range(float *u0, float *u1, float *v0, float *v1) const {
    *u0 = -ou / su;
    *u1 = 1.0f / su - ou / su;
    *v0 = -ov / sv;
    *v1 = 1.0f / sv - ov / sv;
}

void KeyMapView::pan(float dx, float dy, float W, float H) {
    ou += dx / W;
    ov += dy / H;
}

void KeyMapView::zoom(bool in, float px, float py, float W, float H) {
    const MapPoint fixed = to_map(px, py, W, H);
    const float factor = in ? 1.0f / kZoomStep : kZoomStep;
    su *= factor;
    sv *= factor;
    // The point under the pointer keeps its pixel: px/W = u·su + ou.
    ou = px / W - fixed.u * su;
    ov = py / H - fixed.v * sv;
}

}  // namespace vellimor
