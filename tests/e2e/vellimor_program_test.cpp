// The stand-alone program end to end: command line, messages, exit statuses, batch path.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/processors.h"
#include "support/program_test.h"

namespace vellimor {
namespace {

using test::ProgramResult;

const char *const kUsage =
    "Usage: Fur database scene [options]\n"
    "   -r path                   Specify other than default resources\n"
    "\nThe database has to be FULL path, like /usr/people/<user>/<database_name> or ~/<database_name>\n"
    "\nBatch render switches\n"
    "   -b                        Batch render.\n"
    "   -n start end step         Frames to render\n"
    "   -S xres yres              Image size\n"
    "   -A aspect                 Aspect ratio\n"
    "   -j antializing            Antialiazing level 0 - 7\n"
    "   -a                        Render alpha plane\n"
    "   -P                        Call render plugin\n"
    "   -p                        All objects is persistent rebuild\n"
    "   -o filename               Output render filename\n"
    "\n\n"
    "Environment variables, set these variables before starting\n"
    "the host and Vellimor:\n"
    "   setenv FUR_LOCATION path\t\tSets the path to Vellimor\n"
    "   setenv FUR_USE_IRIS_GL 1\t\tForces Vellimor to use IrisGL\n"
    "   setenv FUR_NO_BACKUP 1\t\tNo automatic backups will be saved\n"
    "   setenv FUR_BACKUP_INTERVAL sek\tSpecifies the number of seconds between automatic backups\n"
    "   setenv FUR_SINGLE_BUFFER 1\t\tForces single buffer rendering\n"
    "   setenv FUR_SINGLE_BUFFER 0\t\tForces double buffer rendering\n"
    "   setenv FUR_SAVE_PLUGIN 1\t\tCall the Vellimor save plugin\n"
    "   setenv FUR_SIZE xsize, ysize\t\tSets the Vellimor window size to other then fullscreen\n"
    "   setenv FUR_TEXTURE_SEARCH_RANGE <number>\tSets the maximum number of frames Vellimor will "
    "search forward/backwards for a animated texture image. Default = 500\n"
    "   setenv FUR_MAX_PROC num\t\tSets the number of processors to use\n"
    "\n\n";

const char *const kStart = "Fur stand alone version\n";
const char *const kBanner = "Fur build: 2000, date: Jan 28 17:52:04 WET 1999\n";

// One run of the program on the demo ("DB" in the arguments), and what it must say.
struct Case {
    const char *what;
    std::vector<std::string> args;
    test::Environment env;
    int status;  // -1: any failure
    const char *out;  // exact, when given
    std::string err_start;
    std::vector<std::string> err_has;
};

const std::string kBatchStart = std::string(kStart) + "Render batch flag\n";

class VellimorProgram : public test::ProgramTest {
protected:
    void check(const std::vector<Case> &cases) {
        for (const Case &c : cases) {
            std::vector<std::string> args = c.args;
            for (std::string &a : args)
                if (a == "DB") a = test::demo_database();
            test::Environment env = c.env;
            for (auto &[name, value] : env)
                if (value && (*value == "." || *value == "nothing.so")) value = path(*value == "." ? "" : *value);
            const ProgramResult r = run("vellimor", args, env);
            if (c.status >= 0) {
                EXPECT_EQ(r.status, c.status) << c.what << "\n" << r.err;
            } else {
                EXPECT_NE(r.status, 0) << c.what;
            }
            if (c.out) {
                EXPECT_EQ(r.out, c.out) << c.what;
            }
            EXPECT_TRUE(r.err.starts_with(c.err_start)) << c.what << "\n" << r.err;
            for (const std::string &part : c.err_has) EXPECT_TRUE(test::contains(r.err, part)) << c.what << "\n" << r.err;
        }
    }
};

TEST_F(VellimorProgram, UsageAndRefusalsSayWhatIsWrong) {
    check({
        {"unknown option", {"-Z"}, {}, 95, kUsage, kStart, {}},
        {"-n without its step", {"-n", "1", "2"}, {}, 95, kUsage, kStart, {}},
        {"-d without its path", {"-b", "-d"}, {}, 95, kUsage, kStart, {}},
        {"-S without its height", {"-S", "10"}, {}, 95, kUsage, kStart, {}},
        {"-j without its level", {"-j"}, {}, 95, kUsage, kStart, {}},
        {"batch without a database", {"-b", "-s", "furball"}, {}, 95, kUsage,
         kBatchStart + "Please specify both scene and database name when running a batch render\n", {}},
        {"parsing stops at the first plain argument", {"-b", "furball", "-d", "DB", "-s", "furball"}, {}, 95,
         nullptr, kStart, {"Please specify both scene and database name"}},
        {"the plug-in option ends the process", {"-a", "-P", "-b"}, {}, 255, "",
         std::string(kStart) + "Render alpha\nPlugins not supported on NT workstations\n", {}},
        {"start after end", {"-b", "-d", "DB", "-s", "furball", "-n", "10", "5", "1", "-o", "refused"}, {}, 95, nullptr, kStart,
         {"Render sequence error: start 10 end 5\nCheck the start and end frames in the host, \nit is not possible "
          "to render frames outside the limits set in the host\n"}},
        {"a missing scene", {"-b", "-d", "DB", "-s", "no_such_scene"}, {}, -1, nullptr, kStart,
         {"Can't load scene no_such_scene - "}},
        {"a missing plug-in", {}, {{"VELLIMOR_PLUGIN", "nothing.so"}}, 95, nullptr, "",
         {"vellimor: Can't load the plug-in"}},
    });
    // A refused range renders nothing.
    for (const auto &entry : std::filesystem::directory_iterator(work.path()))
        EXPECT_NE(entry.path().filename().string().rfind("refused", 0), 0u) << entry.path();
}

// Batch renders on the demo, each case a run of its own.
TEST_F(VellimorProgram, BatchRunsReportEveryOptionAndSwitch) {
    // A run uses every core it may, unless FUR_MAX_PROC says otherwise.
    const int cores = platform::available_processors();
    const std::string every = cores == 1 ? "Running on 1 processor\n" : "Running on " + std::to_string(cores) + " processors\n";
    const std::string more = std::to_string(cores + 1);
    check({
        {"a batch runs through on the demo", {"-b", "-d", "DB", "-s", "furball", "-j", "9", "-S", "32", "24"}, {}, 0,
         "", kBatchStart + "Anti aliazing level 9\nRender size 32x24\n" + kBanner + "MY_read_scene",
         {every, "Building hairs on: Sphere\n"}},
        {"every option reports in order",
         {"-b", "-r", ".", "-d", "DB", "-s", "furball", "-n", "1", "2", "0", "-S", "40", "30", "-W", "500", "600",
          "-A", "1.25", "-j", "2", "-a", "-p", "-o", "out", "-X"},
         {}, 0, "",
         kBatchStart + "Render frames 1 -> 2 , 0\nRender size 40x30\nWindow size 500x600\nRender aspect 1.250000\n"
                       "Anti aliazing level 2\nRender alpha\nPersistent Rebuild All flag\nUse PixMap\n" + kBanner,
         {}},
        {"host variables are set when missing", {"-b", "-d", "DB", "-s", "furball", "-S", "16", "12"},
         {{"TEMP", std::nullopt}, {"TMPDIR", "."}, {"FUR_LOCATION", std::nullopt}}, 0, nullptr, kStart,
         {"FUR_LOCATION env variable not defined, using SI_LOCATION\n"}},
        {"the FUR switches apply on the batch path", {"-b", "-d", "DB", "-s", "furball", "-S", "16", "12"},
         {{"FUR_MAX_PROC", more}, {"FUR_SIZE", "500, 300"}, {"FUR_USE_IRIS_GL", "1"}}, 0, nullptr, kStart,
         {"Using IrisGL drawing mode\nNew size 500x0\nWarning: number of processors: " + more +
          " set to more than the actual number of processors:" + std::to_string(cores) + "\nRunning on " + more +
          " processors\n"}},
    });
    // Status messages of a batch run reach stderr and the message file alike.
    EXPECT_TRUE(test::contains(messages(), "Building hairs on: Sphere\n"));
}

TEST_F(VellimorProgram, DesignerWithoutADisplaySaysSoOnceAndFails) {
    const ProgramResult r = run("vellimor", {"-d", test::demo_database(), "-s", "furball"});
    EXPECT_NE(r.status, 0);
    const std::string line = "Can't open a window: no X display available\n";
    const size_t at = r.err.find(line);
    ASSERT_NE(at, std::string::npos) << r.err;
    EXPECT_EQ(r.err.find(line, at + 1), std::string::npos);
}

}  // namespace
}  // namespace vellimor
