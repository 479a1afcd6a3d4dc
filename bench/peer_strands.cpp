// Writes the hairs of one frame of a scene as the renderer grows them, for the peer renderers of
// bench/blender_peer.sh: peer_strands DATABASE SCENE FILE.
//
// FILE (little-endian): "VSTR", then 10 floats: camera position, camera interest, vertical field
// of view in degrees, first light's position; the strand count (uint32), every strand's point
// count (uint32), then all points' x, y, z, all points' radius (the thickness), all points'
// r, g, b, a (the lit colour), each block in strand order.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>

#include "furdata/display_settings.h"
#include "furdata/fur_data.h"
#include "hair/channel_maps.h"
#include "hair/placement.h"
#include "host/globals.h"
#include "host/scene.h"
#include "render/draw.h"
#include "render/hair_geometry.h"
#include "render/light_table.h"
#include "saa/saa.h"

using namespace vellimor;

namespace {

void put(std::ofstream &out, float v) { out.write(reinterpret_cast<const char *>(&v), 4); }
void put(std::ofstream &out, uint32_t v) { out.write(reinterpret_cast<const char *>(&v), 4); }

}  // namespace

int main(int argc, char **argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: peer_strands DATABASE SCENE FILE\n");
        return 2;
    }
    run_state().run_mode = kRunModeStandAlone;
    run_state().batch = 1;
    SAA_InitInternal("", 0, "SDKv1.71.6");
    if (MY_read_scene(argv[2], argv[1]) != 0) return 1;
    read_fur_data(1);
    run_state().run_mode = kRunModePersistent;  // quiet
    build_all_patches(0, 0);
    SceneState &s = scene_state();
    for (int p = 0; p < s.patch_count(); ++p)
        if (s.patches[size_t(p)]) update_channel_maps(p);
    update_gravity_nulls();
    update_light_table();

    HairDrawing drawing;
    SAA_cameraGetPosition(&s.scene, &s.camera, drawing.eye);
    if (hair_geometry(drawing, kDrawRender, false, s.current_frame) != GeometryResult::kDone)
        return 1;

    std::ofstream out(argv[3], std::ios::binary);
    out.write("VSTR", 4);
    float interest[3] = {}, fov = 45.0f;
    SAA_cameraGetInterest(&s.scene, &s.camera, interest);
    SAA_cameraGetFieldOfView(&s.scene, &s.camera, &fov);
    for (float v : drawing.eye) put(out, v);
    for (float v : interest) put(out, v);
    put(out, fov);
    for (int k = 0; k < 3; ++k) put(out, s.light_cache.empty() ? 0.0f : s.light_cache[0].position[k]);
    uint32_t strands = 0;
    for (const HairStrand &strand : drawing.strands) strands += strand.segments > 0;
    put(out, strands);
    auto each_point = [&](auto write) {
        for (const HairStrand &strand : drawing.strands)
            for (int i = 0; strand.segments > 0 && i <= strand.segments; ++i) write(strand.points[i]);
    };
    for (const HairStrand &strand : drawing.strands)
        if (strand.segments > 0) put(out, uint32_t(strand.segments + 1));
    each_point([&](const HairPoint &p) { for (float v : p.position) put(out, v); });
    each_point([&](const HairPoint &p) {
        put(out, std::sqrt(p.side[0] * p.side[0] + p.side[1] * p.side[1] + p.side[2] * p.side[2]));
    });
    each_point([&](const HairPoint &p) { for (float v : p.color) put(out, std::fmin(std::fmax(v, 0.0f), 1.0f)); });
    std::printf("%u strands\n", strands);
    return out ? 0 : 1;
}
