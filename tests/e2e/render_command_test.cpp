// vellimor-host render as a script or a pipeline runs it: the pictures of the stand-alone batch
// render in padded PIC, PNG and float EXR files named from frame lists, folders made on the way, a
// log of whole lines, an exit status with one clear last line for every way it can fail, and an
// installation into a prefix.
#include "support/test_prelude.h"

#include <ImfArray.h>
#include <ImfRgbaFile.h>

#include <nlohmann/json.hpp>

#include <regex>

#include "render/atomic_file.h"
#include "render/png_image.h"
#include "support/program_test.h"

namespace vellimor {
namespace {

namespace fs = std::filesystem;
using test::ProgramResult;

class RenderCommand : public test::ProgramTest {
protected:
    void SetUp() override {
        fs::create_directories(path("out"));
        fur_square();
    }
    ProgramResult render(std::vector<std::string> args, const std::string &scene = "fur") {
        return on_scene("vellimor-host", "render", path("db"), scene, args);
    }
    ProgramResult batch(std::vector<std::string> args, const std::string &scene = "fur") {
        args.insert(args.begin(), "-b");
        return on_scene("vellimor", "", path("db"), scene, args);
    }
};

std::string last_line(const std::string &text) {
    const size_t end = text.size() && text.back() == '\n' ? text.size() - 1 : text.size();
    const size_t start = text.rfind('\n', end == 0 ? 0 : end - 1);
    return text.substr(start == std::string::npos ? 0 : start + 1);
}

std::string regex_escaped(const std::string &text) {
    return std::regex_replace(text, std::regex(R"([.^$|()\[\]{}*+?\\])"), R"(\$&)");
}

RgbaPixels read_png(const std::string &path) {
    std::vector<uint8_t> bytes;
    RgbaPixels pixels;
    std::string error;
    EXPECT_TRUE(read_whole_file(path, &bytes, &error)) << error;
    EXPECT_NE(std::search(bytes.begin(), bytes.end(), std::begin("sRGB"), std::end("sRGB") - 1), bytes.end())
        << path << " does not say its colour space";
    EXPECT_TRUE(png_decode(bytes, kPicMaxDimension, &pixels, &error)) << path << ": " << error;
    return pixels;
}

TEST_F(RenderCommand, WritesTheBatchPicturesIntoPaddedFilesWithALogOfWholeLines) {
    const ProgramResult stand_alone = batch({"-n", "1", "2", "1", "-j", "2", "-a", "-o", "vb"});
    ASSERT_EQ(stand_alone.status, 0) << stand_alone.err;
    const std::string base = path("out/fur");
    const ProgramResult r = render({"--frames", "1", "2", "--aa", "2", "--alpha", "--format", "both", "--output", base});
    ASSERT_EQ(r.status, 0) << r.err;

    EXPECT_EQ(files_in(path("out")), (std::set<std::string>{"fur.0001.pic", "fur.0001.png", "fur.0002.pic", "fur.0002.png"}));
    for (int frame : {1, 2}) {
        const std::string padded = base + ".000" + std::to_string(frame);
        EXPECT_EQ(test::read_file(padded + ".pic"), test::read_file(path("vb." + std::to_string(frame) + ".pic")));
        // The PNG holds the same pixels, alpha included.
        const std::unique_ptr<PicImage> picture = pic_read_file(padded + ".pic");
        ASSERT_TRUE(picture);
        EXPECT_GT(std::count_if(picture->red().begin(), picture->red().end(), [](uint8_t v) { return v > 40; }),
                  long(picture->pixel_count()) / 5);
        const RgbaPixels png = read_png(padded + ".png");
        ASSERT_EQ(png.width, picture->width);
        ASSERT_EQ(png.height, picture->height);
        EXPECT_TRUE(png.has_alpha);
        for (size_t i = 0; i < picture->pixel_count(); ++i)
            for (int c = 0; c < kPicChannelCount; ++c)
                ASSERT_EQ(png.rgba[i * 4 + size_t(c)], picture->planes[size_t(c)][i]) << i << " " << c;
    }
    EXPECT_EQ(r.out, base + ".0001.pic\n" + base + ".0001.png\n" + base + ".0002.pic\n" + base + ".0002.png\n");
    // A log file holds whole lines: one per stage and per frame, no carriage returns.
    EXPECT_FALSE(test::contains(r.err, "\r"));
    EXPECT_FALSE(test::contains(stand_alone.err, "\r"));
    EXPECT_TRUE(test::contains(r.err, "Building hairs on: Square\n")) << r.err;
    EXPECT_TRUE(test::contains(r.err, "Frame 2 written (2 of 2): " + base + ".0002.pic " + base + ".0002.png\n"));
    EXPECT_TRUE(std::regex_match(last_line(r.err), std::regex("2 frames in [0-9.]+ s \\([0-9.]+ s a frame\\) \u2192 " +
                                                              regex_escaped(path("out")) + "\n")))
        << last_line(r.err);
}

TEST_F(RenderCommand, DefaultsToPngFramesOfThePlayRangeAndSizeKeepsItsOwnAspect) {
    fur_square({.start = 8, .end = 10});
    ProgramResult r = render({});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string pictures = path("db/RENDER_PICTURES");
    EXPECT_EQ(files_in(pictures), (std::set<std::string>{"fur.0008.png", "fur.0009.png", "fur.0010.png"}));
    const RgbaPixels png = read_png(pictures + "/fur.0009.png");
    EXPECT_EQ(png.width, 64);
    EXPECT_EQ(png.height, 48);
    EXPECT_FALSE(png.has_alpha);
    EXPECT_TRUE(r.err.ends_with("\u2192 " + pictures + "\n")) << r.err;

    // --size renders at its own aspect, where the batch stretches.
    r = render({"--frames", "9", "9", "--size", "96", "48", "--format", "pic", "--output", path("out/wide")});
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(batch({"-n", "9", "9", "1", "-S", "96", "48", "-A", "2", "-o", "aspect"}).status, 0);
    ASSERT_EQ(batch({"-n", "9", "9", "1", "-S", "96", "48", "-o", "stretched"}).status, 0);
    const std::string wide = test::read_file(path("out/wide.0009.pic"));
    EXPECT_EQ(wide, test::read_file(path("aspect.9.pic")));
    EXPECT_NE(wide, test::read_file(path("stretched.9.pic")));
}

TEST_F(RenderCommand, FrameListsGoIntoNumberedNamesOfAFolderMadeOnTheWay) {
    // The square's play range is 1..6.
    const std::string folder = path("shots/new");
    ProgramResult r = render({"--frames", "-1,2-6x2", "--size", "16", "12", "--output", folder + "/sq_####.png"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(files_in(folder), (std::set<std::string>{"sq_-0001.png", "sq_0002.png", "sq_0004.png", "sq_0006.png"}));
    EXPECT_TRUE(r.out.starts_with(folder + "/sq_-0001.png\n")) << r.out;
    // One warning for the frames outside the play range; every log line whole.
    EXPECT_EQ(test::count(r.err, "WARNING: frame -1 lies outside the play range 1..6 of the scene\n"), 1u) << r.err;
    EXPECT_TRUE(test::contains(r.err, "\nMY_read_scene\n")) << r.err;
    ASSERT_EQ(render({"--frames", "3", "--size", "16", "12", "--format", "pic", "--output", folder + "/one.%03d.png"})
                  .status, 0);
    ASSERT_EQ(render({"--frames", "3", "--size", "16", "12", "--output", folder + "/plain.png"}).status, 0);
    EXPECT_TRUE(files_in(folder).count("one.003.pic")) << "%03d places three digits, the format its extension";
    EXPECT_TRUE(files_in(folder).count("plain.0003.png")) << "the number goes before the extension";
}

// The sRGB display value of a linear one.
float srgb_of_linear(float linear) {
    return linear <= 0.0031308f ? linear * 12.92f : 1.055f * std::pow(linear, 1.0f / 2.4f) - 0.055f;
}

TEST_F(RenderCommand, ExrFramesHoldTheAntialiasingSumAndTheAlphaPass) {
    const std::string base = path("f");
    for (const char *format : {"exr", "png"})
        ASSERT_EQ(render({"--frames", "2", "--aa", "3", "--alpha", "--format", format, "--output", base}).status, 0);
    const RgbaPixels png = read_png(base + ".0002.png");
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
    for (const char *channel : {"A", "B", "G", "R"})
        EXPECT_TRUE(test::contains(header.out, std::string("\n    ") + channel + ", 16-bit floating-point")) << header.out;
}

TEST_F(RenderCommand, InfoThreadsAndAMovingSurfaceThatGrowsOnce) {
    fur_square({.xres = 40, .yres = 30});
    ProgramResult r = on_scene("vellimor-host", "info", path("db"), "fur", {});
    EXPECT_TRUE(test::contains(r.out, "render defaults: size 40x30, frames 1-6, antialiasing level 0 (off), alpha off\n"))
        << r.out;
    r = render({"--frames", "1", "--threads", "2", "--output", path("t")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(test::contains(r.err, "\nRunning on 2 processors\n")) << r.err;

    // A surface that moves but grows its fur once is warned of, once.
    const std::string file = path("db/SCENES/fur.dsc");
    auto scene = nlohmann::ordered_json::parse(test::read_file(file));
    scene["models"][0]["animation"] = nlohmann::ordered_json::parse(
        R"({"interpolation": "linear", "keys": [{"translation": [0, 0, 0], "frame": 1}, {"translation": [0, 0, 1], "frame": 6}]})");
    std::ofstream(file) << scene.dump();
    r = render({"--frames", "1-2", "--output", path("m")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(test::count(r.err, "WARNING: surface Square moves, but its hairs grow once at frame 1"), 1u) << r.err;
}

TEST_F(RenderCommand, EveryFailureEndsNonZeroWithOneClearLine) {
    // A copy of the scene whose patch lacks a vertex does not load: the one line is all there is.
    auto scene = nlohmann::ordered_json::parse(test::read_file(path("db/SCENES/fur.dsc")));
    scene["models"][0]["patch"]["vertices"].erase(3);
    std::ofstream(path("db/SCENES/broken.dsc")) << scene.dump();
    ProgramResult r = render({}, "broken");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(test::count(r.err, "\n"), 1u) << r.err;
    EXPECT_TRUE(test::contains(r.err, "broken.dsc: models[0].patch.vertices: expected 4 vertices")) << r.err;

    // A frame that can't be written fails the run; the others are still written.
    fs::create_directories(path("out/fur.0002.png"));
    r = render({"--frames", "1", "3", "--output", path("out/fur")});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(test::contains(r.err, "ERROR: cannot write " + path("out/fur.0002.png"))) << r.err;
    EXPECT_EQ(last_line(r.err), "vellimor-host: 1 of 3 frames could not be written (see the ERROR lines above)\n");
    EXPECT_EQ(files_in(path("out")), (std::set<std::string>{"fur.0001.png", "fur.0002.png", "fur.0003.png"}));
    EXPECT_TRUE(fs::is_directory(path("out/fur.0002.png")));

    // The stand-alone batch render says the same with its own texts.
    r = batch({"-n", "1", "1", "1", "-S", "100000", "100000"});
    EXPECT_EQ(r.status, 95);
    EXPECT_TRUE(test::contains(r.err, "Unable to allocate picture\nRender size 100000x100000: a picture is 1 to 32767 "
                                      "pixels wide and high\n"))
        << r.err;
    r = batch({"-n", "1", "1", "1"}, "broken");
    EXPECT_NE(r.status, 0);
    EXPECT_TRUE(std::regex_search(r.err, std::regex("Can't load scene broken - " + regex_escaped(path("db")) +
                                                    "\n.*broken\\.dsc: models\\[0\\]\\.patch\\.vertices: expected 4 "
                                                    "vertices[^\n]*\n$")))
        << r.err;
}

TEST_F(RenderCommand, InstalledProgramsFindTheirLibrariesAndRender) {
    const std::string prefix = path("prefix");
    const ProgramResult installed =
        test::run_executable("/usr/bin/cmake", {"--install", test::build_dir(), "--prefix", prefix}, {}, work.path());
    ASSERT_EQ(installed.status, 0) << installed.out << installed.err;
    for (const char *file : {"bin/vellimor", "bin/vellimor-host", "bin/vellimor-pic", "lib/libvellimor.so",
                             "lib/libsaa.so", "share/doc/vellimor/fur-settings.md", "share/doc/vellimor/rendering.md",
                             "share/vellimor/examples/starter.fur"})
        EXPECT_TRUE(fs::exists(prefix + "/" + file)) << file;
    // The stand-alone program loads the installed plug-in, which finds the installed host library.
    const ProgramResult r = test::run_executable(
        prefix + "/bin/vellimor", {"-b", "-d", path("db"), "-s", "fur", "-n", "1", "1", "1", "-o", "installed"},
        environment(), work.path());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(picture("installed.1.pic"));
    EXPECT_EQ(test::run_executable(prefix + "/bin/vellimor-host", {"--version"}, {}, work.path()).status, 0);
}

}  // namespace
}  // namespace vellimor
