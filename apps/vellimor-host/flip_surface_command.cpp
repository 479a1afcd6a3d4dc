#include <cstdio>

#include "apps/vellimor-host/scene_edit.h"
#include "saa/fur_side.h"

namespace vellimor::host_driver {

// "flip-surface": turns surfaces of a scene over, so their fur grows on the other side; the
// fur settings stay as they are.
int run_flip_surface(const CommandLine &line) {
    if (asks_for_help(line)) {
        std::fputs("usage: vellimor-host flip-surface -d DATABASE -s SCENE NAME...\n"
                   "Turns each named surface over (reverses its u direction), so its fur grows on the other\n"
                   "side; fur settings are kept. Exit status: 0 done, 1 failed, 2 wrong usage.\n",
                   stdout);
        return kExitSuccess;
    }
    if (line.args.empty()) {
        report_error("flip-surface needs the NAME of a surface");
        return kExitUsage;
    }
    EditedScene edited;
    if (!read_edited_scene(line, false, edited)) return kExitFailure;
    std::vector<std::string> lines;
    for (const std::string &name : line.args) {
        saa::Model *found = nullptr;
        for (saa::Model &m : edited.scene.models)
            if (m.alive && m.name == name && (m.patch || m.nurbs)) found = &m;
        if (!found) {
            report_error("scene " + edited.path + " has no surface \"" + name + "\"; nothing turned over");
            return kExitFailure;
        }
        saa::turn_over(*found);
        const saa::FurSide side = saa::fur_side(*found);
        lines.push_back(name + ": turned over, fur now grows " +
                        (side.closed ? (side.outward ? "outward" : "inward") : "on the other side"));
    }
    if (!write_edited_scene(line, edited)) return kExitFailure;
    for (const std::string &l : lines) std::printf("%s\n", l.c_str());
    return kExitSuccess;
}

}  // namespace vellimor::host_driver
