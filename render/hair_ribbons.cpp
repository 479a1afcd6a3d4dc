#include "render/hair_ribbons.h"

#include <GL/gl.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <new>
#include <vector>

#include "host/status.h"
#include "platform/key_state.h"
#include "platform/pixel_transfer.h"
#include "render/hair_workers.h"
#include "render/triangle_raster.h"

namespace vellimor {
namespace {

// ---- The view: where the camera is and how points reach the window ----

struct RibbonView {
    float projection[16], model_view[16];
    float mvp[16];        // projection x model-view, column-major as OpenGL keeps it
    bool eye_is_point;    // a perspective: every point sees the camera in its own direction
    float eye[3];         // the camera's position, or the direction towards it (orthographic)
    float viewport[4];    // x, y, width, height
    float depth_near, depth_far;
    // How far clip y and w can move for a point moved by a unit vector: the lengths of those
    // rows of the projection x model-view.
    float y_reach, w_reach;
};

float sq(float x) { return x * x; }

// The centre of projection: the one homogeneous point whose clip x, y and w are all 0, found as
// the generalised cross product of those three rows.
void centre_of_projection(const float m[16], double centre[4]) {
    const int rows[3] = {0, 1, 3};
    double r[3][4];
    for (int i = 0; i < 3; ++i)
        for (int c = 0; c < 4; ++c) r[i][c] = m[c * 4 + rows[i]];
    auto det3 = [&](int c0, int c1, int c2) {
        return r[0][c0] * (r[1][c1] * r[2][c2] - r[1][c2] * r[2][c1]) -
               r[0][c1] * (r[1][c0] * r[2][c2] - r[1][c2] * r[2][c0]) +
               r[0][c2] * (r[1][c0] * r[2][c1] - r[1][c1] * r[2][c0]);
    };
    centre[0] = det3(1, 2, 3);
    centre[1] = -det3(0, 2, 3);
    centre[2] = det3(0, 1, 3);
    centre[3] = -det3(0, 1, 2);
}

RibbonView current_view() {
    RibbonView view{};
    float *projection = view.projection, *model_view = view.model_view;
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    glGetFloatv(GL_MODELVIEW_MATRIX, model_view);
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r) {
            double sum = 0.0;
            for (int k = 0; k < 4; ++k) sum += double(projection[k * 4 + r]) * double(model_view[c * 4 + k]);
            view.mvp[c * 4 + r] = float(sum);
        }
    double centre[4];
    centre_of_projection(view.mvp, centre);
    const double size = std::sqrt(centre[0] * centre[0] + centre[1] * centre[1] + centre[2] * centre[2]);
    view.eye_is_point = std::fabs(centre[3]) > 1e-9 * size;
    for (int k = 0; k < 3; ++k) view.eye[k] = float(view.eye_is_point ? centre[k] / centre[3] : centre[k]);
    auto row_length = [&](int r) { return std::sqrt(sq(view.mvp[r]) + sq(view.mvp[4 + r]) + sq(view.mvp[8 + r])); };
    view.y_reach = row_length(1);
    view.w_reach = row_length(3);
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    for (int k = 0; k < 4; ++k) view.viewport[k] = float(viewport[k]);
    float range[2] = {0.0f, 1.0f};
    glGetFloatv(GL_DEPTH_RANGE, range);
    view.depth_near = range[0];
    view.depth_far = range[1];
    return view;
}

// ---- One segment's ribbon ----

using Vec = std::array<float, 3>;
Vec load(const float v[3]) { return {v[0], v[1], v[2]}; }
Vec operator-(const Vec &a, const Vec &b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
Vec operator*(const Vec &a, float s) { return {a[0] * s, a[1] * s, a[2] * s}; }
float dot(const Vec &a, const Vec &b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
Vec cross(const Vec &a, const Vec &b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

Vec towards_eye(const RibbonView &view, const Vec &p) {
    const Vec eye = load(view.eye);
    return view.eye_is_point ? eye - p : eye;
}

// Turned towards `across`.
Vec towards(const Vec &v, const Vec &across) { return dot(v, across) < 0.0f ? v * -1.0f : v; }

using Clip = std::array<float, 4>;

Clip clip_of_point(const float m[16], const Vec &p) {
    Clip c;
    for (int r = 0; r < 4; ++r) c[r] = m[r] * p[0] + m[4 + r] * p[1] + m[8 + r] * p[2] + m[12 + r];
    return c;
}
Clip clip_of_vector(const float m[16], const Vec &v) {
    Clip c;
    for (int r = 0; r < 4; ++r) c[r] = m[r] * v[0] + m[4 + r] * v[1] + m[8 + r] * v[2];
    return c;
}

struct ClipVertex {
    Clip position;
    float color[4];
};

// Clipped triangles become polygons of at most 3 + one vertex per plane.
constexpr int kClipPlanes = 6;
constexpr int kMaxPolygon = 3 + kClipPlanes;
constexpr int kRibbonTriangles = 2;
constexpr int kMaxShapeVertices = kRibbonTriangles * kMaxPolygon;
constexpr int kMaxShapeTriangles = kRibbonTriangles * (kMaxPolygon - 2);
// Corners may lie this many half-viewports beside the viewport before they are clipped, which
// keeps window coordinates small enough for exact edge tests.
constexpr float kGuardBand = 4.0f;

// Distance of a clip position inside plane k (negative outside): near, far, then the guard band.
float plane_distance(const Clip &c, int k) {
    switch (k) {
    case 0: return c[3] + c[2];
    case 1: return c[3] - c[2];
    case 2: return kGuardBand * c[3] - c[0];
    case 3: return kGuardBand * c[3] + c[0];
    case 4: return kGuardBand * c[3] - c[1];
    default: return kGuardBand * c[3] + c[1];
    }
}

bool inside_all_planes(const ClipVertex &v) {
    for (int k = 0; k < kClipPlanes; ++k)
        if (!(plane_distance(v.position, k) >= 0.0f)) return false;
    return v.position[3] > 0.0f;
}

// The triangles a segment leaves in window space.
struct SegmentShape {
    int vertex_count = 0;
    RasterVertex vertices[kMaxShapeVertices];
    int triangle_count = 0;
    uint8_t triangles[kMaxShapeTriangles][3];
    bool quad = false;  // the ribbon whole: triangles (0, 1, 2) and (0, 2, 3)
};

RasterVertex to_window(const RibbonView &view, const ClipVertex &c) {
    RasterVertex v;
    const float inv_w = 1.0f / c.position[3];
    v.x = view.viewport[0] + (c.position[0] * inv_w + 1.0f) * 0.5f * view.viewport[2];
    v.y = view.viewport[1] + (c.position[1] * inv_w + 1.0f) * 0.5f * view.viewport[3];
    v.z = view.depth_near + (c.position[2] * inv_w + 1.0f) * 0.5f * (view.depth_far - view.depth_near);
    v.inv_w = inv_w;
    std::copy(c.color, c.color + 4, v.color);
    return v;
}

int add_vertex(const RibbonView &view, const ClipVertex &c, SegmentShape &shape) {
    shape.vertices[shape.vertex_count] = to_window(view, c);
    return shape.vertex_count++;
}

// Sutherland-Hodgman against every plane, attributes linear in clip space; the rest as a fan.
void add_clipped_triangle(const RibbonView &view, const ClipVertex &a, const ClipVertex &b,
                          const ClipVertex &c, SegmentShape &shape) {
    ClipVertex polygon[kMaxPolygon] = {a, b, c}, next[kMaxPolygon];
    int count = 3;
    for (int k = 0; k < kClipPlanes && count > 0; ++k) {
        int kept = 0;
        for (int i = 0; i < count; ++i) {
            const ClipVertex &p = polygon[i], &q = polygon[(i + 1) % count];
            const float dp = plane_distance(p.position, k), dq = plane_distance(q.position, k);
            if (dp >= 0.0f) next[kept++] = p;
            if ((dp >= 0.0f) != (dq >= 0.0f)) {
                const float t = dp / (dp - dq);
                ClipVertex &m = next[kept++];
                for (int r = 0; r < 4; ++r) m.position[r] = p.position[r] + t * (q.position[r] - p.position[r]);
                for (int r = 0; r < 4; ++r) m.color[r] = p.color[r] + t * (q.color[r] - p.color[r]);
            }
        }
        count = kept;
        std::copy(next, next + count, polygon);
    }
    if (count < 3) return;
    for (int i = 0; i < count; ++i)
        if (!(polygon[i].position[3] > 0.0f)) return;  // a projection that passes the camera
    int first = -1, previous = -1;
    for (int i = 0; i < count; ++i) {
        const int index = add_vertex(view, polygon[i], shape);
        if (i == 0) first = index;
        if (i >= 2) {
            uint8_t *t = shape.triangles[shape.triangle_count++];
            t[0] = uint8_t(first);
            t[1] = uint8_t(previous);
            t[2] = uint8_t(index);
        }
        previous = index;
    }
}

void set_color(const HairPoint &p, bool alpha, float out[4]) {
    if (alpha) {
        out[0] = out[1] = out[2] = 1.0f;
        out[3] = std::clamp(p.color[3], 0.0f, 1.0f);
        return;
    }
    for (int k = 0; k < 4; ++k) out[k] = std::clamp(p.color[k], 0.0f, 1.0f);
}

// The ribbon of the segment from a to a.next: corners a - x_a, a + x_a, b + x_b, b - x_b. Its
// long edges are two edges of the tube: of the corner pairs ±side and ±normal, the one that lies
// further across the view and the segment, where the faces turned to the camera meet those
// turned away. Each end's half-width is turned to the same side, so the ribbon never twists.
void shape_segment(const RibbonView &view, const HairPoint &a, bool alpha, SegmentShape &shape) {
    shape.vertex_count = shape.triangle_count = 0;
    shape.quad = false;
    const HairPoint &b = *a.next;
    const Vec pa = load(a.position), pb = load(b.position);
    const Vec along = pb - pa;
    const Vec across_at_a = cross(along, towards_eye(view, pa)), across_at_b = cross(along, towards_eye(view, pb));
    const Vec side_a = load(a.side), side_b = load(b.side), normal_a = load(a.normal), normal_b = load(b.normal);
    const bool sides = std::fabs(dot(side_a, across_at_a)) + std::fabs(dot(side_b, across_at_b)) >=
                       std::fabs(dot(normal_a, across_at_a)) + std::fabs(dot(normal_b, across_at_b));
    const Vec across_a = towards(sides ? side_a : normal_a, across_at_a);
    const Vec across_b = towards(sides ? side_b : normal_b, across_at_b);

    const Clip ca = clip_of_point(view.mvp, pa), cb = clip_of_point(view.mvp, pb);
    const Clip xa = clip_of_vector(view.mvp, across_a), xb = clip_of_vector(view.mvp, across_b);
    ClipVertex corners[4];
    for (int r = 0; r < 4; ++r) {
        corners[0].position[r] = ca[r] - xa[r];
        corners[1].position[r] = ca[r] + xa[r];
        corners[2].position[r] = cb[r] + xb[r];
        corners[3].position[r] = cb[r] - xb[r];
    }
    set_color(a, alpha, corners[0].color);
    std::copy(corners[0].color, corners[0].color + 4, corners[1].color);
    set_color(b, alpha, corners[2].color);
    std::copy(corners[2].color, corners[2].color + 4, corners[3].color);

    constexpr uint8_t kTriangles[kRibbonTriangles][3] = {{0, 1, 2}, {0, 2, 3}};
    if (std::all_of(corners, corners + 4, inside_all_planes)) {
        for (const ClipVertex &c : corners) add_vertex(view, c, shape);
        for (const auto &t : kTriangles) {
            std::copy(t, t + 3, shape.triangles[shape.triangle_count++]);
        }
        shape.quad = true;
        return;
    }
    for (const auto &t : kTriangles) add_clipped_triangle(view, corners[t[0]], corners[t[1]], corners[t[2]], shape);
}

// ---- The window's pixels in memory ----

struct FrameCopy {
    std::vector<uint8_t> rgba;
    std::vector<float> depth;
    RasterTarget target;
    bool write_depth = false;
};

DepthFunc depth_func_of(GLint func) {
    switch (func) {
    case GL_NEVER: return DepthFunc::kNever;
    case GL_LESS: return DepthFunc::kLess;
    case GL_EQUAL: return DepthFunc::kEqual;
    case GL_LEQUAL: return DepthFunc::kLessEqual;
    case GL_GREATER: return DepthFunc::kGreater;
    case GL_NOTEQUAL: return DepthFunc::kNotEqual;
    case GL_GEQUAL: return DepthFunc::kGreaterEqual;
    default: return DepthFunc::kAlways;
    }
}

// The part of the window the hairs can reach: the viewport, within the scissor box when on.
bool drawable_rectangle(int &x, int &y, int &width, int &height) {
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    int x0 = viewport[0], y0 = viewport[1], x1 = viewport[0] + viewport[2], y1 = viewport[1] + viewport[3];
    if (glIsEnabled(GL_SCISSOR_TEST)) {
        GLint box[4];
        glGetIntegerv(GL_SCISSOR_BOX, box);
        x0 = std::max(x0, box[0]);
        y0 = std::max(y0, box[1]);
        x1 = std::min(x1, box[0] + box[2]);
        y1 = std::min(y1, box[1] + box[3]);
    }
    x0 = std::max(x0, 0);
    y0 = std::max(y0, 0);
    x = x0;
    y = y0;
    width = x1 - x0;
    height = y1 - y0;
    return width > 0 && height > 0;
}

bool read_frame(FrameCopy &frame) {
    int x, y, width, height;
    if (!drawable_rectangle(x, y, width, height)) return false;
    RasterTarget &t = frame.target;
    t.x0 = x;
    t.y0 = y;
    t.width = width;
    t.height = height;
    GLint depth_bits = 0, alpha_bits = 0, func = GL_LESS;
    GLboolean depth_mask = GL_TRUE;
    glGetIntegerv(GL_DEPTH_BITS, &depth_bits);
    glGetIntegerv(GL_ALPHA_BITS, &alpha_bits);
    glGetIntegerv(GL_DEPTH_FUNC, &func);
    glGetBooleanv(GL_DEPTH_WRITEMASK, &depth_mask);
    t.depth_test = depth_bits > 0 && glIsEnabled(GL_DEPTH_TEST);
    t.depth_func = depth_func_of(func);
    t.depth_write = depth_mask == GL_TRUE;
    t.blend = glIsEnabled(GL_BLEND);
    t.write_alpha = alpha_bits > 0;
    const size_t pixels = size_t(width) * size_t(height);
    frame.rgba.resize(pixels * 4);
    platform::read_pixels(x, y, width, height, GL_RGBA, GL_UNSIGNED_BYTE, frame.rgba.data());
    t.rgba = frame.rgba.data();
    if (t.depth_test) {
        frame.depth.resize(pixels);
        platform::read_pixels(x, y, width, height, GL_DEPTH_COMPONENT, GL_FLOAT, frame.depth.data());
        t.depth = frame.depth.data();
    }
    frame.write_depth = t.depth_test && t.depth_write;
    return true;
}

void write_frame(const FrameCopy &frame) {
    const RasterTarget &t = frame.target;
    platform::draw_pixels_unchanged(t.x0, t.y0, t.width, t.height, GL_RGBA, GL_UNSIGNED_BYTE, frame.rgba.data());
    if (frame.write_depth)
        platform::draw_pixels_unchanged(t.x0, t.y0, t.width, t.height, GL_DEPTH_COMPONENT, GL_FLOAT,
                                        frame.depth.data());
}

// ---- Bands: rows of the window, each drawn by one core in the polygons' order ----

// Segments placed in bands by one task; every band's list keeps the sorted order.
constexpr size_t kBinChunk = 16384;
constexpr uint32_t kNoBands = 0xFFFFFFFFu;
constexpr int kMinBandRows = 8;
constexpr int kMaxBandRows = 32;
// Bands per worker, so that cores that finish early find more to do.
constexpr int kBandsPerWorker = 4;
// The sorted list is drawn in stripes of consecutive polygons, each as soon as the depth sort
// has placed it, so that the cores draw while the sort goes on.
constexpr size_t kStripes = 16;
constexpr size_t kMinStripe = 8 * kBinChunk;

// One stripe of the sorted list, list[first, end), placed in bands.
struct Bands {
    int first_row = 0, rows = 1, count = 0;
    size_t first = 0, end = 0;
    size_t chunks = 0;
    std::vector<uint32_t> span;   // per segment of the stripe: first band << 16 | last band, or kNoBands
    std::vector<uint32_t> start;  // per band and chunk: where its segments begin in `order`
    std::vector<uint32_t> order;  // list indices, band after band
    size_t begin_of(int band) const { return start[size_t(band) * chunks]; }
    size_t end_of(int band) const { return band + 1 < count ? start[size_t(band + 1) * chunks] : order.size(); }
};

int band_rows(int height, int workers) {
    return std::clamp(height / std::max(1, workers * kBandsPerWorker), kMinBandRows, kMaxBandRows);
}

// Bands placed for one view serve every view that only moves the picture by up to this many
// pixels (the antialiasing passes' jitter moves it by less than one).
constexpr float kShiftServed = 1.0f;

// Whether bands placed for view `placed` serve `view`: the same model-view and viewport, and a
// projection that differs only in the frustum's shift, by at most kShiftServed pixels.
bool bands_serve(const RibbonView &placed, const RibbonView &view) {
    if (!std::equal(placed.model_view, placed.model_view + 16, view.model_view) ||
        !std::equal(placed.viewport, placed.viewport + 4, view.viewport))
        return false;
    for (int k = 0; k < 16; ++k)
        if (k != 8 && k != 9 && placed.projection[k] != view.projection[k]) return false;
    // The shift's entries move normalised x and y one for one: a pixel is 2 / viewport size.
    return std::fabs(placed.projection[8] - view.projection[8]) * 0.5f * view.viewport[2] <= kShiftServed &&
           std::fabs(placed.projection[9] - view.projection[9]) * 0.5f * view.viewport[3] <= kShiftServed;
}

// Segments ahead whose points are fetched while the current one is worked on: the sorted list
// visits the points in no memory order.
constexpr size_t kPrefetchDistance = 8;

void prefetch_points(const HairPoint *a) {
    __builtin_prefetch(a);
    __builtin_prefetch(a + 1);  // its second point follows it in the strand
}

// The window rows the corners of a point's cross-section may reach (every corner lies within
// the point's thickness of it); false when they may reach the camera's plane.
bool reach_of_point(const RibbonView &view, const HairPoint &p, float &low, float &high) {
    const float *m = view.mvp;
    const float thickness = std::sqrt(std::max(dot(load(p.side), load(p.side)), dot(load(p.normal), load(p.normal))));
    const float y = m[1] * p.position[0] + m[5] * p.position[1] + m[9] * p.position[2] + m[13];
    const float w = m[3] * p.position[0] + m[7] * p.position[1] + m[11] * p.position[2] + m[15];
    const float dy = thickness * view.y_reach, dw = thickness * view.w_reach;
    if (!(w - dw > 0.0f)) return false;
    const float ndc_low = std::min((y - dy) / (w - dw), (y - dy) / (w + dw));
    const float ndc_high = std::max((y + dy) / (w - dw), (y + dy) / (w + dw));
    const float half_height = 0.5f * view.viewport[3];
    low = view.viewport[1] + (ndc_low + 1.0f) * half_height;
    high = view.viewport[1] + (ndc_high + 1.0f) * half_height;
    return true;
}

// The bands the segment from a to a.next may draw in: its ribbon, clipped or not, lies within
// the reach of its two points. All bands where a point may reach the camera's plane.
uint32_t band_span(const Bands &bands, const RibbonView &view, const HairPoint &a) {
    const int last_band = bands.count - 1;
    float low_a, high_a, low_b, high_b;
    if (!reach_of_point(view, a, low_a, high_a) || !reach_of_point(view, *a.next, low_b, high_b))
        return uint32_t(last_band);
    const float low = std::floor(std::min(low_a, low_b) - 1.0f - kShiftServed) - float(bands.first_row);
    const float high = std::ceil(std::max(high_a, high_b) + kShiftServed) - float(bands.first_row);
    if (!(high >= 0.0f) || !(low < float(bands.count * bands.rows))) return kNoBands;
    const int first = std::clamp(int(std::max(low, 0.0f)) / bands.rows, 0, last_band);
    const int last = std::clamp(int(std::min(high, float(bands.count * bands.rows))) / bands.rows, 0, last_band);
    return uint32_t(first) << 16 | uint32_t(last);
}

}  // namespace

bool hair_ribbons_fit_current_state() {
    GLboolean mask[4] = {GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE};
    glGetBooleanv(GL_COLOR_WRITEMASK, mask);
    if (!(mask[0] && mask[1] && mask[2] && mask[3])) return false;
    if (!glIsEnabled(GL_BLEND)) return true;
    GLint source = 0, destination = 0;
    glGetIntegerv(GL_BLEND_SRC, &source);
    glGetIntegerv(GL_BLEND_DST, &destination);
    return source == GL_SRC_ALPHA && destination == GL_ONE_MINUS_SRC_ALPHA;
}

namespace {

// Places list[bands.first, bands.end) in the bands once the depth sort has placed them: which
// bands each segment may draw in, counted per chunk, then every band's segments in order.
// False when Escape stopped it.
bool place_in_bands(const PolygonList &list, const RibbonView &view, int workers, Bands &bands) {
    const size_t count = bands.end - bands.first;
    bands.chunks = (count + kBinChunk - 1) / kBinChunk;
    bands.span.resize(count);
    std::vector<uint32_t> counts(bands.chunks * size_t(bands.count), 0);
    const auto place = [&](int, size_t first, size_t end) {
        wait_until_sorted(list, bands.first + end);
        uint32_t *chunk_counts = &counts[first / kBinChunk * size_t(bands.count)];
        for (size_t k = first; k < end; ++k) {
            const size_t i = bands.first + k;
            if (k + kPrefetchDistance < end) prefetch_points(list[i + kPrefetchDistance]);
            const uint32_t span = band_span(bands, view, *list[i]);
            bands.span[k] = span;
            if (span == kNoBands) continue;
            for (uint32_t b = span >> 16; b <= (span & 0xFFFF); ++b) ++chunk_counts[b];
        }
    };
    const auto keep_going = [](size_t) { return !platform::key_is_down(platform::Key::Escape); };
    if (!for_each_chunk(count, kBinChunk, workers, place, keep_going)) return false;

    bands.start.resize(counts.size());
    uint32_t total = 0;
    for (int b = 0; b < bands.count; ++b)
        for (size_t c = 0; c < bands.chunks; ++c) {
            bands.start[size_t(b) * bands.chunks + c] = total;
            total += counts[c * size_t(bands.count) + size_t(b)];
        }
    bands.order.resize(total);
    std::vector<uint32_t> next = bands.start;  // per band and chunk: where its next segment goes
    const auto fill = [&](int, size_t first, size_t end) {
        uint32_t *chunk_next = &next[first / kBinChunk];
        for (size_t k = first; k < end; ++k) {
            const uint32_t span = bands.span[k];
            if (span == kNoBands) continue;
            for (uint32_t b = span >> 16; b <= (span & 0xFFFF); ++b)
                bands.order[chunk_next[size_t(b) * bands.chunks]++] = uint32_t(bands.first + k);
        }
    };
    for_each_chunk(count, kBinChunk, workers, fill, [](size_t) { return true; });
    return true;
}

// Draws every band's segments, each band on one core in the sorted order. False when Escape
// stopped it.
bool draw_bands(const PolygonList &list, const RibbonView &view, bool alpha, int workers, const Bands &bands,
                const RasterTarget &target) {
    const auto draw_band = [&](int, size_t first, size_t end) {
        SegmentShape shape;
        for (size_t band = first; band < end; ++band) {
            const int row_begin = bands.first_row + int(band) * bands.rows;
            const int row_end = row_begin + bands.rows;
            const size_t band_end = bands.end_of(int(band));
            for (size_t k = bands.begin_of(int(band)); k < band_end; ++k) {
                if (k + kPrefetchDistance < band_end) prefetch_points(list[bands.order[k + kPrefetchDistance]]);
                shape_segment(view, *list[bands.order[k]], alpha, shape);
                if (shape.quad) {
                    raster_quad(shape.vertices[0], shape.vertices[1], shape.vertices[2], shape.vertices[3], target,
                                row_begin, row_end);
                    continue;
                }
                for (int t = 0; t < shape.triangle_count; ++t) {
                    const uint8_t *c = shape.triangles[t];
                    raster_triangle(shape.vertices[c[0]], shape.vertices[c[1]], shape.vertices[c[2]], target,
                                    row_begin, row_end);
                }
            }
        }
    };
    const size_t band_count = size_t(bands.count), stripe = bands.end - bands.first;
    const auto poll = [&](size_t done) {
        progress_step(int(bands.first + done * stripe / band_count));
        return !platform::key_is_down(platform::Key::Escape);
    };
    return for_each_chunk(band_count, 1, workers, draw_band, poll);
}

}  // namespace

namespace {

// The bands of every stripe of one list, kept while a HairDrawingReuse lives: the antialiasing
// passes and the alpha pass draw the same list again from views that differ by a fraction of a
// pixel.
struct KeptBands {
    int reusers = 0;
    const HairPoint *const *list = nullptr;
    size_t polygons = 0;
    RibbonView view{};
    std::vector<Bands> stripes;
    void forget() {
        list = nullptr;
        stripes.clear();
        stripes.shrink_to_fit();
    }
};
KeptBands &kept_bands() {
    static KeptBands kept;
    return kept;
}

}  // namespace

void keep_hair_ribbon_bands(bool keep) {
    KeptBands &kept = kept_bands();
    kept.reusers += keep ? 1 : -1;
    if (kept.reusers == 0) kept.forget();
}

int draw_hair_ribbons(const PolygonList &list, bool alpha) {
    if (list.empty()) return 1;
    FrameCopy frame;
    KeptBands &kept = kept_bands();
    const bool keeping = kept.reusers > 0;
    bool whole = true;
    try {
        if (!read_frame(frame)) return 1;
        const RibbonView view = current_view();
        const RasterTarget &target = frame.target;
        const int workers = hair_worker_count();
        Bands layout;
        layout.first_row = target.y0;
        layout.rows = band_rows(target.height, workers);
        layout.count = (target.height + layout.rows - 1) / layout.rows;

        const bool placed = keeping && kept.list == list.data() && kept.polygons == list.size() &&
                            !kept.stripes.empty() && kept.stripes[0].first_row == layout.first_row &&
                            kept.stripes[0].rows == layout.rows && kept.stripes[0].count == layout.count &&
                            bands_serve(kept.view, view);
        if (keeping && !placed) {
            kept.forget();
            kept.list = list.data();
            kept.polygons = list.size();
            kept.view = view;
        }
        const size_t stripe = std::max(kMinStripe, (list.size() + kStripes - 1) / kStripes);
        Bands scratch;
        for (size_t s = 0, first = 0; first < list.size() && whole; ++s, first += stripe) {
            if (placed) {
                whole = draw_bands(list, view, alpha, workers, kept.stripes[s], target);
                continue;
            }
            Bands &bands = keeping ? kept.stripes.emplace_back(layout) : (scratch = layout);
            bands.first = first;
            bands.end = std::min(list.size(), first + stripe);
            whole = place_in_bands(list, view, workers, bands) && draw_bands(list, view, alpha, workers, bands, target);
            bands.span = {};
        }
    } catch (const std::bad_alloc &) {
        status_message(kStatusError, "Can't allocate more memory, draw");
        whole = false;
    }
    // Bands placed only in part are no use to a later drawing.
    if (keeping && !whole) kept.forget();
    if (!frame.rgba.empty()) write_frame(frame);  // what was drawn stays
    return whole ? 1 : 0;
}

}  // namespace vellimor
