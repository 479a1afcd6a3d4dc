#include "host/entry_points.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "editor/main_loop.h"
#include "furdata/display_settings.h"
#include "furdata/fur_data.h"
#include "hair/noise.h"
#include "hair/placement.h"
#include "hair/shadows.h"
#include "host/batch_render.h"
#include "host/command_line.h"
#include "host/configuration.h"
#include "host/globals.h"
#include "host/scene.h"
#include "host/status.h"
#include "platform/key_state.h"
#include "platform/window_system.h"
#include "render/draw.h"
#include "render/frame_render.h"
#include "render/mesh_export.h"
#include "render/offscreen_target.h"
#include "saa/saa.h"

namespace vellimor {
namespace {

constexpr const char *kSdkVersion = "SDKv1.71.6";
constexpr const char *kWindowProgramName = "Vellimor";
// Host custom-effect states that savePer reacts to.
constexpr int kStateRemoveHairs = 7;
constexpr int kStateSaveHairs = 8;
// savePer's status when the host refused the hair mesh.
constexpr int kHairMeshRefused = 1;
constexpr int kReasonLength = 1024;

// The host's reason for its last failure, or an empty text.
std::string host_reason() {
    char reason[kReasonLength] = {};
    SAA_hostGetLastError(kReasonLength, reason);
    return reason;
}

void show_persistent_status(const char *text) { status_line(text); }

SAA_CustomContext *custom_context(void *context) { return static_cast<SAA_CustomContext *>(context); }

}  // namespace

int run_init(int argc, const char *const *argv) {
    RunState &run = run_state();
    run.run_mode = kRunModeStandAlone;
    std::fprintf(stderr, "Fur stand alone version\n");
    if (argc < 1) {
        print_usage();
        return kUsageError;
    }
    CommandLine line;
    switch (parse_command_line(argc, argv, line)) {
    case ParseResult::Ok: break;
    case ParseResult::Usage:
        print_usage();
        return kUsageError;
    case ParseResult::PluginExit:
        std::fflush(nullptr);
        std::exit(-1);
    }
    const bool names_given = !line.scene.empty() && !line.database.empty();
    if (line.batch && !names_given) {
        std::fprintf(stderr,
                     "Please specify both scene and database name when running a batch render\n");
        print_usage();
        return kUsageError;
    }
    return run_stand_alone(line);
}

int run_stand_alone(const CommandLine &line, const BatchHooks &hooks) {
    RunState &run = run_state();
    run.run_mode = kRunModeStandAlone;
    run.batch = line.batch ? 1 : 0;
    const bool names_given = !line.scene.empty() && !line.database.empty();
    noise_init();
    version_banner();
    open_message_file();
    // Without the host location the stand-alone program can't work: a failure, not a success.
    if (!read_locations()) return kUsageError;
    if (line.has_resource_path) run.resource_path = line.resource_path;
    if (int rc = SAA_InitInternal(run.resource_path.c_str(), 0, kSdkVersion)) return rc;

    if (names_given) {
        if (int rc = MY_read_scene(line.scene.c_str(), line.database.c_str())) {
            // Reported as a failure so that scripts see it.
            std::fprintf(stderr, "\nCan't load scene %s - %s\n", line.scene.c_str(),
                         line.database.c_str());
            // The host knows why; the line after says it.
            if (const std::string reason = host_reason(); !reason.empty())
                std::fprintf(stderr, "%s\n", reason.c_str());
            free_all();
            return rc;
        }
    }
    if (!line.batch) {
        designer_start();
        free_all();
        // Without a display the designer could not open: a failure, not a success.
        return designer_failed() ? kUsageError : 0;
    }
    return batch_render(line, hooks);
}

int run_init_internal(void *) {
    RunState &run = run_state();
    platform::window_system_init(kWindowProgramName);
    noise_init();
    if (run.run_mode == kRunModeUnset) {
        run.run_mode = kRunModeInternal;
        std::fprintf(stderr, "Fur internal version\n");
        version_banner();
    }
    SAA_statusBarSet("Init Fur program ....", 1);
    open_message_file();
    read_locations();
    if (int rc = SAA_sceneInitInternal(kSdkVersion)) return rc;
    MY_read_scene("", "");  // a failure leaves whatever was read
    if (run.run_mode == kRunModeInternal) {
        designer_start();
        if (designer_failed()) return kUsageError;
    } else if (run.run_mode == kRunModePersistent) {
        // Hairs are grown by updatePer, for the surfaces marked for persistent rebuild only.
        read_fur_data(1);
        quant_patches();
    }
    return 0;
}

int run_cleanup_internal(void *) {
    close_message_file();
    free_all();
    return 0;
}

int run_init_persistent(void *context) {
    run_state().run_mode = kRunModePersistent;
    show_persistent_status("Fur Persistant version");
    version_banner();
    return run_init_internal(context);
}

int run_update_persistent(void *) {
    SceneState &s = scene_state();
    show_persistent_status("Update Persistent");
    SAA_sceneGetPlayCtrlCurrentFrame(&s.scene, &s.current_frame);
    bool rebuilt = false;
    for (int i = 0; i < static_cast<int>(s.patches.size()); ++i) {
        PatchData *p = s.patches[i].get();
        if (!p || p->deleted || !p->presistant_rebuild) continue;
        grow_fur(i, -1, 0);
        p->last_built_frame = s.current_frame;
        rebuilt = true;
    }
    if (rebuilt) quant_patches();
    show_persistent_status("Save Persistent");
    drawing_driver(kDrawSaveHairMesh, -1);
    return 0;
}

int run_save_persistent(void *context) {
    show_persistent_status("Save Persistent");
    int state = 0;
    const int result = SAA_customContextGetState(custom_context(context), &state);
    if (state == kStateRemoveHairs) {
        destroy_hair_mesh_element();
    } else if (state == kStateSaveHairs) {
        drawing_driver(kDrawSaveHairMesh, -1);
        // The host must not save a scene that silently lacks the hairs.
        if (result == SAA_OK && hair_mesh_save_failed()) return kHairMeshRefused;
    }
    return result;
}

int run_cleanup_persistent(void *) {
    show_persistent_status("Cleanup Persistent");
    destroy_hair_mesh_element();
    close_message_file();
    free_all();
    return 0;
}

int run_edit_persistent(void *) {
    show_persistent_status("Edit Persistent");
    destroy_hair_mesh_element();
    designer_start();
    free_all();
    return designer_failed() ? kUsageError : 0;
}

}  // namespace vellimor
