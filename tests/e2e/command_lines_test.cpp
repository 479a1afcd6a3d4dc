// Every program's command lines that end in one answer: help, versions, usage errors, refusals
// before any work, and the switches a batch run reports. Each row is one run of a program in the
// user's folder, with the furry square ($SQ), the demo ($DEMO, only read) and a plain file
// ($W/file) where a folder should be.
#include "support/test_prelude.h"

#include <regex>

#include "platform/processors.h"
#include "support/program_test.h"

namespace vellimor {
namespace {

using test::ProgramResult;

struct Line {
    std::string command;  // the program and its arguments, split at blanks
    int status;           // -1: any failure that is not a crash
    std::vector<std::string> err = {};  // each exactly once; "!text": never
    std::string out = "";              // a regex stdout holds
    test::Environment env = {};
    std::string err_re = "";  // a regex stderr holds
};

const std::string kUsage = "^Usage: Fur database scene \\[options\\]\n   -r path ";
const std::string kStart = "Fur stand alone version\n", kBatchStart = kStart + "Render batch flag\n";
const std::string kBanner = "Fur build: 2000, date: Jan 28 17:52:04 WET 1999\n";
const std::string kNoDisplay = "Can't open a window: no X display available\n";
const std::string kOneLine = "^[^\n]*\n$";

class CommandLines : public test::ProgramTest {
protected:
    void SetUp() override {
        fur_square();
        std::ofstream(path("file")) << "a file where a folder should be";
    }
    std::string expand(std::string text) const {
        for (const auto &[from, to] : {std::pair<std::string, std::string>{"$SQ", path("db")},
                                       {"$DEMO", test::demo_database()}, {"$W", work.path()}})
            for (size_t at; (at = text.find(from)) != std::string::npos;) text.replace(at, from.size(), to);
        return text;
    }
    void check(const std::vector<Line> &runs) {
        for (const Line &row : runs) {
            std::vector<std::string> args;
            std::istringstream words(row.command);
            for (std::string word; std::getline(words, word, ' ');) args.push_back(expand(word));
            const std::string what = expand(row.command);
            test::Environment env;
            for (const auto &[name, value] : row.env) env[name] = value ? std::optional(expand(*value)) : value;
            const ProgramResult r = run(args[0], {args.begin() + 1, args.end()}, env);
            EXPECT_TRUE(row.status < 0 ? r.status > 0 && r.status < 128 : r.status == row.status) << r.status << " " << what << "\n"
                                                                                   << r.err;
            EXPECT_TRUE(std::regex_search(r.out, std::regex(row.out))) << what << "\n" << r.out;
            EXPECT_TRUE(std::regex_search(r.err, std::regex(row.err_re))) << what << "\n" << r.err;
            for (const std::string &part : row.err) {
                const bool never = part.starts_with("!");
                EXPECT_EQ(test::count(r.err, expand(part.substr(never))), never ? 0u : 1u) << what << part << "\n"
                                                                                          << r.err;
            }
        }
    }
};

TEST_F(CommandLines, HelpVersionsAndInfoOnStdout) {
    std::vector<Line> runs = {
        {"vellimor-host --help", 0, {}, "\n  render ", {}, "^$"},
        {"vellimor-host --version", 0, {}, "^vellimor-host \\(Vellimor\\) [0-9]+\\.[0-9]+\n$"},
        {"vellimor-pic --help", 0, {}, "^usage: vellimor-pic info FILE\n"},
        {"vellimor-pic --version", 0, {}, "^vellimor-pic \\(Vellimor\\) [0-9]+\\.[0-9]+\n$"},
    };
    // Every command's --help; -h on the commands that look for it each in a way of their own, which
    // come first.
    for (const std::string help : {"--help", "-h"}) {
        for (const std::string command : {"render", "import", "flip-surface", "info", "export-curves", "farm-submit",
                                          "internal", "persistent", "edit", "export-fur", "apply-fur"}) {
            if (help == "-h" && command == "export-curves") break;
            runs.push_back({"vellimor-host " + command + " " + help, 0, {}, "^usage: vellimor-host " + command});
        }
        for (const std::string command : {"info", "to-png", "from-png"})
            runs.push_back({"vellimor-pic " + command + " " + help, 0, {}, "^usage: vellimor-pic"});
        runs.push_back({"vellimor " + help, 0, {}, kUsage});
    }
    runs.push_back({"vellimor-host info -d $DEMO -s furball", 0, {}, "^scene furball\nplay range 1\\.\\.30 "
                    "step 1 at 24 fps, current frame 1\nrender 640x480\ncamera Camera [^\n]*\nlight KeyLight [^\n]*\n"
                    "light FillLight [^\n]*\nmodel Sphere type 10 static [^\n]*\nmodel Ground type 1 static [^\n]*\n"
                    "model Flag type 1 animated [^\n]*\nmodel GravityA type 0 static user data: none\n"
                    "model Wind type 4 animated user data: none\n", {}, "^$"});
    runs.push_back({"vellimor-host render --help", 0, {},
                    "^usage: vellimor-host render -d DATABASE -s SCENE \\[options\\]\n"});
    check(runs);
}

TEST_F(CommandLines, WrongUsageEndsWithStatusTwoAndOneLine) {
    std::vector<Line> runs = {
        {"vellimor-host", 2, {}, "^$"},
        {"vellimor-host paint", 2, {}, "^$"},
        {"vellimor-host persistent -d x -s y --bogus", 2, {}, "^$"},
        {"vellimor-host internal -d x -s y extra", 2, {}, "^$"},
        {"vellimor-host export-fur -d x -s y --bogus f", 2, {}, "^$"},
        {"vellimor-host info -d", 2, {}, "^$"},
        {"vellimor-host render -s fur", 2},
        {"vellimor-pic convert", 2},
        {"vellimor-host render -d $SQ -s fur --size 100000 100000", 2, {}, "", {},
         "^vellimor-host: --size 100000 100000: width and height must lie in 1..32767 \\(the largest PIC picture\\)\n$"},
        {"vellimor-host render -d $SQ -s fur --output $W/file/x", 1, {}, "", {},
         "^vellimor-host: cannot write frames into [^\n]*/file: Not a directory\n$"},
        {"vellimor-host render -d $SQ -s fur --threads 0", 2},
        {"vellimor-host render -d $SQ -s fur --max-memory lots", 2},
        {"vellimor-host render -d $SQ -s fur --jobs 0", 2, {"--jobs must be 1 or more"}},
        {"vellimor-host render -d $DEMO -s furball --frames 1 2 --jobs 2 --size 8 8 --output $W/file/f", 1,
         {"vellimor-host: cannot write frames into $W/file: "}},
        {"vellimor-host farm-submit -d $DEMO -s furball --frames 1 6", 2},
        {"vellimor-host farm-submit -d $DEMO -s furball --slurm --dry-run", 2, {"farm-submit needs --frames"}},
        {"vellimor-host farm-submit -d $DEMO -s furball --slurm --frames 1 6 --chunk 0", 2},
        {"vellimor-host farm-submit -d $DEMO -s furball --slurm --frames 1 --sbatch-arg --time=1\nrm", 2,
         {"--sbatch-arg must not hold a line break"}},
        {"vellimor-host farm-submit -d $DEMO -s furball --slurm --frames 1 2 --output $W/f", 1, {"cannot run sbatch"},
         "", {{"PATH", "/nonexistent"}}},
        {"vellimor-host export-curves -d $DEMO -s furball --frames 1 1", 2},
        {"vellimor-host export-curves -d $DEMO -s furball --format obj x.obj", 2, {"--format must be usda or ply"}},
        {"vellimor-host export-curves -d $DEMO -s furball $W/file/h.usda", 1, {"cannot make folder"}},
        {"vellimor-host import -d $W/imp -s x", 2},
        {"vellimor-host import -d $W/imp -s x --bogus $W/file", 2},
        {"vellimor-host flip-surface -d $W/imp -s x", 2},
        {"vellimor-host export-fur -d $DEMO -s furball", 2, {}, "", {},
         "^vellimor-host: export-fur needs one settings FILE"},
        {"vellimor-host apply-fur -d $SQ -s fur a b", 2},
        {"vellimor-host apply-fur -d $SQ -s fur --surface", 2},
        {"vellimor-host export-fur -d $DEMO -s furball --surface Nobody $W/x.txt", 1,
         {"vellimor-host: scene furball has no fur surface named Nobody\n"}},
        {"vellimor-host export-fur -d $DEMO -s furball $W/no/such/dir/x.txt", 1,
         {"vellimor-host: cannot write $W/no/such/dir/x.txt"}},
        {"vellimor-host export-fur -d $W/nothing -s furball $W/x.txt", 1},
        {"vellimor-host frobnicate", 2, {"info"}},
    };
    // A scene that cannot be read: one line naming it.
    for (const auto &[scene, mention] : std::vector<std::pair<std::string, std::string>>{
             {"-d /nonexistent/database -s furball", "/nonexistent/database"}, {"-d $SQ -s missing", "missing.dsc"},
             {"-d $SQ -s broken", "broken.dsc"}, {"-d $SQ -s truncated", "truncated.dsc"}, {"-s furball", "-d DATABASE"},
             {"-d $SQ -s", "-s needs a value"}})
        runs.push_back({"vellimor-host info " + scene, -1, {mention}, "^$", {}, kOneLine});
    std::ofstream(path("db/SCENES/broken.dsc")) << R"({"version": 1, "models": [{"name": "A", "type": 1}]})";
    std::ofstream(path("db/SCENES/truncated.dsc")) << R"({"version": 1, "mod)";
    const std::string render = "vellimor-host render -d $SQ -s fur ";
    for (const std::string frames : {"3 1", "1-", "5-1", "1-9x0", "1,,3", "x"})
        runs.push_back({render + "--frames " + frames, 2, {}, "", {},
                        frames == "3 1" ? kOneLine : "^vellimor-host: --frames: "});
    for (const char *wrong : {"--aa 9", "--format gif", "--aspect wide", "--bogus"})
        runs.push_back({render + wrong, 2, {}, "", {}, kOneLine});
    check(runs);
    EXPECT_FALSE(std::filesystem::exists(path("x.txt")));
    EXPECT_FALSE(std::filesystem::exists(path("imp")));
    EXPECT_TRUE(std::filesystem::is_empty(path("db/RENDER_PICTURES")));
}

TEST_F(CommandLines, TheStandAloneProgramSaysWhatIsWrongAndReportsEverySwitch) {
    // A run uses every core it may, unless FUR_MAX_PROC says otherwise.
    const int cores = platform::available_processors();
    const std::string every = cores == 1 ? "Running on 1 processor\n" : "Running on " + std::to_string(cores) + " processors\n";
    const std::string more = std::to_string(cores + 1);
    check({
        {"vellimor -Z", 95, {}, kUsage, {}, "^" + kStart},
        {"vellimor -n 1 2", 95, {}, kUsage},
        {"vellimor -b -d", 95, {}, kUsage},
        {"vellimor -S 10", 95, {}, kUsage},
        {"vellimor -j", 95, {}, kUsage},
        {"vellimor -b -s furball", 95,
         {kBatchStart + "Please specify both scene and database name when running a batch render\n"}, kUsage},
        // Parsing stops at the first plain argument.
        {"vellimor -b fur -d $SQ -s fur", 95, {"Please specify both scene and database name"}},
        {"vellimor -a -P -b", 255, {kStart + "Render alpha\nPlugins not supported on NT workstations\n"}, "^$"},
        {"vellimor -b -d $SQ -s fur -n 10 5 1 -o refused", 95,
         {"Render sequence error: start 10 end 5\nCheck the start and end frames in the host, \nit is not possible "
          "to render frames outside the limits set in the host\n"}},
        {"vellimor -b -d $SQ -s no_such_scene", -1, {"Can't load scene no_such_scene - "}},
        {"vellimor", 95, {"vellimor: Can't load the plug-in"}, "", {{"VELLIMOR_PLUGIN", "$W/nothing.so"}}},
        {"vellimor -d $SQ -s fur", -1, {kNoDisplay}},
        {"vellimor -b -d $SQ -s fur -j 9 -S 32 24", 0,
         {kBatchStart + "Anti aliazing level 9\nRender size 32x24\n" + kBanner + "MY_read_scene",
          every, "Building hairs on: Square\n"},
         "^$"},
        {"vellimor -b -r $W/ -d $SQ -s fur -n 1 2 0 -S 40 30 -W 500 600 -A 1.25 -j 2 -a -p -o out -X", 0,
         {kBatchStart + "Render frames 1 -> 2 , 0\nRender size 40x30\nWindow size 500x600\nRender aspect 1.250000\n"
                        "Anti aliazing level 2\nRender alpha\nPersistent Rebuild All flag\nUse PixMap\n" + kBanner},
         "^$"},
        {"vellimor -b -d $SQ -s fur -S 16 12", 0, {"FUR_LOCATION env variable not defined, using SI_LOCATION\n"}, "",
         {{"TEMP", std::nullopt}, {"TMPDIR", "$W/"}, {"FUR_LOCATION", std::nullopt}}},
        {"vellimor -b -d $SQ -s fur -S 16 12", 0,
         {"Using IrisGL drawing mode\nNew size 500x0\nWarning: number of processors: " + more +
          " set to more than the actual number of processors:" + std::to_string(cores) + "\nRunning on " + more +
          " processors\n"},
         "", {{"FUR_MAX_PROC", more}, {"FUR_SIZE", "500, 300"}, {"FUR_USE_IRIS_GL", "1"}}},
    });
    // A refused range renders nothing; status lines reach the message file too.
    for (const auto &entry : std::filesystem::directory_iterator(work.path()))
        EXPECT_FALSE(entry.path().filename().string().starts_with("refused")) << entry.path();
    EXPECT_TRUE(test::contains(messages(), "Building hairs on: Square\n"));
}

// Runs that cannot succeed are refused before any work: a missing plug-in, a designer without a
// display, pictures larger than the renderer draws.
TEST_F(CommandLines, WhatCannotRunIsRefusedUpFront) {
    std::vector<Line> runs;
    for (const std::string command : {"render", "export-curves c.usda", "info", "export-fur -", "persistent",
                                      "farm-submit --slurm --frames 1 --dry-run"}) {
        const std::string verb = command.substr(0, command.find(' ')), rest = command.substr(verb.size());
        runs.push_back({"vellimor-host " + verb + " -d $SQ -s fur" + rest, 1,
                        {"Can't load the plug-in $W/none/libvellimor.so"}, "", {{"VELLIMOR_PLUGIN", "$W/none/libvellimor.so"}}});
    }
    for (const std::string size : {"32767", "32705"}) {
        runs.push_back({"vellimor-host render -d $DEMO -s furball --size " + size + " " + size + " --output $W/big", 1,
                        {"no offscreen picture of " + size + "x" + size}});
        runs.push_back({"vellimor -b -d $DEMO -s furball -S " + size + " " + size + " -o $W/big", 95,
                        {"Can't open PixMap offscreen image", "!Building hairs"}});
    }
    runs.push_back({"vellimor-host internal -d $DEMO -s furball", -1, {kNoDisplay}, "", {},
                    "^Fur internal version\nFur build: 2000"});
    runs.push_back({"vellimor-host edit -d $DEMO -s furball", -1, {kNoDisplay}});
    check(runs);
    EXPECT_TRUE(test::contains(messages(), "Edit Persistent\n"));
}

}  // namespace
}  // namespace vellimor
