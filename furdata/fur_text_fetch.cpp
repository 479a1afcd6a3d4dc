// Fetching fur settings from a text file into the scene's fur records.
#include "fcurve/fcurve_list.h"
#include "fcurve/fcurve_text.h"
#include "furdata/fur_text_file.h"
#include "hair/placement.h"
#include "hair/shadows.h"
#include "host/designer_link.h"
#include "host/scene.h"
#include "host/status.h"

namespace vellimor {

bool fetch_fur_data(int i, const char *path, int any_name, bool curve_links) {
    auto &patches = scene_state().patches;
    const std::string file = path ? path : "";
    if (i < 0 || i >= static_cast<int>(patches.size()) || !patches[i]) {
        status_message(kStatusError, "Can't open save file: %s", file.c_str());
        return false;
    }
    const FetchOutcome outcome = fetch_into_record(patches[i], file, any_name, [i] {
        patch_geometry(i);
        grow_fur(i, -1, 0);
    }, curve_links);
    if (!outcome.finished) return false;
    quant_patches();
    if (designer_up() && designer_output().refresh_controls) designer_output().refresh_controls();
    return outcome.ok;
}

void fetch_all(const char *path) {
    // The records name their curves by id, so the curves come first, under the same ids.
    fcurve_delete_all();
    const bool curves = fetch_fcurves(path ? path : "") > 0;
    for (int i = 0; i < scene_state().patch_count(); ++i) fetch_fur_data(i, path, 0, curves);
}

}  // namespace vellimor
