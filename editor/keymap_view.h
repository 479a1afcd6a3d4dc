// The KeyMap area's view of the (u,v) square: offset and scale, the conversions between area
// pixels and map points, panning and zooming about the pointer.
#pragma once

namespace vellimor {

struct MapPoint {
    float u = 0.0f, v = 0.0f;
};

// Pixels are relative to the area's lower-left corner; W and H are the area's size.
struct KeyMapView {
    float ou = 0.0f, ov = 0.0f;  // offset
    float su = 1.0f, sv = 1.0f;  // scale

    MapPoint to_map(float px, float py, float W, float H) const;
    void to_pixel(float u, float v, float W, float H, float *px, float *py) const;
    // Visible range of the map: u from -ou/su to 1/su - ou/su, likewise v.
    void visible_range(float *u0, float *u1, float *v0, float *v1) const;
    // Radius within which a click picks a key.
    float pick_radius() const { return kPickRadius / su; }

    // Moves the view by a pointer motion of (dx, dy) pixels.
    void pan(float dx, float dy, float W, float H);
    // One zoom step (in: scales divided by 0.95, out: multiplied) about the pixel (px, py),
    // whose map point stays under it.
    void zoom(bool in, float px, float py, float W, float H);
    void reset() { *this = KeyMapView{}; }

    static constexpr float kPickRadius = 0.03f;
    static constexpr float kZoomStep = 0.95f;
};

}  // namespace vellimor
