#include "render/frame_memory.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "furdata/display_settings.h"
#include "furdata/field_bounds.h"
#include "furdata/patch_data.h"
#include "hair/placement.h"
#include "hair/surface_evaluation.h"
#include "host/scene.h"
#include "host/status.h"
#include "render/hair_point.h"

namespace vellimor {
namespace {

// What one hair costs in a drawing, besides its points: its root and motion, its strand, and per
// segment one polygon entry and one sort entry.
constexpr int64_t kRootBytes = sizeof(HairRoot) + sizeof(HairDynamics);
constexpr int64_t kStrandBytes = sizeof(HairStrand);
constexpr int64_t kPolygonBytes = sizeof(HairPoint *) + 8;
// The antialiasing passes keep what the first pass prepared: the exact tubes the vertices of the
// drawn polygons (eight corners of position and colour each), up to an eighth of the machine's
// memory; the ribbons the bands' lists of polygons (a polygon in one or two bands).
constexpr int64_t kKeptVertexBytes = 8 * 7 * sizeof(float);
constexpr int64_t kKeptVertexShare = 8;
constexpr int64_t kKeptBandBytes = 2 * sizeof(uint32_t);
// What the count above does not see (the allocator's slack, the driver's own buffers): a quarter
// more, from peaks measured against the estimate.
constexpr int64_t kUnseenShare = 4;
// A hair written to a curve or mesh file keeps its own copy of every point, and a list of them.
constexpr int64_t kExportPointBytes = sizeof(HairExportPoint);
constexpr int64_t kExportHairBytes = 24;
// The target's colour and depth, the alpha image, the software accumulation (4 floats) and the
// ribbons' copy of colour and depth.
constexpr int64_t kTargetBytesPerPixel = 4 + 4 + 1 + 16 + 4 + 4;
// The area is measured on a grid of the surface's own cells, within these bounds per direction.
constexpr int kMinAreaSteps = 16, kMaxAreaSteps = 64;

// The surface's area on a grid of steps x steps cells (two triangles each); 0 where it can't be
// evaluated.
double surface_area(const SceneState &scene, size_t p, const PatchData &record) {
    const int nu = std::clamp(record.sub_res_u, kMinAreaSteps, kMaxAreaSteps);
    const int nv = std::clamp(record.sub_res_v, kMinAreaSteps, kMaxAreaSteps);
    const SAA_Elem &model = scene.models[p];
    std::vector<float> row((size_t(nu) + 1) * 3), next((size_t(nu) + 1) * 3);
    auto evaluate = [&](int j, std::vector<float> &points) {
        for (int i = 0; i <= nu; ++i) {
            const double u = double(record.nbPointsU) * i / nu, v = double(record.nbPointsV) * j / nv;
            if (evaluate_surface_point(scene.scene, model, 0, u, v, &points[size_t(i) * 3])) return false;
        }
        return true;
    };
    if (!evaluate(0, row)) return 0.0;
    double area = 0.0;
    for (int j = 1; j <= nv; ++j) {
        if (!evaluate(j, next)) return 0.0;
        for (int i = 0; i < nu; ++i) {
            const float *p00 = &row[size_t(i) * 3], *p10 = &row[size_t(i + 1) * 3];
            const float *p01 = &next[size_t(i) * 3], *p11 = &next[size_t(i + 1) * 3];
            area += triangle_area(p00, p10, p11) + triangle_area(p11, p01, p00);
        }
        row.swap(next);
    }
    return std::isfinite(area) ? area : 0.0;
}

// The most segments a hair of the surface can get: the map blends the keys' values (a random
// amount only lowers them), or the picture scales its values up to the scale.
int most_segments(const PatchData &record) {
    double most = 0.0;
    for (const TextureKey &key : record.texture_keys) most = std::max(most, double(key.segments.value));
    if (record.segments_picture_scale.active)
        most = std::max(most, double(record.segments_picture_scale.value));
    if (!(most > 0.0)) return 0;
    return int(std::min(std::floor(most + 0.5), double(kMaxHairSegments)));
}

int64_t physical_memory() {
    const long pages = sysconf(_SC_PHYS_PAGES), page = sysconf(_SC_PAGESIZE);
    return pages > 0 && page > 0 ? int64_t(pages) * page : int64_t(4) << 30;
}

}  // namespace

FrameMemory estimate_frame_memory(int width, int height, bool exporting, bool antialiased) {
    const SceneState &scene = scene_state();
    FrameMemory estimate;
    estimate.bytes = kRenderProcessBytes + int64_t(std::max(width, 0)) * std::max(height, 0) * kTargetBytesPerPixel;
    int64_t largest = -1, polygons = 0;
    for (size_t p = 0; p < scene.patches.size() && p < scene.models.size(); ++p) {
        const PatchData *record = scene.patches[p].get();
        if (!record || record->deleted) continue;
        for (int res : {record->length_map_res, record->curl_map_res, record->grow_map_res, record->bend_map_res,
                        record->segments_map_res, record->gravity_map_res, record->density_map_res})
            estimate.bytes += int64_t(res) * res * 2 * int64_t(sizeof(float));
        const double planned = double(std::max(record->number_of_hairs_pr_square_unit, 0)) *
                               surface_area(scene, p, *record);
        const int64_t hairs = int64_t(std::min(planned, double(INT64_MAX / 4)));
        const int segments = most_segments(*record);
        int64_t per_hair = kRootBytes + kStrandBytes + int64_t(segments + 1) * int64_t(sizeof(HairPoint)) +
                           int64_t(segments) * kPolygonBytes;
        if (exporting) per_hair += kExportHairBytes + int64_t(segments + 1) * kExportPointBytes;
        const int64_t bytes = hairs > INT64_MAX / 4 / per_hair ? INT64_MAX / 4 : hairs * per_hair;
        estimate.bytes = std::min(estimate.bytes + bytes, INT64_MAX / 2);
        estimate.hairs = std::min(estimate.hairs + hairs, INT64_MAX / 2);
        polygons = std::min(polygons + (hairs > INT64_MAX / 4 / (segments + 1) ? INT64_MAX / 4 : hairs * segments),
                            INT64_MAX / 4);
        estimate.max_segments = std::max(estimate.max_segments, segments);
        if (hairs > kMaxHairsPerSurface && !estimate.surface_over_root_limit) {
            estimate.surface_over_root_limit = true;
            largest = INT64_MAX;
            estimate.largest_surface = record->name;
            estimate.largest_surface_hairs = hairs;
        }
        if (bytes > largest) {
            largest = bytes;
            estimate.largest_surface = record->name;
            estimate.largest_surface_hairs = hairs;
        }
    }
    if (antialiased) {
        const DisplaySettings *settings = display_settings();
        const bool tubes = settings && settings->exact_tubes;
        const int64_t per_polygon = tubes ? kKeptVertexBytes : kKeptBandBytes;
        int64_t kept = polygons > INT64_MAX / 4 / per_polygon ? INT64_MAX / 4 : polygons * per_polygon;
        if (tubes) kept = std::min(kept, physical_memory() / kKeptVertexShare);
        estimate.bytes = std::min(estimate.bytes + kept, INT64_MAX / 2);
    }
    estimate.bytes += estimate.bytes / kUnseenShare;
    return estimate;
}

int64_t default_memory_limit() { return physical_memory() / 4 * 3; }

std::string memory_text(int64_t bytes) {
    char text[32];
    const double mb = double(bytes) / double(1 << 20);
    if (mb >= 1024.0) std::snprintf(text, sizeof text, "%.1f GB", mb / 1024.0);
    else std::snprintf(text, sizeof text, "%.0f MB", mb);
    return text;
}

bool frame_memory_fits(const FrameMemory &estimate, int64_t limit) {
    if (estimate.surface_over_root_limit) {
        status_message(kStatusError, "%s would grow about %lld hairs, at most %lld fit on one surface: lower its "
                       "number_of_hairs_pr_square_unit", estimate.largest_surface.c_str(),
                       static_cast<long long>(estimate.largest_surface_hairs),
                       static_cast<long long>(kMaxHairsPerSurface));
        return false;
    }
    if (estimate.bytes <= limit) return true;
    status_message(kStatusError, "A frame would need about %s (%lld hairs of up to %d segments), more than the %s "
                   "allowed: lower number_of_hairs_pr_square_unit or the segments of %s, or raise the limit "
                   "(vellimor-host render --max-memory)",
                   memory_text(estimate.bytes).c_str(), static_cast<long long>(estimate.hairs),
                   estimate.max_segments, memory_text(limit).c_str(), estimate.largest_surface.c_str());
    return false;
}

}  // namespace vellimor
