// "apply-fur": fur settings from a settings text file into the surfaces of a scene, stored with
// the scene. A file that doesn't read cleanly changes nothing.
#include <cstdio>
#include <string>

#include "apps/vellimor-host/fur_settings_scene.h"
#include "furdata/fur_data.h"
#include "furdata/fur_text_file.h"
#include "host/scene.h"

namespace vellimor::host_driver {

int run_apply_fur(const CommandLine &line) {
    FurSettingsArgs args;
    if (!parse_fur_settings_args(line, args)) return kFurCommandUsage;
    std::vector<int> patches;
    if (!open_fur_scene(line) || !fur_surfaces(line, args, patches)) return kFurCommandFailure;
    // With --surface every object of the file goes to the named surface; else by name.
    const int any_name = args.surface.empty() ? 0 : 1;
    std::vector<int> objects(patches.size(), 0);
    int applied = 0;
    for (size_t k = 0; k < patches.size(); ++k) {
        const int i = patches[k];
        const FetchOutcome outcome =
            fetch_into_record(scene_state().patches[static_cast<size_t>(i)], args.file, any_name,
                              [i] { patch_geometry(i); });
        if (!outcome.ok || outcome.errors > 0) {
            report_error(args.file + " is not a clean fur settings file; scene " + line.scene +
                         " is left as it was");
            return kFurCommandFailure;
        }
        objects[k] = outcome.objects;
        if (outcome.objects > 0) ++applied;
    }
    if (applied == 0) {
        report_error(args.file + " holds no fur settings for " +
                     (args.surface.empty() ? "any surface of scene " + line.scene : args.surface));
        return kFurCommandFailure;
    }
    if (const int rc = write_fur_data(1); rc != 0) {
        report_error("cannot save scene " + line.scene + ": " + last_host_error());
        return kFurCommandFailure;
    }
    for (size_t k = 0; k < patches.size(); ++k) {
        const std::string &name = scene_state().patches[static_cast<size_t>(patches[k])]->name;
        if (objects[k] > 0) {
            std::printf("%s: fur applied from %s (%s)\n", name.c_str(), args.file.c_str(),
                        fur_summary(patches[k]).c_str());
        } else {
            std::printf("%s: unchanged, %s holds no settings for it\n", name.c_str(), args.file.c_str());
        }
    }
    return 0;
}

}  // namespace vellimor::host_driver
