// vellimor-host COMMAND -d DATABASE -s SCENE [options]: the host driver's commands. They live in
// the plug-in, whose one more export the program calls, so that every command runs the build of
// the plug-in the program loads ($VELLIMOR_PLUGIN or the installed one).
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "apps/vellimor-host/commands.h"

using namespace vellimor::host_driver;

namespace {

struct Command {
    const char *name;
    int (*run)(const CommandLine &);
    const char *summary;
    const char *usage;  // what --help prints; null where the command prints its own
};

constexpr const char *kInfoUsage =
    "usage: vellimor-host info -d DATABASE -s SCENE\n"
    "Prints what the scene holds: its play range, the render size, antialiasing level, alpha and\n"
    "frame range stored with its fur, its cameras, lights and models, and one line per fur surface.\n";
constexpr const char *kInternalUsage =
    "usage: vellimor-host internal -d DATABASE -s SCENE\n"
    "Runs the plug-in's internal mode on the scene (initInt, cleanupInt): the designer inside the\n"
    "host. Needs an X display.\n";
constexpr const char *kPersistentUsage =
    "usage: vellimor-host persistent -d DATABASE -s SCENE [--frames START END] [--save]\n"
    "                                [--export-each-frame] [--all-persistent]\n"
    "Runs the persistent effect over the frames (default: the play range): at every frame the\n"
    "surfaces marked presistant_rebuild regrow their fur, kept as one hair mesh in the scene.\n"
    "  --save               save the scene with its hair mesh afterwards\n"
    "  --export-each-frame  write each frame's hair mesh to MODELS/SCENE-hairs.FRAME.ply\n"
    "  --all-persistent     regrow every surface at every frame, for this run only\n";
constexpr const char *kEditUsage =
    "usage: vellimor-host edit -d DATABASE -s SCENE\n"
    "Opens the designer on the scene's persistent effect (initPer, editPer). Needs an X display.\n";
constexpr const char *kExportFurUsage =
    "usage: vellimor-host export-fur -d DATABASE -s SCENE [--surface NAME] FILE|-\n"
    "Writes the fur settings of every surface (or the one named) as a settings text file\n"
    "(- for standard output).\n";
constexpr const char *kApplyFurUsage =
    "usage: vellimor-host apply-fur -d DATABASE -s SCENE [--strict] [--surface NAME] FILE|-\n"
    "Applies a fur settings file (- for standard input) to every surface it names (or the one\n"
    "named) and saves the scene; --strict changes nothing when any setting is doubtful.\n";

// One line per subcommand.
constexpr Command kCommands[] = {
    {"render", run_render, "render frames to PIC, PNG or EXR files: [--frames 1-100] [--size W H] ...", nullptr},
    {"export-curves", run_export_curves, "write the hairs as curves: [--frames 1-100] [--format usda|ply] OUT",
     nullptr},
    {"farm-submit", run_farm_submit, "render on a Slurm cluster: --slurm --frames 1-100 [--chunk K] [--wait] ...",
     nullptr},
    {"info", run_info, "print the play range, render settings, cameras, lights, models and each surface's fur",
     kInfoUsage},
    {"internal", run_internal, "run the plug-in's internal mode (initInt, cleanupInt)", kInternalUsage},
    {"persistent", run_persistent, "run the persistent effect: --frames START END [--save] [--export-each-frame]\n"
     "               [--all-persistent] (every surface rebuilt at every frame, not only the marked ones)",
     kPersistentUsage},
    {"edit", run_edit, "open the designer on a persistent effect (initPer, editPer)", kEditUsage},
    {"export-fur", run_export_fur, "write the fur settings of the surfaces: [--surface NAME] FILE|-", kExportFurUsage},
    {"apply-fur", run_apply_fur, "apply a fur settings file and save the scene: [--strict] [--surface NAME] FILE|-",
     kApplyFurUsage},
    {"import", run_import, "bring in surfaces from OBJ and USD text files (creates the scene): FILE...", nullptr},
    {"flip-surface", run_flip_surface, "turn surfaces over so their fur grows on the other side: NAME...", nullptr},
};



void print_usage(std::FILE *out) {
    std::fprintf(out, "usage: %s COMMAND -d DATABASE -s SCENE [options]\n"
                      "       %s --help | --version\ncommands:\n", kProgram, kProgram);
    for (const Command &c : kCommands) std::fprintf(out, "  %-12s %s\n", c.name, c.summary);
    std::fprintf(out, "Each command says more with --help (render --help).\n"
                      "Exit status: 0 done, 1 failed (the last line says why), 2 wrong usage.\n");
}

enum class Parse { ok, usage, bad_option };

// Takes the common options out of the arguments; the rest stays for the command.
Parse parse(int argc, char **argv, CommandLine &line) {
    if (argc < 2) return Parse::usage;
    line.command = argv[1];
    for (int i = 2; i < argc; ++i) {
        bool database = std::strcmp(argv[i], "-d") == 0, scene = std::strcmp(argv[i], "-s") == 0;
        if (!database && !scene) {
            line.args.emplace_back(argv[i]);
            continue;
        }
        if (i + 1 >= argc) {
            report_error(std::string("option ") + argv[i] + " needs a value");
            return Parse::bad_option;
        }
        (database ? line.database : line.scene) = argv[++i];
    }
    return Parse::ok;
}

}  // namespace

namespace vellimor::host_driver {

bool asks_for_help(const CommandLine &line) {
    return std::any_of(line.args.begin(), line.args.end(), [](const std::string &a) { return a == "--help" || a == "-h"; });
}

int run_host_command(int argc, char **argv) {
    CommandLine line;
    switch (parse(argc, argv, line)) {
    case Parse::usage: print_usage(stderr); return kExitUsage;
    case Parse::bad_option: return kExitUsage;
    case Parse::ok: break;
    }
    if (line.command == "--help" || line.command == "-h" || line.command == "help") {
        print_usage(stdout);
        return kExitSuccess;
    }
    if (line.command == "--version") {
        std::printf("%s (Vellimor) %s\n", kProgram, VELLIMOR_VERSION);
        return kExitSuccess;
    }
    for (const Command &c : kCommands) {
        if (line.command != c.name) continue;
        if (c.usage && asks_for_help(line)) {
            std::fputs(c.usage, stdout);
            return kExitSuccess;
        }
        return c.run(line);
    }
    report_error("unknown command \"" + line.command + "\"");
    print_usage(stderr);
    return kExitUsage;
}

}  // namespace vellimor::host_driver

extern "C" __attribute__((visibility("default"))) int vellimor_host_main(int argc, char **argv) {
    return vellimor::host_driver::run_host_command(argc, argv);
}
