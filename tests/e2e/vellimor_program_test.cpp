// The stand-alone program end to end: command line, messages, exit statuses, batch path.
#include <gtest/gtest.h>

#include <filesystem>

#include "host/test_env.h"
#include "platform/processors.h"
#include "run_program.h"

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

std::string furball() { return test::demo_database(); }

class VellimorProgram : public testing::Test {
protected:
    ProgramResult run(const std::vector<std::string> &args,
                      std::map<std::string, std::optional<std::string>> env = {}) {
        std::map<std::string, std::optional<std::string>> base = {
            {"TEMP", work.path()},   {"SI_LOCATION", std::nullopt}, {"FUR_LOCATION", "/fur"},
            {"DISPLAY", std::nullopt}, {"FUR_USE_IRIS_GL", std::nullopt},
            {"FUR_NO_BACKUP", std::nullopt}, {"FUR_SIZE", std::nullopt},
            {"FUR_MAX_PROC", std::nullopt}, {"FUR_TEXTURE_SEARCH_RANGE", std::nullopt},
            {"FUR_DONT_MOVE_MOUSE", std::nullopt}, {"VELLIMOR_PLUGIN", std::nullopt}};
        for (auto &[k, v] : env) base[k] = v;
        return test::run_program("vellimor", args, base, work.path());
    }
    std::string message_file() { return test::read_file(work.path() + "/fur_message"); }

    test::TempDir work;
};

TEST_F(VellimorProgram, UnknownOptionPrintsUsage) {
    const ProgramResult r = run({"-Z"});
    EXPECT_EQ(r.status, 95);
    EXPECT_EQ(r.out, kUsage);
    EXPECT_EQ(r.err, kStart);
}

TEST_F(VellimorProgram, OptionWithoutItsArgumentsIsAUsageError) {
    for (std::vector<std::string> args : {std::vector<std::string>{"-n", "1", "2"},
                                          {"-b", "-d"}, {"-S", "10"}, {"-j"}}) {
        const ProgramResult r = run(args);
        EXPECT_EQ(r.status, 95) << args[0];
        EXPECT_EQ(r.out, kUsage);
    }
}

TEST_F(VellimorProgram, BatchNeedsSceneAndDatabase) {
    const ProgramResult r = run({"-b", "-s", "furball"});
    EXPECT_EQ(r.status, 95);
    EXPECT_EQ(r.out, kUsage);
    EXPECT_EQ(r.err, std::string(kStart) + "Render batch flag\n"
                     "Please specify both scene and database name when running a batch render\n");
}

TEST_F(VellimorProgram, ParsingStopsAtTheFirstPlainArgument) {
    const ProgramResult r = run({"-b", "furball", "-d", furball(), "-s", "furball"});
    EXPECT_EQ(r.status, 95);
    EXPECT_NE(r.err.find("Please specify both scene and database name"), std::string::npos);
}

TEST_F(VellimorProgram, PluginOptionEndsTheProcess) {
    const ProgramResult r = run({"-a", "-P", "-b"});
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, std::string(kStart) + "Render alpha\nPlugins not supported on NT workstations\n");
}

TEST_F(VellimorProgram, BatchRunsThroughOnTheDemo) {
    const ProgramResult r = run({"-b", "-d", furball(), "-s", "furball", "-j", "9", "-S", "32", "24"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.rfind(std::string(kStart) + "Render batch flag\nAnti aliazing level 9\n"
                          "Render size 32x24\n" + kBanner +
                          "MY_read_scene",
                          0),
              0u)
        << r.err;
    // Every core the process may use.
    const int cores = platform::available_processors();
    EXPECT_NE(r.err.find(cores == 1 ? std::string("Running on 1 processor\n")
                                    : "Running on " + std::to_string(cores) + " processors\n"),
              std::string::npos);
    // Status messages of a batch run reach stderr and the message file alike.
    EXPECT_NE(r.err.find("Building hairs on: Sphere\n"), std::string::npos);
    EXPECT_NE(message_file().find("Building hairs on: Sphere\n"), std::string::npos);
}

TEST_F(VellimorProgram, EveryOptionReportsOnStderrInOrder) {
    const ProgramResult r = run({"-b", "-r", work.path(), "-d", furball(), "-s", "furball", "-n", "1",
                                 "2", "0", "-S", "40", "30", "-W", "500", "600", "-A", "1.25", "-j",
                                 "2", "-a", "-p", "-o", work.path() + "/out", "-X"});
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.rfind(std::string(kStart) +
                              "Render batch flag\nRender frames 1 -> 2 , 0\nRender size 40x30\n"
                              "Window size 500x600\nRender aspect 1.250000\nAnti aliazing level 2\n"
                              "Render alpha\nPersistent Rebuild All flag\nUse PixMap\n" + kBanner,
                          0),
              0u)
        << r.err;
}

TEST_F(VellimorProgram, BatchStartAfterEndIsRefused) {
    const ProgramResult r = run({"-b", "-d", furball(), "-s", "furball", "-n", "10", "5", "1"});
    EXPECT_EQ(r.status, 95);
    EXPECT_NE(r.err.find("Render sequence error: start 10 end 5\n"
                         "Check the start and end frames in the host, \nit is not possible to "
                         "render frames outside the limits set in the host\n"),
              std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(work.path() + "/offscreen.1.pic"));
}

TEST_F(VellimorProgram, DesignerWithoutADisplaySaysSoAndFails) {
    const ProgramResult r = run({"-d", furball(), "-s", "furball"});
    EXPECT_NE(r.status, 0);
    const std::string line = "Can't open a window: no X display available\n";
    const size_t at = r.err.find(line);
    ASSERT_NE(at, std::string::npos) << r.err;
    EXPECT_EQ(r.err.find(line, at + 1), std::string::npos);
}

TEST_F(VellimorProgram, MissingSceneIsAFailure) {
    const ProgramResult r = run({"-b", "-d", furball(), "-s", "no_such_scene"});
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err.find("Can't load scene no_such_scene - "), std::string::npos);
}

TEST_F(VellimorProgram, HostEnvironmentIsSetWhenMissing) {
    const ProgramResult r = run({"-b", "-d", furball(), "-s", "furball", "-S", "16", "12"},
                                {{"TEMP", std::nullopt}, {"TMPDIR", work.path()},
                                 {"FUR_LOCATION", std::nullopt}});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err.find("SI_LOCATION env variable not defined"), std::string::npos);
    EXPECT_NE(r.err.find("FUR_LOCATION env variable not defined, using SI_LOCATION\n"),
              std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(work.path() + "/fur_message"));
}

TEST_F(VellimorProgram, FurSwitchesApplyOnTheBatchPath) {
    const std::string cores = std::to_string(platform::available_processors());
    const std::string more = std::to_string(platform::available_processors() + 1);
    const ProgramResult r = run({"-b", "-d", furball(), "-s", "furball", "-S", "16", "12"},
                                {{"FUR_MAX_PROC", more}, {"FUR_SIZE", "500, 300"},
                                 {"FUR_USE_IRIS_GL", "1"}});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.err.find("Using IrisGL drawing mode\nNew size 500x0\n"
                         "Warning: number of processors: " + more + " set to more than the actual number of "
                         "processors:" + cores + "\nRunning on " + more + " processors\n"),
              std::string::npos)
        << r.err;
}

TEST_F(VellimorProgram, MissingPluginIsReported) {
    const ProgramResult r = run({}, {{"VELLIMOR_PLUGIN", work.path() + "/nothing.so"}});
    EXPECT_EQ(r.status, 95);
    EXPECT_NE(r.err.find("vellimor: Can't load the plug-in"), std::string::npos);
}

}  // namespace
}  // namespace vellimor
