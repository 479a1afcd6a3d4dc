// vellimor-host render as a script runs it: the pictures of the stand-alone batch render in
// padded PIC and PNG files, a log of whole lines, and an exit status with one clear last line for
// every way it can fail. Also the programs' --help, --version and usage statuses, and an
// installation into a prefix.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <filesystem>
#include <regex>
#include <set>

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
        database = fs::path(path("db"));
        out = fs::path(path("out"));
        fs::create_directories(out);
    }
    void write_scene(const testing::FurSceneOptions &options = {}) { fur_square(options); }
    ProgramResult render(std::vector<std::string> args, const std::string &scene = "fur") {
        return on_scene("vellimor-host", "render", database.string(), scene, args);
    }
    ProgramResult batch(std::vector<std::string> args, const std::string &scene = "fur") {
        args.insert(args.begin(), "-b");
        return on_scene("vellimor", "", database.string(), scene, args);
    }
    std::set<std::string> files_in(const fs::path &folder) const {
        std::set<std::string> names;
        for (const auto &entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
        return names;
    }
    // A copy of the fur scene whose patch lacks a vertex.
    void write_broken_scene() const {
        auto scene = nlohmann::ordered_json::parse(test::read_file((database / "SCENES" / "fur.dsc").string()));
        scene["models"][0]["patch"]["vertices"].erase(3);
        std::ofstream(database / "SCENES" / "broken.dsc") << scene.dump();
    }

    fs::path database, out;
};

std::string last_line(const std::string &text) {
    const size_t end = text.size() && text.back() == '\n' ? text.size() - 1 : text.size();
    const size_t start = text.rfind('\n', end == 0 ? 0 : end - 1);
    return text.substr(start == std::string::npos ? 0 : start + 1);
}

std::string regex_escaped(const std::string &text) {
    return std::regex_replace(text, std::regex(R"([.^$|()\[\]{}*+?\\])"), R"(\$&)");
}

size_t line_count(const std::string &text) { return size_t(std::count(text.begin(), text.end(), '\n')); }

RgbaPixels read_png(const std::string &path) {
    std::vector<uint8_t> bytes;
    RgbaPixels pixels;
    std::string error;
    EXPECT_TRUE(read_whole_file(path, &bytes, &error)) << error;
    EXPECT_TRUE(png_decode(bytes, kPicMaxDimension, &pixels, &error)) << path << ": " << error;
    return pixels;
}

int bright_pixels(const PicImage &p) {
    int count = 0;
    for (uint8_t red : p.planes[kPicRed]) count += red > 40;
    return count;
}

TEST_F(RenderCommand, WritesTheBatchPicturesIntoPaddedFilesWithALogOfWholeLines) {
    write_scene();
    const ProgramResult stand_alone = batch({"-n", "1", "2", "1", "-j", "2", "-a", "-o", "vb"});
    ASSERT_EQ(stand_alone.status, 0) << stand_alone.err;
    const std::string base = (out / "fur").string();
    const ProgramResult r =
        render({"--frames", "1", "2", "--aa", "2", "--alpha", "--format", "both", "--output", base});
    ASSERT_EQ(r.status, 0) << r.err;

    EXPECT_EQ(files_in(out), (std::set<std::string>{"fur.0001.pic", "fur.0001.png", "fur.0002.pic", "fur.0002.png"}));
    for (int frame : {1, 2}) {
        const std::string padded = base + ".000" + std::to_string(frame);
        const std::string pic = test::read_file(padded + ".pic");
        EXPECT_EQ(pic, test::read_file(work.path() + "/vb." + std::to_string(frame) + ".pic")) << frame;
        // The PNG holds the same pixels, alpha included.
        const std::unique_ptr<PicImage> picture = pic_read_file(padded + ".pic");
        ASSERT_TRUE(picture);
        EXPECT_GT(bright_pixels(*picture), int(picture->pixel_count()) / 5);
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
    EXPECT_EQ(r.err.find('\r'), std::string::npos);
    EXPECT_EQ(stand_alone.err.find('\r'), std::string::npos);
    EXPECT_NE(r.err.find("Building hairs on: Square\n"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("Frame 2 written (2 of 2): " + base + ".0002.pic " + base + ".0002.png\n"),
              std::string::npos)
        << r.err;
    EXPECT_TRUE(std::regex_match(last_line(r.err), std::regex("2 frames in [0-9.]+ s \\([0-9.]+ s a frame\\) \u2192 " +
                                                              regex_escaped(out.string()) + "\n")))
        << last_line(r.err);
}

TEST_F(RenderCommand, DefaultsToPngFramesOfThePlayRangeInTheDatabasesRenderFolder) {
    testing::FurSceneOptions options;
    options.start = 8;
    options.end = 10;
    write_scene(options);
    const ProgramResult r = render({});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(files_in(database / "RENDER_PICTURES"),
              (std::set<std::string>{"fur.0008.png", "fur.0009.png", "fur.0010.png"}));
    const RgbaPixels png = read_png((database / "RENDER_PICTURES" / "fur.0009.png").string());
    EXPECT_EQ(png.width, 64);
    EXPECT_EQ(png.height, 48);
    EXPECT_FALSE(png.has_alpha);
    EXPECT_TRUE(r.err.ends_with("\u2192 " + (database / "RENDER_PICTURES").string() + "\n")) << r.err;
}

TEST_F(RenderCommand, SizeRendersAtItsOwnAspectWhereTheBatchStretches) {
    write_scene();
    const ProgramResult r = render({"--frames", "3", "3", "--size", "96", "48", "--format", "pic", "--output",
                                    (out / "wide").string()});
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(batch({"-n", "3", "3", "1", "-S", "96", "48", "-A", "2", "-o", "aspect"}).status, 0);
    ASSERT_EQ(batch({"-n", "3", "3", "1", "-S", "96", "48", "-o", "stretched"}).status, 0);
    const std::string wide = test::read_file((out / "wide.0003.pic").string());
    EXPECT_EQ(wide, test::read_file(work.path() + "/aspect.3.pic"));
    EXPECT_NE(wide, test::read_file(work.path() + "/stretched.3.pic"));
}

TEST_F(RenderCommand, EveryFailureEndsNonZeroWithOneClearLine) {
    write_scene();
    write_broken_scene();

    // Nothing starts when the frames could not be written, the size is no picture size or the
    // scene does not load: the one line is all there is.
    const std::string nowhere = work.path() + "/nowhere";
    std::ofstream(nowhere) << "a file where the folder should be";
    ProgramResult r = render({"--output", nowhere + "/x"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "vellimor-host: cannot write frames into " + nowhere + ": Not a directory\n");
    r = render({"--size", "100000", "100000"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "vellimor-host: --size 100000 100000: width and height must lie in 1..32767 (the largest PIC "
                     "picture)\n");
    r = render({}, "broken");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(line_count(r.err), 1u) << r.err;
    EXPECT_NE(r.err.find("broken.dsc: models[0].patch.vertices: expected 4 vertices"), std::string::npos) << r.err;
    for (const std::vector<std::string> &wrong :
         {std::vector<std::string>{"--frames", "3", "1"}, {"--frames", "1-"}, {"--aa", "9"}, {"--format", "gif"},
          {"--aspect", "wide"}, {"--bogus"}}) {
        r = render(wrong);
        EXPECT_EQ(r.status, 2) << wrong.front();
        EXPECT_EQ(line_count(r.err), 1u) << r.err;
    }
    EXPECT_EQ(run("vellimor-host", {"render", "-s", "fur"}).status, 2);
    EXPECT_TRUE(files_in(database / "RENDER_PICTURES").empty());

    // A frame that can't be written fails the run; the others are still written.
    fs::create_directories(out / "fur.0002.png");
    r = render({"--frames", "1", "3", "--output", (out / "fur").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("ERROR: cannot write " + (out / "fur.0002.png").string()), std::string::npos) << r.err;
    EXPECT_EQ(last_line(r.err), "vellimor-host: 1 of 3 frames could not be written (see the ERROR lines above)\n");
    EXPECT_EQ(files_in(out), (std::set<std::string>{"fur.0001.png", "fur.0002.png", "fur.0003.png"}));
    EXPECT_TRUE(fs::is_directory(out / "fur.0002.png"));

    // The stand-alone batch render says the same with its own texts.
    r = batch({"-n", "1", "1", "1", "-S", "100000", "100000"});
    EXPECT_EQ(r.status, 95);
    EXPECT_NE(r.err.find("Unable to allocate picture\nRender size 100000x100000: a picture is 1 to 32767 pixels "
                         "wide and high\n"),
              std::string::npos)
        << r.err;
    r = batch({"-n", "1", "1", "1"}, "broken");
    EXPECT_NE(r.status, 0);
    EXPECT_TRUE(std::regex_search(r.err, std::regex("Can't load scene broken - " + regex_escaped(database.string()) +
                                                    "\n.*broken\\.dsc: models\\[0\\]\\.patch\\.vertices: expected 4 "
                                                    "vertices[^\n]*\n$")))
        << r.err;
}

TEST_F(RenderCommand, HelpAndVersionOnStdoutUsageErrorsWithStatusTwo) {
    ProgramResult r = run("vellimor-host", {"--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("\n  render "), std::string::npos) << r.out;
    EXPECT_EQ(r.err, "");
    r = run("vellimor-host", {"render", "--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("usage: vellimor-host render -d DATABASE -s SCENE [options]\n", 0), 0u) << r.out;
    r = run("vellimor-host", {"--version"});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(std::regex_match(r.out, std::regex("vellimor-host \\(Vellimor\\) [0-9]+\\.[0-9]+\n"))) << r.out;
    for (const std::vector<std::string> &wrong :
         {std::vector<std::string>{}, {"paint"}, {"persistent", "-d", "x", "-s", "y", "--bogus"},
          {"internal", "-d", "x", "-s", "y", "extra"}, {"export-fur", "-d", "x", "-s", "y", "--bogus", "f"},
          {"info", "-d"}}) {
        r = run("vellimor-host", wrong);
        EXPECT_EQ(r.status, 2) << (wrong.empty() ? "(none)" : wrong.front());
        EXPECT_EQ(r.out, "");
    }
    r = run("vellimor-pic", {"--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("usage: vellimor-pic info FILE\n", 0), 0u) << r.out;
    r = run("vellimor-pic", {"--version"});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(std::regex_match(r.out, std::regex("vellimor-pic \\(Vellimor\\) [0-9]+\\.[0-9]+\n"))) << r.out;
    EXPECT_EQ(run("vellimor-pic", {"convert"}).status, 2);
}

TEST_F(RenderCommand, InstalledProgramsFindTheirLibrariesAndRender) {
    write_scene();
    const std::string prefix = work.path() + "/prefix";
    const ProgramResult installed =
        test::run_executable("/usr/bin/cmake", {"--install", test::build_dir(), "--prefix", prefix}, {}, work.path());
    ASSERT_EQ(installed.status, 0) << installed.out << installed.err;
    for (const char *file : {"bin/vellimor", "bin/vellimor-host", "bin/vellimor-pic", "lib/libvellimor.so",
                             "lib/libsaa.so", "share/doc/vellimor/fur-settings.md", "share/doc/vellimor/rendering.md",
                             "share/vellimor/examples/starter.fur"})
        EXPECT_TRUE(fs::exists(prefix + "/" + file)) << file;
    // The stand-alone program loads the installed plug-in, which finds the installed host library.
    const ProgramResult r = test::run_executable(
        prefix + "/bin/vellimor", {"-b", "-d", database.string(), "-s", "fur", "-n", "1", "1", "1", "-o", "installed"},
        environment(), work.path());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(pic_read_file(work.path() + "/installed.1.pic"));
    EXPECT_EQ(test::run_executable(prefix + "/bin/vellimor-host", {"--version"}, {}, work.path()).status, 0);
}

}  // namespace
}  // namespace vellimor
