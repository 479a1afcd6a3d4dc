// The drawing driver: grows the points of every drawn hair, forms one polygon per segment, sorts
// them back to front and draws them (or hands them to the mesh writer).
#include <GL/gl.h>

#include <new>
#include <optional>

#include "furdata/display_settings.h"
#include "hair/channel_maps.h"
#include "host/scene.h"
#include "host/status.h"
#include "render/draw.h"
#include "render/frame_render.h"
#include "render/hair_draw_gl.h"
#include "render/hair_export.h"
#include "render/hair_geometry.h"
#include "render/light_table.h"
#include "render/mesh_export.h"
#include "render/polygon_sort.h"

namespace vellimor {
namespace {

constexpr float kGeometryWeight = 0.5f;
constexpr float kDrawingWeight = 1.0f;

// Sizes the strand array (and the export array in mode 8) for the drawn total; false after the
// report when memory is short.
bool allocate_hair_arrays(HairDrawing &drawing, int mode, int total) {
    const bool exporting = mode == kDrawExport;
    try {
        if (exporting) drawing.exports.resize(size_t(total));
    } catch (const std::bad_alloc &) {
        status_message(kStatusError, "Can't allocate more memory, odraw");
        status_line("Drawing error");
        return false;
    }
    try {
        drawing.strands.resize(size_t(total));
    } catch (const std::bad_alloc &) {
        status_message(kStatusError, "Can't allocate more memory, draw");
        status_line("Drawing error");
        return false;
    }
    return true;
}

void set_eye(HairDrawing &drawing) {
    const SceneState &s = scene_state();
    SAA_cameraGetPosition(&s.scene, &s.camera, drawing.eye);
}

void update_all_channel_maps() {
    const SceneState &s = scene_state();
    for (int p = 0; p < s.patch_count() && p < int(s.patches.size()); ++p)
        if (s.patches[size_t(p)]) update_channel_maps(p);
}

// The sorted polygons drawn as lines or polygons; false when Escape aborted the drawing.
bool draw_sorted(PolygonList &list, int mode, bool alpha, int frame) {
    const DisplaySettings &settings = *display_settings();
    status_line("Z sort polygons");
    const BackgroundDepthSort sorting(list);  // the drawing follows the sort as it goes
    status_line("Drawing graphics RGB");
    glEnable(GL_CULL_FACE);
    glCullFace(settings.use_opengl ? GL_BACK : GL_FRONT);
    progress_stage(2, int(list.size()));
    if (settings.draw_style == kDrawLines) {
        draw_hair_lines(list);
        return true;
    }
    std::optional<HairDrawingReuse> reuse;  // the antialiasing and alpha passes draw the list again
    if (antialiases(mode) || alpha) reuse.emplace(antialiases(mode));
    return draw_polygons_with_alpha(list, mode, alpha, frame) != 0;
}

}  // namespace

int drawing_driver(int mode, int frame) {
    if (!display_settings()) display_settings_create();
    const DisplaySettings &settings = *display_settings();
    const bool alpha = mode == kDrawRenderAlpha;
    if (alpha) mode = kDrawRender;
    status_line("Init texturemaps, memory");
    update_all_channel_maps();
    update_gravity_nulls();
    update_light_table();

    const int total = drawn_hair_total(mode, settings);
    if (total <= 0) return 0;
    progress_weights(kGeometryWeight, kDrawingWeight, alpha ? kDrawingWeight : 0.0f);
    progress_stage(1, total);

    HairDrawing drawing;
    set_eye(drawing);
    int hairs = 0;
    PolygonList list;
    if (allocate_hair_arrays(drawing, mode, total)) {
        status_line("Calc hair geometry");
        const GeometryResult geometry = hair_geometry(drawing, mode, alpha, frame);
        if (geometry == GeometryResult::kAborted) {
            status_line("Drawing aborted");
        } else if (geometry == GeometryResult::kDone) {
            if (mode == kDrawExport) {
                // The export records are complete; writing them out is the save plug-in's part.
                status_line("Writing hair object");
                if (write_hair_export(drawing, frame)) hairs = drawing.hair_total;
                status_line("Done writing");
            } else if (build_polygon_list(drawing.strands, drawing.point_total, list)) {
                if (mode == kDrawSaveHairMesh) {
                    status_line("Saving hair object");
                    save_hair_mesh(list, long(list.size()));
                    status_line("Done saving");
                    hairs = drawing.hair_total;
                } else if (draw_sorted(list, mode, alpha, frame)) {
                    hairs = drawing.hair_total;
                } else {
                    drawing.abort = true;
                    status_line("Drawing aborted");
                }
            }
        }
    }
    drawing.clear();
    progress_done();
    return hairs;
}

}  // namespace vellimor
