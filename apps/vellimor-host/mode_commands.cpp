// The run modes a host drives the plug-in in: internal (the designer in the host), persistent
// (a per-frame effect over a frame range, optionally exporting the hair mesh of every frame) and
// editing a persistent effect.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "apps/common/plugin_loader.h"
#include "apps/vellimor-host/commands.h"
#include "apps/vellimor-host/persistent_marks.h"

namespace vellimor::host_driver {
namespace {

// The host's custom-effect state that asks the effect to save its hairs into the scene.
constexpr int kStateSaveHairs = 8;
constexpr int kCommandFailure = kExitFailure;

using EntryPoint = int (*)(void *);

// The plug-in loaded in a host environment, with its entry points looked up by name.
class PluginSession {
public:
    PluginSession() { app::set_host_environment(); }
    bool ready() {
        if (plugin_.loaded()) return true;
        report_error(plugin_.error());
        return false;
    }
    // Calls the named entry point; a missing one is reported and fails.
    int call(const char *name, SAA_CustomContext &context) {
        auto entry = reinterpret_cast<EntryPoint>(plugin_.symbol(name));
        if (!entry) {
            report_error(plugin_.error());
            return kCommandFailure;
        }
        return entry(&context);
    }

private:
    app::Plugin plugin_;
};

struct PersistentOptions {
    bool has_frames = false;
    int start = 0, end = 0;
    bool save = false;
    bool export_each_frame = false;
    bool all_persistent = false;  // every surface rebuilt at every frame, as batch -p
};

bool parse_persistent_options(const CommandLine &line, PersistentOptions &options) {
    const auto &args = line.args;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--save") {
            options.save = true;
        } else if (args[i] == "--export-each-frame") {
            options.export_each_frame = true;
        } else if (args[i] == "--all-persistent") {
            options.all_persistent = true;
        } else if (args[i] == "--frames") {
            if (i + 2 >= args.size() || !parse_integer(args[i + 1], options.start) ||
                !parse_integer(args[i + 2], options.end)) {
                report_error("--frames needs two frame numbers: --frames START END");
                return false;
            }
            options.has_frames = true;
            i += 2;
        } else {
            report_error("persistent: unknown option \"" + args[i] + "\"");
            return false;
        }
    }
    if (options.has_frames && options.start > options.end) {
        report_error("--frames: the start frame lies after the end frame");
        return false;
    }
    return true;
}

bool no_extra_arguments(const CommandLine &line) {
    if (line.args.empty()) return true;
    report_error(line.command + ": unknown option \"" + line.args.front() + "\"");
    return false;
}

// Moves the host to a frame the way the host's play control does.
void go_to_frame(const SAA_Scene &scene, int frame) {
    SAA_sceneSetPlayCtrlCurrentFrame(&scene, frame);
    double seconds = 0.0;
    SAA_frame2Seconds(&scene, frame, &seconds);
    SAA_updatelistEvalScene(&scene, seconds);
}

std::vector<SAA_Elem> scene_models(const SAA_Scene &scene) {
    int count = 0;
    SAA_sceneGetNbModels(&scene, &count);
    std::vector<SAA_Elem> models(static_cast<std::size_t>(std::max(count, 0)));
    if (count > 0) SAA_sceneGetModels(&scene, count, models.data());
    return models;
}

// Models as (id, serial) pairs, to tell the ones an entry point adds.
using ModelKey = std::pair<unsigned, unsigned>;

std::set<ModelKey> model_keys(const SAA_Scene &scene) {
    std::set<ModelKey> keys;
    for (const SAA_Elem &m : scene_models(scene)) keys.insert({m.id, m.serial});
    return keys;
}

// The polygon meshes of the scene that were not there before the effect ran: its hair mesh.
std::vector<SAA_Elem> added_meshes(const SAA_Scene &scene, const std::set<ModelKey> &before) {
    std::vector<SAA_Elem> added;
    for (const SAA_Elem &m : scene_models(scene)) {
        int type = -1;
        if (before.count({m.id, m.serial}) || SAA_modelGetType(&scene, &m, &type) != SAA_OK ||
            type != SAA_MODEL_MESH)
            continue;
        added.push_back(m);
    }
    return added;
}

// Saves the effect's hair mesh of this frame as MODELS/SCENE-hairs.FRAME.ply (written whole or
// not at all by the host). False after reporting when there is no single hair mesh to save.
bool export_frame_mesh(const SAA_Scene &scene, const std::string &scene_name, int frame,
                       const std::set<ModelKey> &before) {
    const std::vector<SAA_Elem> meshes = added_meshes(scene, before);
    const std::string name = scene_name + "-hairs." + std::to_string(frame);
    if (meshes.size() != 1) {
        report_error("frame " + std::to_string(frame) + ": no hair mesh to export as " + name + ".ply");
        return false;
    }
    if (SAA_elementSaveAs(&scene, &meshes.front(), name.c_str()) != SAA_OK) {
        char reason[512] = {};
        SAA_hostGetLastError(sizeof reason, reason);
        report_error("cannot write " + name + ".ply: " + reason);
        return false;
    }
    return true;
}

// Reports a non-zero result of an entry point and passes it on.
int checked(const char *name, int result) {
    if (result != 0) report_error(std::string(name) + " returned " + std::to_string(result));
    return result;
}

}  // namespace

int run_internal(const CommandLine &line) {
    SAA_Database database{};
    SAA_Scene scene{};
    if (!no_extra_arguments(line)) return kExitUsage;
    if (!open_scene(line, database, scene)) return kCommandFailure;
    PluginSession plugin;
    if (!plugin.ready()) return kCommandFailure;
    SAA_CustomContext context{};
    const int result = checked("initInt", plugin.call("initInt", context));
    plugin.call("cleanupInt", context);
    return result;
}

int run_persistent(const CommandLine &line) {
    PersistentOptions options;
    if (!parse_persistent_options(line, options)) return kExitUsage;
    SAA_Database database{};
    SAA_Scene scene{};
    if (!open_scene(line, database, scene)) return kCommandFailure;
    if (!options.has_frames) {
        SAA_sceneGetPlayCtrlStartFrame(&scene, &options.start);
        SAA_sceneGetPlayCtrlEndFrame(&scene, &options.end);
    }
    PluginSession plugin;
    if (!plugin.ready()) return kCommandFailure;
    SAA_CustomContext context{};
    go_to_frame(scene, options.start);
    // The marks hold for this run only: the scene keeps (and --save stores) its own.
    PersistentMarks marks;
    if (options.all_persistent && !marks.mark_all(scene)) return kCommandFailure;
    const int init_result = checked("initPer", plugin.call("initPer", context));
    marks.restore(scene);
    if (init_result != 0) {
        plugin.call("cleanupPer", context);
        return init_result;
    }
    // Scene names never hold a '/', so the exported files stay in the database's MODELS folder.
    const bool exportable = line.scene.find('/') == std::string::npos;
    if (options.export_each_frame && !exportable) {
        report_error("--export-each-frame: the scene name must not contain '/'");
        plugin.call("cleanupPer", context);
        return kCommandFailure;
    }
    const std::set<ModelKey> before = model_keys(scene);
    int result = 0;
    for (int frame = options.start; frame <= options.end; ++frame) {
        go_to_frame(scene, frame);
        plugin.call("updatePer", context);
        if (options.export_each_frame && !export_frame_mesh(scene, line.scene, frame, before))
            result = kCommandFailure;
    }
    context.state = kStateSaveHairs;
    if (checked("savePer", plugin.call("savePer", context)) != 0) {
        // The hair mesh was refused: a saved scene would silently lack it.
        if (options.save) report_error("scene " + line.scene + " not saved: its hair mesh could not be stored");
        result = kCommandFailure;
    } else if (options.save && SAA_sceneSave(&database, &scene) != SAA_OK) {
        report_error("cannot save scene " + line.scene + ": " + last_host_error());
        result = kCommandFailure;
    }
    plugin.call("cleanupPer", context);
    return result;
}

int run_edit(const CommandLine &line) {
    SAA_Database database{};
    SAA_Scene scene{};
    if (!no_extra_arguments(line)) return kExitUsage;
    if (!open_scene(line, database, scene)) return kCommandFailure;
    PluginSession plugin;
    if (!plugin.ready()) return kCommandFailure;
    SAA_CustomContext context{};
    if (int rc = checked("initPer", plugin.call("initPer", context))) {
        plugin.call("cleanupPer", context);
        return rc;
    }
    const int result = checked("editPer", plugin.call("editPer", context));
    plugin.call("cleanupPer", context);
    return result;
}

}  // namespace vellimor::host_driver
