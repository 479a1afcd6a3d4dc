#include "host/command_line.h"

#include <cstdio>

#include "host/globals.h"
#include "host/number_text.h"

namespace vellimor {
namespace {

const char *const kUsageLines[] = {
    "Usage: Fur database scene [options]\n",
    "   -r path                   Specify other than default resources\n",
    "\nThe database has to be FULL path, like /usr/people/<user>/<database_name> or "
    "~/<database_name>\n",
    "\nBatch render switches\n",
    "   -b                        Batch render.\n",
    "   -n start end step         Frames to render\n",
    "   -S xres yres              Image size\n",
    "   -A aspect                 Aspect ratio\n",
    "   -j antializing            Antialiazing level 0 - 7\n",
    "   -a                        Render alpha plane\n",
    "   -P                        Call render plugin\n",
    "   -p                        All objects is persistent rebuild\n",
    "   -o filename               Output render filename\n",
    "\n\n",
    "Environment variables, set these variables before starting\n",
    "the host and Vellimor:\n",
    "   setenv FUR_LOCATION path\t\tSets the path to Vellimor\n",
    "   setenv FUR_USE_IRIS_GL 1\t\tForces Vellimor to use IrisGL\n",
    "   setenv FUR_NO_BACKUP 1\t\tNo automatic backups will be saved\n",
    "   setenv FUR_BACKUP_INTERVAL sek\tSpecifies the number of seconds between automatic "
    "backups\n",
    "   setenv FUR_SINGLE_BUFFER 1\t\tForces single buffer rendering\n",
    "   setenv FUR_SINGLE_BUFFER 0\t\tForces double buffer rendering\n",
    "   setenv FUR_SAVE_PLUGIN 1\t\tCall the Vellimor save plugin\n",
    "   setenv FUR_SIZE xsize, ysize\t\tSets the Vellimor window size to other then fullscreen\n",
    "   setenv FUR_TEXTURE_SEARCH_RANGE <number>\tSets the maximum number of frames Vellimor "
    "will search forward/backwards for a animated texture image. Default = 500\n",
    "   setenv FUR_MAX_PROC num\t\tSets the number of processors to use\n",
    "\n\n",
};

// The arguments of the option at argv[i]: argv[i + 1] .. argv[i + n], when all are there.
class Arguments {
public:
    Arguments(int argc, const char *const *argv) : argc_(argc), argv_(argv) {}
    bool has(int i, int n) const { return i + n < argc_; }
    const char *text(int i) const { return argv_[i]; }
    int integer(int i) const { return leading_int(argv_[i]); }

private:
    int argc_;
    const char *const *argv_;
};

// Number of arguments each option takes; -1 for letters that are no option.
int argument_count(char letter) {
    switch (letter) {
    case 'r': case 'd': case 's': case 'A': case 'j': case 'o': return 1;
    case 'S': case 'W': return 2;
    case 'n': return 3;
    case 'b': case 'a': case 'p': case 'X': case 'P': return 0;
    default: return -1;
    }
}

void apply_option(char letter, const Arguments &args, int i, CommandLine &line) {
    switch (letter) {
    case 'r':
        line.has_resource_path = true;
        line.resource_path = args.text(i + 1);
        break;
    case 'd': line.database = args.text(i + 1); break;
    case 's': line.scene = args.text(i + 1); break;
    case 'b':
        line.batch = true;
        std::fprintf(stderr, "Render batch flag\n");
        break;
    case 'n':
        line.has_frames = true;
        line.start = args.integer(i + 1);
        line.end = args.integer(i + 2);
        line.step = args.integer(i + 3);
        std::fprintf(stderr, "Render frames %d -> %d , %d\n", line.start, line.end, line.step);
        break;
    case 'S':
        line.has_size = true;
        line.xres = args.integer(i + 1);
        line.yres = args.integer(i + 2);
        std::fprintf(stderr, "Render size %dx%d\n", line.xres, line.yres);
        break;
    case 'W':
        config().window_x = args.integer(i + 1);
        config().window_y = args.integer(i + 2);
        std::fprintf(stderr, "Window size %dx%d\n", config().window_x, config().window_y);
        break;
    case 'A':
        line.has_aspect = true;
        line.aspect = static_cast<float>(leading_double(args.text(i + 1)));
        std::fprintf(stderr, "Render aspect %f\n", line.aspect);
        break;
    case 'j':
        line.has_antialias = true;
        line.antialias = args.integer(i + 1);
        std::fprintf(stderr, "Anti aliazing level %d\n", line.antialias);
        break;
    case 'a':
        line.alpha = true;
        std::fprintf(stderr, "Render alpha\n");
        break;
    case 'p':
        line.persistent_all = true;
        std::fprintf(stderr, "Persistent Rebuild All flag\n");
        break;
    case 'o':
        line.has_output = true;
        line.output = args.text(i + 1);
        break;
    case 'X':
        line.pixmap_only = true;
        std::fprintf(stderr, "Use PixMap\n");
        break;
    default: break;
    }
}

}  // namespace

void print_usage() {
    for (const char *line : kUsageLines) std::fputs(line, stdout);
    std::fflush(stdout);
}

ParseResult parse_command_line(int argc, const char *const *argv, CommandLine &line) {
    const Arguments args(argc, argv);
    int i = 1;
    while (i < argc && argv[i] && argv[i][0] == '-') {
        const char letter = argv[i][1];
        if (letter == 'P') {
            std::fprintf(stderr, "Plugins not supported on NT workstations\n");
            return ParseResult::PluginExit;
        }
        const int n = argument_count(letter);
        if (n < 0 || !args.has(i, n)) return ParseResult::Usage;
        apply_option(letter, args, i, line);
        i += 1 + n;
    }
    return ParseResult::Ok;
}

}  // namespace vellimor
