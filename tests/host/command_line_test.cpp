#include "host/command_line.h"

#include <gtest/gtest.h>

#include <vector>

#include "host/globals.h"

namespace vellimor {
namespace {

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

struct Parsed {
    ParseResult result;
    CommandLine line;
    std::string messages;
};

Parsed parse(std::vector<const char *> args) {
    args.insert(args.begin(), "vellimor");
    Parsed p;
    CaptureStderr();
    p.result = parse_command_line(static_cast<int>(args.size()), args.data(), p.line);
    p.messages = GetCapturedStderr();
    return p;
}

TEST(CommandLine, EveryOptionAndItsMessage) {
    reset_globals();
    const Parsed p = parse({"-r", "/rsrc", "-d", "/db", "-s", "scene", "-b", "-n", "1", "10", "2",
                            "-S", "640", "480", "-W", "800", "600", "-A", "1.5", "-j", "3", "-a",
                            "-p", "-o", "out", "-X"});
    ASSERT_EQ(p.result, ParseResult::Ok);
    EXPECT_EQ(p.messages,
              "Render batch flag\nRender frames 1 -> 10 , 2\nRender size 640x480\n"
              "Window size 800x600\nRender aspect 1.500000\nAnti aliazing level 3\n"
              "Render alpha\nPersistent Rebuild All flag\nUse PixMap\n");
    const CommandLine &l = p.line;
    EXPECT_TRUE(l.has_resource_path);
    EXPECT_EQ(l.resource_path, "/rsrc");
    EXPECT_EQ(l.database, "/db");
    EXPECT_EQ(l.scene, "scene");
    EXPECT_TRUE(l.batch);
    EXPECT_EQ(l.start, 1);
    EXPECT_EQ(l.end, 10);
    EXPECT_EQ(l.step, 2);
    EXPECT_EQ(l.xres, 640);
    EXPECT_EQ(l.yres, 480);
    EXPECT_EQ(config().window_x, 800);
    EXPECT_EQ(config().window_y, 600);
    EXPECT_FLOAT_EQ(l.aspect, 1.5f);
    EXPECT_EQ(l.antialias, 3);
    EXPECT_TRUE(l.alpha);
    EXPECT_TRUE(l.persistent_all);
    EXPECT_EQ(l.output, "out");
    EXPECT_TRUE(l.pixmap_only);
    reset_globals();
}

TEST(CommandLine, NumbersReadFromTheirLeadingDigits) {
    const Parsed p = parse({"-n", "12abc", "x", "-3", "-j", "9", "-A", "junk"});
    ASSERT_EQ(p.result, ParseResult::Ok);
    EXPECT_EQ(p.line.start, 12);
    EXPECT_EQ(p.line.end, 0);
    EXPECT_EQ(p.line.step, -3);
    EXPECT_EQ(p.line.antialias, 9);
    EXPECT_EQ(p.messages, "Render frames 12 -> 0 , -3\nAnti aliazing level 9\nRender aspect 0.000000\n");
}

TEST(CommandLine, ParsingStopsAtTheFirstPlainArgument) {
    const Parsed p = parse({"-s", "scene", "database", "-b", "-Z"});
    EXPECT_EQ(p.result, ParseResult::Ok);
    EXPECT_FALSE(p.line.batch);
    EXPECT_EQ(p.messages, "");
}

TEST(CommandLine, UnknownLettersAreUsageErrors) {
    EXPECT_EQ(parse({"-Z"}).result, ParseResult::Usage);
    EXPECT_EQ(parse({"-"}).result, ParseResult::Usage);
    EXPECT_EQ(parse({"-b", "-q", "-a"}).messages, "Render batch flag\n");
}

TEST(CommandLine, MissingArgumentsAreUsageErrors) {
    for (auto args : std::vector<std::vector<const char *>>{{"-n", "1", "10"},
                                                            {"-S", "640"},
                                                            {"-W", "1"},
                                                            {"-d"},
                                                            {"-s"},
                                                            {"-r"},
                                                            {"-o"},
                                                            {"-A"},
                                                            {"-b", "-j"}}) {
        const Parsed p = parse(args);
        EXPECT_EQ(p.result, ParseResult::Usage) << args[0];
    }
}

TEST(CommandLine, PluginOptionEndsParsingWithItsMessage) {
    const Parsed p = parse({"-b", "-P", "-a"});
    EXPECT_EQ(p.result, ParseResult::PluginExit);
    EXPECT_EQ(p.messages, "Render batch flag\nPlugins not supported on NT workstations\n");
}

TEST(CommandLine, UsageTextOnStdout) {
    testing::internal::CaptureStdout();
    print_usage();
    const std::string text = testing::internal::GetCapturedStdout();
    EXPECT_EQ(text.rfind("Usage: Fur database scene [options]\n   -r path", 0), 0u);
    EXPECT_NE(text.find("   setenv FUR_SIZE xsize, ysize\t\tSets the Vellimor window size to other "
                        "then fullscreen\n"),
              std::string::npos);
    const std::string tail = "   setenv FUR_MAX_PROC num\t\tSets the number of processors to use\n\n\n";
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
}

}  // namespace
}  // namespace vellimor
