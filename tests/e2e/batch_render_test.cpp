// Batch renders of a furry square through the stand-alone program, judged by properties of the
// pictures (coverage, colours at known places, smoothness), never by stored pictures.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>

#include "host/test_env.h"
#include "render/fur_test_scene.h"
#include "render/pic_file.h"
#include "run_program.h"

namespace vellimor {
namespace {

namespace fs = std::filesystem;
using test::ProgramResult;

class BatchRender : public ::testing::Test {
protected:
    void SetUp() override { database = fs::path(work.path()) / "db"; }

    void write_scene(const testing::FurSceneOptions &options = {}) {
        testing::write_fur_scene(database, options);
    }

    ProgramResult render(std::vector<std::string> args) {
        std::vector<std::string> all = {"-b", "-d", database.string(), "-s", "fur"};
        all.insert(all.end(), args.begin(), args.end());
        const std::map<std::string, std::optional<std::string>> env = {
            {"TEMP", work.path()}, {"SI_LOCATION", std::nullopt}, {"FUR_LOCATION", "/fur"},
            {"DISPLAY", std::nullopt}, {"FUR_USE_IRIS_GL", std::nullopt},
            {"VELLIMOR_PLUGIN", std::nullopt}};
        return test::run_program("vellimor", all, env, work.path());
    }

    std::string message_file() { return test::read_file(work.path() + "/fur_message"); }

    std::unique_ptr<PicImage> picture(const std::string &name) {
        return pic_read_file(work.path() + "/" + name);
    }

    test::TempDir work;
    fs::path database;
};

// Pixels whose red stands clearly above the black background.
int hair_pixels(PicImage &p, int threshold = 40) {
    int count = 0;
    for (size_t i = 0; i < p.pixel_count(); ++i) count += p.red()[i] > threshold;
    return count;
}

// Sum of the differences between horizontal neighbours: hard edges make it large.
long edge_energy(PicImage &p) {
    long sum = 0;
    for (int y = 0; y < p.height; ++y)
        for (int x = 1; x < p.width; ++x) {
            const size_t i = size_t(y) * size_t(p.width) + size_t(x);
            sum += std::abs(int(p.red()[i]) - int(p.red()[i - 1]));
        }
    return sum;
}

TEST_F(BatchRender, StepsThroughTheRangeIntoNamedFrames) {
    write_scene();
    // The output folder must exist: the program writes files, it makes no folders, and frames it
    // could not write make the run fail.
    const ProgramResult r = render({"-n", "1", "6", "2", "-o", "frames/out"});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find("ERROR: Can't write frames/out.5.pic\n"), std::string::npos) << r.err;
    fs::create_directories(fs::path(work.path()) / "frames");
    const ProgramResult again = render({"-n", "1", "6", "2", "-o", "frames/out"});
    ASSERT_EQ(again.status, 0) << again.err;
    std::set<std::string> files;
    for (const auto &entry : fs::directory_iterator(fs::path(work.path()) / "frames"))
        files.insert(entry.path().filename().string());
    EXPECT_EQ(files, (std::set<std::string>{"out.1.pic", "out.3.pic", "out.5.pic"}));
    EXPECT_NE(again.err.find("Saving image: frames/out.3.pic\n"), std::string::npos) << again.err;
    EXPECT_NE(again.err.find("Last Frame Time: "), std::string::npos);
    EXPECT_NE(message_file().find("Z sort polygons\nDrawing graphics RGB\n"), std::string::npos);
}

TEST_F(BatchRender, DrawsLitFurOverTheBackgroundAtTheSceneSize) {
    write_scene();
    const ProgramResult r = render({"-n", "1", "1", "1"});
    ASSERT_EQ(r.status, 0) << r.err;
    auto p = picture("offscreen.1.pic");
    ASSERT_TRUE(p);
    EXPECT_EQ(p->width, 64);
    EXPECT_EQ(p->height, 48);
    // The top rows look over the square into the empty background.
    for (int x = 0; x < p->width; ++x) EXPECT_EQ(p->red()[size_t(x)], 0) << x;
    // The fur fills the middle of the picture, red as painted and lit.
    const size_t centre = size_t(p->height * 5 / 8) * size_t(p->width) + size_t(p->width / 2);
    EXPECT_GT(p->red()[centre], 60);
    EXPECT_GT(p->red()[centre], 2 * p->green()[centre]);
    EXPECT_GT(hair_pixels(*p), int(p->pixel_count()) / 5);
    // Without an alpha pass the alpha plane is the opaque alpha the target reads back.
    for (uint8_t a : p->alpha()) ASSERT_EQ(a, 255);
    // The scene is symmetric about the picture's vertical centre line.
    long left = 0, right = 0;
    for (int y = 0; y < p->height; ++y)
        for (int x = 0; x < p->width / 2; ++x) {
            left += p->red()[size_t(y) * size_t(p->width) + size_t(x)];
            right += p->red()[size_t(y) * size_t(p->width) + size_t(p->width - 1 - x)];
        }
    EXPECT_LT(std::abs(left - right), (left + right) / 10);
}

TEST_F(BatchRender, SizeOptionSetsThePictureSize) {
    write_scene();
    const ProgramResult r = render({"-n", "2", "2", "1", "-S", "40", "30"});
    ASSERT_EQ(r.status, 0) << r.err;
    auto p = picture("offscreen.2.pic");
    ASSERT_TRUE(p);
    EXPECT_EQ(p->width, 40);
    EXPECT_EQ(p->height, 30);
    EXPECT_GT(hair_pixels(*p), 0);
}

TEST_F(BatchRender, AlphaPassGivesTheHairCoverage) {
    write_scene();
    const ProgramResult r = render({"-n", "1", "1", "1", "-a"});
    ASSERT_EQ(r.status, 0) << r.err;
    auto p = picture("offscreen.1.pic");
    ASSERT_TRUE(p);
    ASSERT_TRUE(p->has_plane(kPicAlpha));
    for (int x = 0; x < p->width; ++x) EXPECT_EQ(p->alpha()[size_t(x)], 0) << x;
    int covered = 0, coloured = 0, coloured_and_covered = 0;
    for (size_t i = 0; i < p->pixel_count(); ++i) {
        covered += p->alpha()[i] > 128;
        coloured += p->red()[i] > 60;
        coloured_and_covered += p->red()[i] > 60 && p->alpha()[i] > 0;
    }
    EXPECT_GT(covered, int(p->pixel_count()) / 5);
    // Hair colour comes with coverage (the square itself, between hairs, has none).
    EXPECT_GT(coloured_and_covered, coloured * 95 / 100);
    EXPECT_NE(message_file().find("Drawing alpha graphics\n"), std::string::npos);
}

TEST_F(BatchRender, AntialiasingSmoothsTheEdges) {
    testing::FurSceneOptions options;
    options.hairs_per_unit = 30;
    options.thickness = 0.03f;
    write_scene(options);
    ASSERT_EQ(render({"-n", "1", "1", "1", "-o", "plain"}).status, 0);
    const ProgramResult r = render({"-n", "1", "1", "1", "-j", "4", "-o", "smooth"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("Drawing antialiazing pass: 8 of 8"), std::string::npos);
    auto plain = picture("plain.1.pic");
    auto smooth = picture("smooth.1.pic");
    ASSERT_TRUE(plain && smooth);
    EXPECT_LT(edge_energy(*smooth), edge_energy(*plain) * 9 / 10);
    // The same fur, in the same place.
    EXPECT_NEAR(hair_pixels(*smooth), hair_pixels(*plain), hair_pixels(*plain) / 2 + 10);
}

TEST_F(BatchRender, PixMapTargetDrawsTheSamePicture) {
    write_scene();
    ASSERT_EQ(render({"-n", "1", "1", "1", "-o", "pbuffer"}).status, 0);
    const ProgramResult r = render({"-n", "1", "1", "1", "-X", "-o", "pixmap"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("Use PixMap\n"), std::string::npos);
    auto a = picture("pbuffer.1.pic");
    auto b = picture("pixmap.1.pic");
    ASSERT_TRUE(a && b);
    ASSERT_EQ(a->pixel_count(), b->pixel_count());
    int differing = 0;
    for (size_t i = 0; i < a->pixel_count(); ++i)
        differing += std::abs(int(a->red()[i]) - int(b->red()[i])) > 8;
    EXPECT_LT(differing, int(a->pixel_count()) / 50);
    EXPECT_GT(hair_pixels(*b), int(b->pixel_count()) / 5);
}

TEST_F(BatchRender, SceneWithoutLightsIsLitFromTheCamera) {
    testing::FurSceneOptions options;
    options.with_light = false;
    write_scene(options);
    const ProgramResult r = render({"-n", "1", "1", "1"});
    ASSERT_EQ(r.status, 0) << r.err;
    auto p = picture("offscreen.1.pic");
    ASSERT_TRUE(p);
    EXPECT_GT(hair_pixels(*p, 15), int(p->pixel_count()) / 5);
}

}  // namespace
}  // namespace vellimor
