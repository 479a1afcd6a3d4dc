// Stages that other subsystems supply, standing in until they exist: each reports once that it
// is not available yet and does nothing else. Delete a stand-in when its stage is implemented.
#include <set>
#include <string>

#include "editor/main_loop.h"
#include "hair/shadows.h"
#include "host/status.h"
#include "render/mesh_export.h"

namespace vellimor {
namespace {

void not_available(const char *stage) {
    static std::set<std::string> reported;
    if (!reported.insert(stage).second) return;
    status_message(kStatusPlain, "%s is not available yet", stage);
}

}  // namespace

void quant_patches() { not_available("quant_patches"); }
// Until the shadow model exists the queries answer as an empty model does: nothing is shadowed.
// They are called per hair point, so they stay silent.
float shadow_ray(const float *, const float *, float s) { return s; }
float shadow_smooth(const float *, int, int, int &) { return 0.0f; }
void destroy_hair_mesh_element() { not_available("destroy_hair_mesh_element"); }
int save_hair_mesh(const PolygonList &, long) {
    not_available("save_hair_mesh");
    return 1;
}
void draw_shadow_triangles() {}
void designer_start() { not_available("designer_start"); }

}  // namespace vellimor
