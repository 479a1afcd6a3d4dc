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
    {"info", run_info, "print the play range, cameras, lights and models of a scene"},
    {"internal", run_internal, "run the plug-in's internal mode (initInt, cleanupInt)"},
    {"persistent", run_persistent, "run the persistent effect: --frames START END [--save] [--export-each-frame]\n"
     "               [--all-persistent] (every surface rebuilt at every frame, not only the marked ones)"},
    {"edit", run_edit, "open the designer on a persistent effect (initPer, editPer)"},
    {"export-fur", run_export_fur, "write the fur settings of the surfaces: [--surface NAME] FILE"},
    {"apply-fur", run_apply_fur, "apply a fur settings file and save the scene: [--surface NAME] FILE"},
};

constexpr int kUsageStatus = 2;

void print_usage() {
    std::fprintf(stderr, "usage: %s COMMAND -d DATABASE -s SCENE [options]\ncommands:\n", kProgram);
    for (const Command &c : kCommands) std::fprintf(stderr, "  %-12s %s\n", c.name, c.summary);
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
    case Parse::usage: print_usage(); return kUsageStatus;
    case Parse::bad_option: return kUsageStatus;
    case Parse::ok: break;
    }
    for (const Command &c : kCommands)
        if (line.command == c.name) return c.run(line);
    report_error("unknown command \"" + line.command + "\"");
    print_usage();
    return kUsageStatus;
}
