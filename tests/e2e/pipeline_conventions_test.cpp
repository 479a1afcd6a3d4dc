// What a pipeline TD expects of the programs: --help on every command, frame lists and numbered
// names, folders made on the way, a float EXR that holds the antialiasing sum and the alpha pass,
// --threads, and every command running the plug-in VELLIMOR_PLUGIN names.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <ImfArray.h>
#include <ImfRgbaFile.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <set>

#include "support/test_env.h"
#include "render/atomic_file.h"
#include "support/fur_square_scene.h"
#include "render/pic_file.h"
#include "render/png_image.h"
#include "support/run_program.h"

namespace vellimor {
namespace {

namespace fs = std::filesystem;
using test::ProgramResult;

using Environment = std::map<std::string, std::optional<std::string>>;

class PipelineConventions : public ::testing::Test {
protected:
    void SetUp() override { database = fs::path(work.path()) / "db"; }
    Environment environment() const {
        return {{"TEMP", work.path()}, {"SI_LOCATION", std::nullopt}, {"FUR_LOCATION", "/fur"},
                {"DISPLAY", std::nullopt}, {"FUR_MAX_PROC", std::nullopt}, {"VELLIMOR_PLUGIN", std::nullopt}};
    }
    ProgramResult host(const std::string &command, std::vector<std::string> args, Environment env = {}) {
        std::vector<std::string> all = {command, "-d", database.string(), "-s", "fur"};
        all.insert(all.end(), args.begin(), args.end());
        Environment full = environment();
        for (const auto &[name, value] : env) full[name] = value;
        return test::run_program("vellimor-host", all, full, work.path());
    }
    std::set<std::string> files_in(const fs::path &folder) const {
        std::set<std::string> names;
        for (const auto &entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
        return names;
    }

    test::TempDir work;
    fs::path database;
};

size_t occurrences(const std::string &text, const std::string &part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

TEST_F(PipelineConventions, EveryCommandOfEveryProgramAnswersHelp) {
    const Environment env = environment();
    for (const char *help : {"--help", "-h"}) {
        for (const char *command : {"render", "export-curves", "farm-submit", "info", "internal", "persistent", "edit",
                                    "export-fur", "apply-fur", "import", "flip-surface"}) {
            const ProgramResult r = test::run_program("vellimor-host", {command, help}, env, work.path());
            EXPECT_EQ(r.status, 0) << command << " " << help << "\n" << r.err;
            EXPECT_EQ(r.out.rfind(std::string("usage: vellimor-host ") + command, 0), 0u) << r.out;
        }
        for (const std::vector<std::string> &args :
             {std::vector<std::string>{"info", help}, {"to-png", help}, {"from-png", help}}) {
            const ProgramResult r = test::run_program("vellimor-pic", args, env, work.path());
            EXPECT_EQ(r.status, 0) << args.front();
            EXPECT_EQ(r.out.rfind("usage: vellimor-pic", 0), 0u) << r.out;
        }
        const ProgramResult r = test::run_program("vellimor", {help}, env, work.path());
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out.rfind("Usage: Fur database scene [options]\n", 0), 0u) << r.out;
    }
}

TEST_F(PipelineConventions, FrameListsGoIntoNumberedNamesOfAFolderMadeOnTheWay) {
    testing::write_fur_scene(database, {});  // play range 1..6
    const fs::path folder = fs::path(work.path()) / "shots" / "new";
    ProgramResult r = host("render", {"--frames", "-1,2-6x2", "--size", "16", "12", "--output",
                                      (folder / "sq_####.png").string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(files_in(folder), (std::set<std::string>{"sq_-0001.png", "sq_0002.png", "sq_0004.png", "sq_0006.png"}));
    EXPECT_EQ(r.out.rfind((folder / "sq_-0001.png").string() + "\n", 0), 0u) << r.out;
    // One warning for the frames outside the play range; every log line whole.
    EXPECT_EQ(occurrences(r.err, "WARNING: frame -1 lies outside the play range 1..6 of the scene\n"), 1u) << r.err;
    EXPECT_NE(r.err.find("\nMY_read_scene\n"), std::string::npos) << r.err;

    r = host("render", {"--frames", "3", "--size", "16", "12", "--format", "pic", "--output",
                        (folder / "one.%03d.png").string()});
    ASSERT_EQ(r.status, 0) << r.err;
    r = host("render", {"--frames", "3", "--size", "16", "12", "--output", (folder / "plain.png").string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(files_in(folder).count("one.003.pic")) << "%03d places three digits, the format its extension";
    EXPECT_TRUE(files_in(folder).count("plain.0003.png")) << "the number goes before the extension";

    for (const char *wrong : {"1-", "5-1", "1-9x0", "1,,3", "x"}) {
        r = host("render", {"--frames", wrong});
        EXPECT_EQ(r.status, 2) << wrong;
        EXPECT_EQ(r.err.rfind("vellimor-host: --frames: ", 0), 0u) << r.err;
    }
}

// The sRGB display value of a linear one.
float srgb_of_linear(float linear) {
    return linear <= 0.0031308f ? linear * 12.92f : 1.055f * std::pow(linear, 1.0f / 2.4f) - 0.055f;
}

TEST_F(PipelineConventions, ExrFramesHoldTheAntialiasingSumAndTheAlphaPass) {
    testing::write_fur_scene(database, {});
    const std::string base = (fs::path(work.path()) / "f").string();
    for (const char *format : {"exr", "png"}) {
        const ProgramResult r = host("render", {"--frames", "2", "--aa", "3", "--alpha", "--format", format, "--output",
                                                base});
        ASSERT_EQ(r.status, 0) << r.err;
    }
    std::vector<uint8_t> bytes;
    std::string error;
    ASSERT_TRUE(read_whole_file(base + ".0002.png", &bytes, &error)) << error;
    EXPECT_NE(std::search(bytes.begin(), bytes.end(), std::begin("sRGB"), std::end("sRGB") - 1), bytes.end())
        << "the PNG says its colour space";
    RgbaPixels png;
    ASSERT_TRUE(png_decode(bytes, kPicMaxDimension, &png, &error)) << error;

    Imf::RgbaInputFile exr((base + ".0002.exr").c_str());
    const Imath::Box2i window = exr.dataWindow();
    const int width = window.max.x - window.min.x + 1, height = window.max.y - window.min.y + 1;
    ASSERT_EQ(width, png.width);
    ASSERT_EQ(height, png.height);
    EXPECT_EQ(exr.channels(), Imf::WRITE_RGBA);
    Imf::Array2D<Imf::Rgba> pixels(height, width);
    exr.setFrameBuffer(&pixels[0][0] - window.min.x - window.min.y * width, 1, size_t(width));
    exr.readPixels(window.min.y, window.max.y);

    // Rounded to bytes the EXR is the PNG; between the bytes it keeps the passes' fractions.
    int fractional = 0, covered = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const Imf::Rgba &p = pixels[y][x];
            const uint8_t *expected = &png.rgba[(size_t(y) * size_t(width) + size_t(x)) * 4];
            const float display[4] = {srgb_of_linear(p.r) * 255.0f, srgb_of_linear(p.g) * 255.0f,
                                      srgb_of_linear(p.b) * 255.0f, float(p.a) * 255.0f};
            for (int c = 0; c < 4; ++c) {
                ASSERT_NEAR(display[c], expected[c], 1.01) << x << "," << y << " channel " << c;
                fractional += std::fabs(display[c] - std::round(display[c])) > 0.2f;
            }
            covered += expected[3] > 0;
        }
    }
    EXPECT_GT(covered, width * height / 10) << "the alpha pass covers the hairs";
    EXPECT_GT(fractional, 20) << "values between the bytes come from the summed passes";

    const ProgramResult header = test::run_executable("/usr/bin/exrheader", {base + ".0002.exr"}, {}, work.path());
    ASSERT_EQ(header.status, 0) << header.err;
    for (const char *channel : {"A", "B", "G", "R"})
        EXPECT_NE(header.out.find(std::string("\n    ") + channel + ", 16-bit floating-point"), std::string::npos)
            << header.out;
}

TEST_F(PipelineConventions, ThreadsInfoAndThePluginEveryCommandLoads) {
    testing::FurSceneOptions options;
    options.xres = 40;
    options.yres = 30;
    testing::write_fur_scene(database, options);
    ProgramResult r = host("info", {});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("render defaults: size 40x30, frames 1-6, antialiasing level 0 (off), alpha off\n"),
              std::string::npos)
        << r.out;
    r = host("render", {"--frames", "1", "--threads", "2", "--output", (fs::path(work.path()) / "t").string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("\nRunning on 2 processors\n"), std::string::npos) << r.err;
    EXPECT_EQ(host("render", {"--threads", "0"}).status, 2);

    // A surface that moves but grows its fur once is warned of, once.
    const std::string file = (database / "SCENES" / "fur.dsc").string();
    auto scene = nlohmann::ordered_json::parse(test::read_file(file));
    scene["models"][0]["animation"] = nlohmann::ordered_json::parse(
        R"({"interpolation": "linear", "keys": [{"translation": [0, 0, 0], "frame": 1}, {"translation": [0, 0, 1], "frame": 6}]})");
    std::ofstream(file) << scene.dump();
    r = host("render", {"--frames", "1-2", "--output", (fs::path(work.path()) / "m").string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(occurrences(r.err, "WARNING: surface Square moves, but its hairs grow once at frame 1"), 1u) << r.err;

    // A plug-in that can't be loaded fails every command: none runs a copy of its own.
    const std::string missing = work.path() + "/none/libvellimor.so";
    for (const std::vector<std::string> &args :
         {std::vector<std::string>{"render"}, {"export-curves", "c.usda"}, {"info"}, {"export-fur", "-"},
          {"farm-submit", "--slurm", "--frames", "1", "--dry-run"}, {"persistent"}}) {
        r = host(args.front(), std::vector<std::string>(args.begin() + 1, args.end()), {{"VELLIMOR_PLUGIN", missing}});
        EXPECT_EQ(r.status, 1) << args.front();
        EXPECT_NE(r.err.find("Can't load the plug-in " + missing), std::string::npos) << r.err;
    }
}

}  // namespace
}  // namespace vellimor
