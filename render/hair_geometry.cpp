#include "render/hair_geometry.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <new>

#include "furdata/display_settings.h"
#include "furdata/field_bounds.h"
#include "furdata/patch_data.h"
#include "hair/channel_maps.h"
#include "hair/noise.h"
#include "hair/random_generators.h"
#include "hair/wind_tables.h"
#include "host/scene.h"
#include "host/status.h"
#include "platform/key_state.h"
#include "render/draw.h"
#include "render/hair_color.h"
#include "render/hair_workers.h"

namespace vellimor {

namespace {

// A painted segment count beyond kMaxHairSegments is taken as that many: a wild map value (an
// animated key, a picture) must not turn into an allocation of gigabytes.
// A preview fraction far above 1 must not overflow the drawn count.
constexpr int kMaxDrawnPerSurface = 1 << 30;
// Escape is polled this many times over the hairs of a surface.
constexpr int kAbortPollsPerSurface = 100;

bool is_preview_mode(int mode) { return mode == kDrawPreviewSelected || mode == kDrawPreviewAll; }

bool draws_all_surfaces(int mode) {
    return mode == kDrawPreviewAll || mode == kDrawRenderAll || mode == kDrawRender ||
           mode == kDrawSaveHairMesh || mode == kDrawExport;
}

struct Vec3 {
    float x, y, z;
};

Vec3 load(const float v[3]) { return {v[0], v[1], v[2]}; }
void store(Vec3 v, float out[3]) {
    out[0] = v.x;
    out[1] = v.y;
    out[2] = v.z;
}
Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3 operator*(Vec3 a, float s) { return {a.x * s, a.y * s, a.z * s}; }
Vec3 operator-(Vec3 a) { return {-a.x, -a.y, -a.z}; }
float dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec3 cross(Vec3 a, Vec3 b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
float length(Vec3 a) { return std::sqrt(dot(a, a)); }

// a / |a|, or `fallback` when a has no direction.
Vec3 normalised_or(Vec3 a, Vec3 fallback) {
    const float l = length(a);
    return l > 0.0f ? a * (1.0f / l) : fallback;
}

// v rotated right-handedly by theta about the unit axis a.
Vec3 rotate_about(Vec3 a, float theta, Vec3 v) {
    const float c = std::cos(theta);
    const float s = std::sin(theta);
    const float k = 1.0f - c;
    return {((1 - a.x * a.x) * c + a.x * a.x) * v.x + (a.x * a.y * k - a.z * s) * v.y +
                (a.x * a.z * k + a.y * s) * v.z,
            (a.x * a.y * k + a.z * s) * v.x + ((1 - a.y * a.y) * c + a.y * a.y) * v.y +
                (a.y * a.z * k - a.x * s) * v.z,
            (a.x * a.z * k - a.y * s) * v.x + (a.y * a.z * k + a.x * s) * v.y +
                ((1 - a.z * a.z) * c + a.z * a.z) * v.z};
}

// The channel values of one hair, read at its root.
struct HairChannels {
    int segments;
    float length, grow_u, grow_v, bend_u, bend_v, curl, gravity;
};

// Rounds half up; zero, negative or undefined counts give 0 (the hair is skipped).
int segment_count(float value) {
    const float rounded = value + 0.5f;
    if (!(rounded >= 1.0f)) return 0;
    if (rounded >= float(kMaxHairSegments)) return kMaxHairSegments;
    return int(rounded);
}

HairChannels sample_hair_channels(const PatchData &r, float u, float v) {
    auto at = [&](const std::vector<float> &map, int res, int interp) {
        return sample_channel_map(map, u, v, res, r.surfacetype, interp);
    };
    HairChannels c;
    c.segments = segment_count(at(r.segments_map, r.segments_map_res, r.segments_map_interp));
    c.length = at(r.length_map, r.length_map_res, r.length_map_interp);
    c.grow_u = at(r.grow_map_u, r.grow_map_res, r.grow_map_interp);
    c.grow_v = at(r.grow_map_v, r.grow_map_res, r.grow_map_interp);
    c.bend_u = at(r.bend_map_u, r.bend_map_res, r.bend_map_interp);
    c.bend_v = at(r.bend_map_v, r.bend_map_res, r.bend_map_interp);
    c.curl = at(r.curl_map, r.curl_map_res, r.curl_map_interp);
    c.gravity = at(r.gravity_map, r.gravity_map_res, r.gravity_map_interp);
    return c;
}

// What the wind does to one hair. Each record "active" flag multiplies its effect (0 is off).
struct HairWind {
    float value;  // the noise value w
    float grow, bend, velocity, acceleration;
};

HairWind apply_wind(const PatchData &r, float w, HairChannels &c, float &segment_length) {
    c.curl += w * r.wind_curl.value * float(r.wind_curl.active);
    segment_length += w * r.wind_length.value * float(r.wind_length.active);
    c.gravity += w * r.wind_gravity.value * float(r.wind_gravity.active);
    HairWind wind;
    wind.value = w;
    wind.grow = (w * r.wind_grow.valueV + r.wind_grow.valueU) * float(r.wind_grow.active);
    wind.bend = (w * r.wind_bend.valueV + r.wind_bend.valueU) * float(r.wind_bend.active);
    wind.velocity =
        (w * r.wind_velocity.random + r.wind_velocity.value) * float(r.wind_velocity.active);
    wind.acceleration = (w * r.wind_acceleration.random + r.wind_acceleration.value) *
                        float(r.wind_acceleration.active);
    return wind;
}

// The frame's wind direction: its wind step (frames outside the play range use its nearest end).
Vec3 frame_wind_direction(int frame) {
    const SceneState &s = scene_state();
    const int length = std::min(s.wind_table_length, int(s.wind_step.size()));
    if (length <= 0) return {0.0f, 0.0f, 0.0f};
    const int i = std::clamp(frame + s.frame_offset, 0, length - 1);
    const auto &step = s.wind_step[size_t(i)];
    return {step[0], step[1], step[2]};
}

// Everything one surface's hairs share during a pass.
struct SurfacePass {
    const PatchData *record;
    int surface;
    int frame;
    int mode;
    Vec3 eye;
    Vec3 wind_direction;
    float translation[3];  // the surface's global translation (wind moving with the geometry)
    std::span<const GravityNull> gravity;
    HairShading shading;
    HairKeyValues keys;
};

// Grows one hair from `root` into points[0..n] (and export[0..n] when given).
void grow_hair(SurfacePass &pass, const HairRoot &root, int root_index, HairChannels c,
               HairPoint *points, HairExportPoint *exported) {
    const PatchData &r = *pass.record;
    const int n = c.segments;
    Random48 random(uint16_t(pass.surface + 1), uint16_t(root_index + 1),
                    uint16_t(root_index + 1));

    float s = c.length / float(n);
    float sample_point[3];
    wind_sample_point(r, root, pass.frame, pass.translation, sample_point);
    const HairWind wind = apply_wind(r, noise3(sample_point), c, s);

    const HairDynamics *dynamics =
        r.dynamics_valid && size_t(root_index) < r.dynamics_state.size()
            ? &r.dynamics_state[size_t(root_index)]
            : nullptr;
    sample_hair_key_values(r, root.u, root.v, pass.keys);
    pass.shading.begin_hair(root);

    const Vec3 normal = load(root.normal);
    const Vec3 tangent_v = load(root.tangent_v);
    const Vec3 tangent_u = load(root.tangent_u);
    Vec3 side = tangent_v;
    Vec3 side_normal = normalised_or(cross(normal, side), normal);
    Vec3 previous = load(root.position);

    for (int i = 0; i <= n; ++i) {
        const float t = float(i) / float(n);
        const float rt = std::sqrt(t);
        const float theta1 = t * c.bend_u + c.grow_u + c.curl * float(2.0 * random.next() - 1.0);
        Vec3 direction = rotate_about(tangent_v, theta1, normal);
        const float theta2 = t * c.bend_v + c.grow_v + c.curl * float(2.0 * random.next() - 1.0);
        direction = rotate_about(tangent_u, theta2, direction);

        Vec3 q = direction * s;
        if (dynamics) {
            if (r.velocity_scale.active)
                q = q - load(dynamics->velocity) * ((wind.velocity + r.velocity_scale.value) * rt);
            if (r.acceleration_scale.active)
                q = q - load(dynamics->acceleration) *
                            ((wind.acceleration + r.acceleration_scale.value) * rt);
        }
        if (r.wind_grow.active) q = q + pass.wind_direction * wind.grow;
        if (r.wind_bend.active) q = q + pass.wind_direction * (wind.bend * t);

        Vec3 point = previous;
        if (i > 0) {
            const Vec3 trial = previous + q * s;
            for (const GravityNull &null : pass.gravity) {
                const Vec3 towards = load(null.position) - trial;
                const float distance2 = dot(towards, towards);
                if (!(distance2 > 0.0f)) continue;  // on the null: no direction to pull in
                float f = null.scaling[0] * c.gravity * rt / distance2;
                f *= std::fabs(f);
                q = q + towards * f;
            }
            point = previous + normalised_or(q, direction) * s;
        }

        HairPoint &out = points[i];
        store(point, out.position);
        out.eye_distance = length(pass.eye - point);

        HairPointColors colors;
        colors_along_hair(r, pass.keys, t, colors);
        apply_wind_color(r, wind.value, colors.diffuse);
        float base[4] = {colors.diffuse[0], colors.diffuse[1], colors.diffuse[2],
                         colors.diffuse[3]};
        const Vec3 step = point - previous;
        const Vec3 hair_direction = i == 0 ? normal : normalised_or(step, direction);
        float hair_direction_v[3];
        store(hair_direction, hair_direction_v);
        shade_hair_point(pass.shading, i, out.position, hair_direction_v, base, colors.ambient,
                         colors.specular, out.color);

        const Vec3 d = i == 0 ? normal : step;
        side_normal = normalised_or(cross(d, side), side_normal);
        side = -normalised_or(cross(d, side_normal), -side);
        store(side * colors.thickness, out.side);
        store(side_normal * colors.thickness, out.normal);
        out.next = nullptr;

        if (exported) {
            HairExportPoint &e = exported[i];
            std::copy(out.position, out.position + 3, e.position);
            std::copy(out.side, out.side + 3, e.side);
            std::copy(out.normal, out.normal + 3, e.normal);
            std::copy(colors.diffuse, colors.diffuse + 4, e.diffuse);
            std::copy(colors.ambient, colors.ambient + 3, e.ambient);
            std::copy(colors.specular, colors.specular + 3, e.specular);
            e.thickness = colors.thickness;
        }
        previous = point;
    }
}

const DisplaySettings &current_settings() {
    static const DisplaySettings kDefaults;
    const DisplaySettings *settings = display_settings();
    return settings ? *settings : kDefaults;
}

// Fetches the surface's global translation when its wind moves with the geometry.
void surface_translation(const PatchData &record, int p, float out[3]) {
    out[0] = out[1] = out[2] = 0.0f;
    if (!record.wind_move_with_geometry) return;
    const SceneState &s = scene_state();
    if (size_t(p) >= s.models.size()) return;
    float x = 0.0f, y = 0.0f, z = 0.0f;
    if (SAA_modelGetTranslation(&s.scene, &s.models[size_t(p)], 1, &x, &y, &z) != 0) return;
    out[0] = x;
    out[1] = y;
    out[2] = z;
}

// One worker's share of a pass.
struct HairWorker {
    SurfacePass pass;
    PointPool pool;
    long point_total = 0;
};

// The drawn hairs of one surface: drawn hair k is strand first_index + k.
struct SurfaceHairs {
    const PatchData &record;
    int mode;
    int drawn;
    size_t first_index;
    bool exporting;
};

enum class GrowResult { kGrown = 0, kNoPoints = 1, kNoExportPoints = 2 };

// Grows drawn hair k of a surface into its strand (a strand without points when the hair has no
// segments or the surface no roots).
GrowResult grow_drawn_hair(HairWorker &worker, const SurfaceHairs &hairs, HairDrawing &drawing,
                           size_t k) {
    const PatchData &record = hairs.record;
    const size_t index = hairs.first_index + k;
    HairStrand &strand = drawing.strands[index];
    strand = HairStrand{};
    const int root_total = std::min(record.hair_count, int(record.hairs.size()));
    if (root_total <= 0) return GrowResult::kGrown;
    int root_index = drawn_root_index(record, hairs.mode, int(k), hairs.drawn);
    if (root_index > root_total - 1) {
        std::fprintf(stderr, "ERROR: object_hairnr to big %d\n", root_index);
        root_index = root_total - 1;
    }
    const HairRoot &root = record.hairs[size_t(root_index)];
    const HairChannels channels = sample_hair_channels(record, root.u, root.v);
    if (channels.segments < 1) return GrowResult::kGrown;  // zero segments: nothing to grow

    const size_t point_count = size_t(channels.segments) + 1;
    HairPoint *points = worker.pool.allocate(point_count);
    if (!points) return GrowResult::kNoPoints;
    HairExportPoint *exported = nullptr;
    if (hairs.exporting) {
        try {
            drawing.exports[index].resize(point_count);
        } catch (const std::bad_alloc &) {
            return GrowResult::kNoExportPoints;
        }
        exported = drawing.exports[index].data();
    }
    grow_hair(worker.pass, root, root_index, channels, points, exported);
    strand.segments = channels.segments;
    strand.points = points;
    worker.point_total += channels.segments;
    return GrowResult::kGrown;
}

}  // namespace

void HairDrawing::clear() {
    pool.clear();
    strands.clear();
    strands.shrink_to_fit();
    exports.clear();
    exports.shrink_to_fit();
    point_total = 0;
    hair_total = 0;
}

bool surface_takes_part(const PatchData &record, int mode) {
    if (record.deleted) return false;
    return record.is_selected || record.allways_draw_hairs || draws_all_surfaces(mode);
}

int surface_drawn_count(const PatchData &record, int mode, const DisplaySettings &settings) {
    const int hair_count = std::max(record.hair_count, 0);
    if (!is_preview_mode(mode) || record.built_as_preview) return hair_count;
    const float drawn = float(hair_count) * settings.preview_fraction;
    if (!(drawn > 0.0f)) return 0;
    return drawn >= float(kMaxDrawnPerSurface) ? kMaxDrawnPerSurface : int(drawn);
}

int drawn_root_index(const PatchData &record, int mode, int k, int drawn_count) {
    if (!is_preview_mode(mode) || record.built_as_preview || drawn_count <= 0) return k;
    return int(int64_t(k) * int64_t(record.hair_count) / int64_t(drawn_count));
}

int drawn_hair_total(int mode, const DisplaySettings &settings) {
    const SceneState &s = scene_state();
    int64_t total = 0;
    for (const auto &record : s.patches)
        if (record && surface_takes_part(*record, mode))
            total += surface_drawn_count(*record, mode, settings);
    return int(std::min<int64_t>(total, INT32_MAX));
}

GeometryResult hair_geometry(HairDrawing &drawing, int mode, bool /*alpha: colours are the same*/,
                             int frame) {
    const DisplaySettings &settings = current_settings();
    if (settings.preview_fraction == 0.0f && is_preview_mode(mode)) return GeometryResult::kDone;
    SceneState &s = scene_state();
    const int wind_frame = frame < 0 ? s.current_frame : frame;
    const bool exporting = mode == kDrawExport;
    const size_t total = size_t(drawn_hair_total(mode, settings));
    try {
        if (drawing.strands.size() < total) drawing.strands.resize(total);
        if (exporting && drawing.exports.size() < total) drawing.exports.resize(total);
    } catch (const std::bad_alloc &) {
        status_message(kStatusError, exporting ? "Can't allocate more memory, odraw"
                                               : "Can't allocate more memory, draw");
        return GeometryResult::kFailed;
    }

    SurfacePass pass;
    pass.eye = load(drawing.eye);
    pass.frame = wind_frame;
    pass.mode = mode;
    pass.wind_direction = frame_wind_direction(wind_frame);
    pass.gravity = s.gravity_cache;

    // Each worker grows its hairs with its own copy of the pass (the shading keeps per-hair
    // state) into its own points; the points join the drawing's pool at the end.
    std::vector<HairWorker> workers(static_cast<size_t>(hair_worker_count()));
    struct AdoptPoints {
        HairDrawing &drawing;
        std::vector<HairWorker> &workers;
        ~AdoptPoints() {
            for (HairWorker &worker : workers) {
                drawing.pool.adopt(std::move(worker.pool));
                drawing.point_total += worker.point_total;
                worker.point_total = 0;
            }
        }
    } adopt_points{drawing, workers};

    for (int p = 0; p < s.patch_count() && p < int(s.patches.size()); ++p) {
        const PatchData *record = s.patches[size_t(p)].get();
        if (!record || !surface_takes_part(*record, mode)) continue;
        const int drawn = surface_drawn_count(*record, mode, settings);
        pass.record = record;
        pass.surface = p;
        surface_translation(*record, p, pass.translation);
        pass.shading.begin_surface(*record, settings, s.light_cache, p);
        for (HairWorker &worker : workers) worker.pass = pass;

        SurfaceHairs hairs{*record, mode, drawn, size_t(drawing.hair_total), exporting};
        std::atomic<int> failure{0};
        const auto grow = [&](int w, size_t first, size_t end) {
            HairWorker &worker = workers[size_t(w)];
            for (size_t k = first; k < end && !failure.load(std::memory_order_relaxed); ++k) {
                const GrowResult result = grow_drawn_hair(worker, hairs, drawing, k);
                if (result != GrowResult::kGrown) failure = int(result);
            }
        };
        const auto poll = [&](size_t done) {
            progress_step(int(hairs.first_index + done));
            if (failure.load()) return false;
            if (platform::key_is_down(platform::Key::Escape)) {
                drawing.abort = true;
                return false;
            }
            return true;
        };
        const size_t chunk = size_t(std::max(1, drawn / kAbortPollsPerSurface));
        for_each_chunk(size_t(std::max(drawn, 0)), chunk, int(workers.size()), grow, poll);
        if (failure.load() == int(GrowResult::kNoPoints)) {
            status_message(kStatusError, "Can't allocate more memory, draw1");
            return GeometryResult::kFailed;
        }
        if (failure.load() == int(GrowResult::kNoExportPoints)) {
            status_message(kStatusError, "Can't allocate more memory, odraw1");
            return GeometryResult::kFailed;
        }
        if (drawing.abort) return GeometryResult::kAborted;
        drawing.hair_total += drawn;
    }
    return GeometryResult::kDone;
}

void update_gravity_nulls() {
    SceneState &s = scene_state();
    s.gravity_cache.assign(s.gravity.size(), GravityNull{});
    for (size_t i = 0; i < s.gravity.size(); ++i) {
        GravityNull &null = s.gravity_cache[i];
        float *pos = null.position;
        float *scale = null.scaling;
        SAA_modelGetTranslation(&s.scene, &s.gravity[i], 1, &pos[0], &pos[1], &pos[2]);
        SAA_modelGetScaling(&s.scene, &s.gravity[i], 1, &scale[0], &scale[1], &scale[2]);
    }
}

}  // namespace vellimor
