// vellimor-host COMMAND -d DATABASE -s SCENE [options]: the host driver program.
#include <cstdio>
#include <cstring>

#include "apps/vellimor-host/commands.h"

using namespace vellimor::host_driver;

namespace {

struct Command {
    const char *name;
    int (*run)(const CommandLine &);
    const char *summary;
};

// One line per subcommand.
constexpr Command kCommands[] = {
    {"render", run_render, "render frames to PIC or PNG files: [--frames START END [STEP]] [--size W H] ..."},
    {"export-curves", run_export_curves, "write the hairs as curves: [--frames START END] [--format usda|ply] OUT"},
    {"farm-submit", run_farm_submit, "render on a Slurm cluster: --slurm --frames START END [--chunk K] [--dry-run] ..."},
    {"info", run_info, "print the play range, cameras, lights, models and each surface's fur"},
    {"internal", run_internal, "run the plug-in's internal mode (initInt, cleanupInt)"},
    {"persistent", run_persistent, "run the persistent effect: --frames START END [--save] [--export-each-frame]\n"
     "               [--all-persistent] (every surface rebuilt at every frame, not only the marked ones)"},
    {"edit", run_edit, "open the designer on a persistent effect (initPer, editPer)"},
    {"export-fur", run_export_fur, "write the fur settings of the surfaces: [--surface NAME] FILE|-"},
    {"apply-fur", run_apply_fur, "apply a fur settings file and save the scene: [--strict] [--surface NAME] FILE|-"},
    {"import", run_import, "bring in surfaces from OBJ and USD text files (creates the scene): FILE..."},
    {"flip-surface", run_flip_surface, "turn surfaces over so their fur grows on the other side: NAME..."},
};

void print_usage(std::FILE *out) {
    std::fprintf(out, "usage: %s COMMAND -d DATABASE -s SCENE [options]\n"
                      "       %s --help | --version\ncommands:\n", kProgram, kProgram);
    for (const Command &c : kCommands) std::fprintf(out, "  %-12s %s\n", c.name, c.summary);
    std::fprintf(out, "Each command says more with --help where it has options (render --help).\n"
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

int main(int argc, char **argv) {
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
    for (const Command &c : kCommands)
        if (line.command == c.name) return c.run(line);
    report_error("unknown command \"" + line.command + "\"");
    print_usage(stderr);
    return kExitUsage;
}
