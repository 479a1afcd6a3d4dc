// "import": surfaces from OBJ and USD text files into a scene, which it creates when there is
// none yet. Every file is read before the scene is written, once, so a file that is refused
// leaves the scene as it was; objects that can't become surfaces are named and skipped.
#include <cstdio>
#include <map>

#include "apps/vellimor-host/scene_edit.h"
#include "saa/fur_side.h"
#include "saa/model_import.h"

namespace vellimor::host_driver {
namespace {

constexpr const char *kUsage =
    "usage: vellimor-host import -d DATABASE -s SCENE FILE...\n"
    "Brings the surfaces of OBJ (.obj) and USD text (.usda) files into the scene, creating the\n"
    "database and the scene (with a camera framing them, a key light, frames 1-30, 640x480)\n"
    "when they do not exist. Quad-grid meshes become cardinal patch surfaces through their\n"
    "vertices, free-form and NurbsPatch surfaces NURBS surfaces; fur grows on the outside.\n"
    "A surface imported again under its name gets the new geometry and keeps its fur settings.\n"
    "One line per surface on stdout. Exit status: 0 all imported, 1 something refused (the\n"
    "rest imported), 2 wrong usage.\n";

std::string describe(const saa::Model &m) {
    char text[256];
    const saa::Bounds b = saa::surface_bounds(m);
    const saa::FurSide side = saa::fur_side(m);
    const std::string kind =
        m.patch ? "cardinal patch surface, " + std::to_string(m.patch->u.count) + " x " + std::to_string(m.patch->v.count) + " vertices"
                : "NURBS surface of degree " + std::to_string(m.nurbs->u.degree) + " x " + std::to_string(m.nurbs->v.degree) +
                      ", " + std::to_string(m.nurbs->u.count) + " x " + std::to_string(m.nurbs->v.count) + " control points";
    std::snprintf(text, sizeof text, "%s, %.4g x %.4g x %.4g units, %s", kind.c_str(), b.high[0] - b.low[0],
                  b.high[1] - b.low[1], b.high[2] - b.low[2],
                  side.closed ? (side.outward ? "closed, fur outward" : "closed, fur inward") : "open");
    return text;
}

// A name seen before in this import gets ".2", ".3", ... in file order, so importing the same
// files again finds the same names.
std::string unique_name(std::map<std::string, int> &seen, const std::string &name) {
    const int n = ++seen[name];
    return n == 1 ? name : name + "." + std::to_string(n);
}

}  // namespace

int run_import(const CommandLine &line) {
    if (asks_for_help(line)) {
        std::fputs(kUsage, stdout);
        return kExitSuccess;
    }
    for (const std::string &a : line.args)
        if (!a.empty() && a[0] == '-') {
            report_error("import has no option " + a);
            std::fputs(kUsage, stderr);
            return kExitUsage;
        }
    if (line.args.empty() || line.database.empty() || line.scene.empty()) {
        report_error("import needs -d DATABASE, -s SCENE and at least one FILE");
        std::fputs(kUsage, stderr);
        return kExitUsage;
    }
    EditedScene edited;
    if (!read_edited_scene(line, true, edited)) return kExitFailure;
    bool refused = false;
    std::map<std::string, int> seen;
    std::vector<std::string> lines;
    for (const std::string &file : line.args) {
        saa::ImportedModels models;
        try {
            models = saa::import_model_file(file);
        } catch (const saa::ModelFileError &e) {
            report_error(std::string(e.what()) + " (nothing imported from it)");
            refused = true;
            continue;
        }
        for (const std::string &w : models.warnings) std::fprintf(stderr, "%s: warning: %s: %s\n", kProgram, file.c_str(), w.c_str());
        for (const std::string &r : models.refused) report_error(file + ": " + r + " (skipped)");
        refused = refused || !models.refused.empty();
        for (saa::Model &m : models.surfaces) {
            m.name = unique_name(seen, m.name);
            const std::string name = m.name, description = describe(m);
            switch (saa::merge_surface(edited.scene, std::move(m))) {
            case saa::Merge::added:
                lines.push_back(name + ": " + description + " (new, from " + file + ")");
                break;
            case saa::Merge::replaced:
                lines.push_back(name + ": " + description + " (geometry replaced from " + file + ", fur settings kept)");
                break;
            case saa::Merge::refused:
                report_error(file + ": " + name + ": the scene's model of that name is no surface (skipped)");
                refused = true;
                break;
            }
        }
    }
    if (lines.empty()) {
        report_error("nothing imported; " + (edited.exists ? "scene " + edited.path + " is left as it was" : "no scene made"));
        return kExitFailure;
    }
    if (!edited.exists) saa::frame_scene(edited.scene);
    if (!write_edited_scene(line, edited)) return kExitFailure;
    for (const std::string &l : lines) std::printf("%s\n", l.c_str());
    return refused ? kExitFailure : kExitSuccess;
}

}  // namespace vellimor::host_driver
