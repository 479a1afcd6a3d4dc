#include "apps/vellimor-host/fur_settings_scene.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "furdata/fur_data.h"
#include "hair/placement.h"
#include "host/configuration.h"
#include "host/globals.h"
#include "host/scene.h"

namespace vellimor::host_driver {
namespace {

// Holds back what the plug-in's scene reading writes on stderr while it runs: the chatter of its
// start-up ("MY_read_scene", the processor count) is no news to a user of these commands. Its
// warnings and errors are passed on; everything, when the reading failed.
class StartupChatter {
public:
    StartupChatter() {
        std::fflush(stderr);
        kept_ = std::tmpfile();
        saved_ = kept_ ? dup(STDERR_FILENO) : -1;
        if (saved_ >= 0) dup2(fileno(kept_), STDERR_FILENO);
    }
    ~StartupChatter() { pass_on(true); }
    StartupChatter(const StartupChatter &) = delete;
    StartupChatter &operator=(const StartupChatter &) = delete;

    // Restores stderr and writes what was held back: all of it, or its warnings and errors.
    void pass_on(bool everything) {
        if (saved_ < 0) return;
        std::fflush(stderr);
        dup2(saved_, STDERR_FILENO);
        close(saved_);
        saved_ = -1;
        std::rewind(kept_);
        char buffer[1024];
        while (std::fgets(buffer, sizeof buffer, kept_)) {
            const std::string line = buffer;
            size_t at = everything ? 0 : std::min(line.find("ERROR: "), line.find("WARNING: "));
            if (at != std::string::npos) std::fputs(line.c_str() + at, stderr);
        }
        std::fclose(kept_);
        kept_ = nullptr;
    }

private:
    std::FILE *kept_ = nullptr;
    int saved_ = -1;
};

}  // namespace

bool parse_fur_settings_args(const CommandLine &line, FurSettingsArgs &args) {
    std::vector<std::string> files;
    for (size_t i = 0; i < line.args.size(); ++i) {
        if (line.args[i] == "--surface") {
            if (i + 1 >= line.args.size() || line.args[i + 1].empty()) {
                report_error("--surface needs a surface name");
                return false;
            }
            args.surface = line.args[++i];
        } else if (line.args[i] == "--strict" && line.command == "apply-fur") {
            args.strict = true;
        } else if (line.args[i].starts_with("--")) {
            report_error(line.command + ": unknown option \"" + line.args[i] + "\"");
            return false;
        } else {
            files.push_back(line.args[i]);
        }
    }
    if (files.size() != 1 || files[0].empty()) {
        report_error(line.command + " needs one settings FILE: " + line.command +
                     " -d DATABASE -s SCENE [--surface NAME] FILE (- for the standard stream)");
        return false;
    }
    args.file = files[0];
    return true;
}

bool open_fur_scene(const CommandLine &line) {
    SAA_Database database;
    SAA_Scene scene;
    return open_scene(line, database, scene) && read_fur_records(line);
}

bool read_fur_records(const CommandLine &line) {
    // The host's scene is current: read it as the plug-in does inside a host, with every status
    // line on the error stream.
    run_state().run_mode = kRunModeInternal;
    run_state().batch = 1;
    open_message_file();
    StartupChatter chatter;
    if (MY_read_scene(line.scene.c_str(), line.database.c_str()) != 0) {
        chatter.pass_on(true);
        report_error("cannot read the surfaces of scene " + line.scene);
        return false;
    }
    read_fur_data(1);
    chatter.pass_on(false);
    return true;
}

bool fur_surfaces(const CommandLine &line, const FurSettingsArgs &args, std::vector<int> &patches) {
    const SceneState &s = scene_state();
    for (int i = 0; i < s.patch_count(); ++i) {
        if (args.surface.empty() || s.patches[i]->name == args.surface) patches.push_back(i);
    }
    if (!patches.empty()) return true;
    report_error(args.surface.empty() ? "scene " + line.scene + " has no fur surface"
                                      : "scene " + line.scene + " has no fur surface named " + args.surface);
    return false;
}

int estimated_hair_count(int i) {
    Subdivide_patch(i);
    return scene_state().patches[static_cast<size_t>(i)]->hair_count;
}

bool warn_if_no_hairs(int i) {
    const PatchData &record = *scene_state().patches[static_cast<size_t>(i)];
    if (record.deleted || estimated_hair_count(i) > 0) return false;
    std::fflush(stdout);
    std::fprintf(stderr, "%s: warning: surface %s grows no hairs (number_of_hairs_pr_square_unit = %d)\n", kProgram,
                 record.name.c_str(), record.number_of_hairs_pr_square_unit);
    return true;
}

std::string fur_summary(int i) {
    const PatchData &r = *scene_state().patches[static_cast<size_t>(i)];
    return std::to_string(r.texture_keys.size()) + " texture keys, " +
           std::to_string(r.number_of_hairs_pr_square_unit) + " hairs per square unit";
}

}  // namespace vellimor::host_driver
