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

// Sum of the squared differences between horizontal neighbours: hard edges make it large, the
// same edge spread over two pixels half as large.
long edge_energy(PicImage &p) {
    long sum = 0;
    for (int y = 0; y < p.height; ++y)
        for (int x = 1; x < p.width; ++x) {
            const size_t i = size_t(y) * size_t(p.width) + size_t(x);
            const long step = long(p.red()[i]) - long(p.red()[i - 1]);
            sum += step * step;
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
        const bool hair = p->red()[i] > 60 && p->red()[i] > 2 * p->green()[i];  // not the grey square
        coloured += hair;
        coloured_and_covered += hair && p->alpha()[i] > 0;
    }
    EXPECT_GT(covered, int(p->pixel_count()) / 5);
    // Hair colour comes with coverage (the square itself, between hairs, has none: this target
    // has no alpha bitplanes, so the alpha pass starts from a cleared buffer).
    EXPECT_GT(coloured_and_covered, coloured * 95 / 100);
    EXPECT_NE(message_file().find("Drawing alpha graphics\n"), std::string::npos);
}

// Mean of each plane over the picture's left or right half.
struct HalfMeans {
    double red = 0, green = 0, blue = 0, alpha = 0;
};
HalfMeans half_means(PicImage &p, bool left) {
    HalfMeans m;
    const int x0 = left ? 0 : p.width / 2, x1 = left ? p.width / 2 : p.width;
    for (int y = 0; y < p.height; ++y)
        for (int x = x0; x < x1; ++x) {
            const size_t i = size_t(y) * size_t(p.width) + size_t(x);
            m.red += p.red()[i];
            m.green += p.green()[i];
            m.blue += p.blue()[i];
            m.alpha += p.has_plane(kPicAlpha) ? p.alpha()[i] : 255;
        }
    const double n = double(x1 - x0) * p.height;
    m.red /= n, m.green /= n, m.blue /= n, m.alpha /= n;
    return m;
}

// The red plane averaged over boxes of (2r+1)^2 pixels: what is left when edges are smoothed.
std::vector<double> blurred_red(PicImage &p, int r) {
    std::vector<double> out(p.pixel_count(), 0.0);
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) {
            double sum = 0;
            int n = 0;
            for (int dy = -r; dy <= r; ++dy)
                for (int dx = -r; dx <= r; ++dx) {
                    const int xx = x + dx, yy = y + dy;
                    if (xx < 0 || yy < 0 || xx >= p.width || yy >= p.height) continue;
                    sum += p.red()[size_t(yy) * size_t(p.width) + size_t(xx)];
                    ++n;
                }
            out[size_t(y) * size_t(p.width) + size_t(x)] = sum / n;
        }
    return out;
}

size_t centre_of_square(const PicImage &p) { return size_t(p.height * 5 / 8) * size_t(p.width) + size_t(p.width / 2); }

TEST_F(BatchRender, ShadedAndTexturedSurfacesShowWithoutHairs) {
    for (int mode : {2, 3}) {
        testing::FurSceneOptions options;
        options.hairs_per_unit = 0;
        options.display_mode = mode;
        write_scene(options);
        const ProgramResult r = render({"-n", "1", "1", "1", "-o", "mode" + std::to_string(mode)});
        ASSERT_EQ(r.status, 0) << r.err;
        auto p = picture("mode" + std::to_string(mode) + ".1.pic");
        ASSERT_TRUE(p);
        // The grey square, lit, where the fur would stand; the sky above it stays black.
        const size_t c = centre_of_square(*p);
        EXPECT_GT(p->red()[c], 60) << mode;
        EXPECT_NEAR(p->red()[c], p->green()[c], 25) << mode;
        EXPECT_NEAR(p->red()[c], p->blue()[c], 40) << mode;
        EXPECT_EQ(p->red()[0], 0) << mode;
    }
    // Under the fur the square fills the gaps between the hairs.
    write_scene();
    ASSERT_EQ(render({"-n", "1", "1", "1", "-o", "fur"}).status, 0);
    auto fur = picture("fur.1.pic");
    ASSERT_TRUE(fur);
    int black = 0;
    for (int y = fur->height / 2; y < fur->height * 3 / 4; ++y)
        for (int x = fur->width / 3; x < fur->width * 2 / 3; ++x)
            black += fur->red()[size_t(y) * size_t(fur->width) + size_t(x)] < 10;
    EXPECT_EQ(black, 0);
}

TEST_F(BatchRender, ScreensInFrontOfTheFurByDisplayMode) {
    constexpr unsigned kBlue = 0x00FF0000u;  // packed, blue in bits 16-23
    auto screen_render = [&](int mode, std::vector<std::string> extra = {}) {
        testing::FurSceneOptions options;
        options.background = kBlue;
        options.screen_mode = mode;
        write_scene(options);
        std::vector<std::string> args = {"-n", "1", "1", "1", "-o", "screen" + std::to_string(mode)};
        args.insert(args.end(), extra.begin(), extra.end());
        const ProgramResult r = render(args);
        EXPECT_EQ(r.status, 0) << r.err;
        return picture("screen" + std::to_string(mode) + ".1.pic");
    };
    // "Zbuffer": invisible itself, it hides the hairs behind it and the background shows.
    auto zbuffer = screen_render(4);
    ASSERT_TRUE(zbuffer);
    const HalfMeans z_left = half_means(*zbuffer, true), z_right = half_means(*zbuffer, false);
    EXPECT_EQ(z_left.red, 0);
    EXPECT_EQ(z_left.blue, 255);
    EXPECT_GT(z_right.red, 20);  // the fur on the right
    // "Shade": the screen is drawn, grey and lit.
    auto shade = screen_render(2);
    ASSERT_TRUE(shade);
    const HalfMeans s_left = half_means(*shade, true);
    EXPECT_GT(s_left.red, 40);
    EXPECT_NEAR(s_left.red, s_left.green, 25);
    // "Matte": black, a hole in the background that hides the hairs behind it; with the alpha
    // pass, no alpha there either (without it the target's alpha is opaque everywhere).
    for (bool alpha : {false, true}) {
        auto matte = alpha ? screen_render(5, {"-a"}) : screen_render(5);
        ASSERT_TRUE(matte);
        const HalfMeans m_left = half_means(*matte, true), m_right = half_means(*matte, false);
        EXPECT_EQ(m_left.red + m_left.green + m_left.blue, 0) << alpha;
        EXPECT_GT(m_right.red, 20) << alpha;
        EXPECT_GT(m_right.blue, 40) << alpha;  // the background between the hairs
        if (!alpha) continue;
        EXPECT_EQ(m_left.alpha, 0);
        EXPECT_GT(m_right.alpha, 20);
    }
}

TEST_F(BatchRender, AlphaPassLeavesTheColoursAsTheyAre) {
    write_scene();
    ASSERT_EQ(render({"-n", "1", "1", "1", "-o", "plain"}).status, 0);
    ASSERT_EQ(render({"-n", "1", "1", "1", "-a", "-o", "alpha"}).status, 0);
    ASSERT_EQ(render({"-n", "1", "1", "1", "-j", "3", "-o", "smooth"}).status, 0);
    ASSERT_EQ(render({"-n", "1", "1", "1", "-j", "3", "-a", "-o", "smooth_alpha"}).status, 0);
    for (const auto &[without, with] : {std::pair{"plain", "alpha"}, std::pair{"smooth", "smooth_alpha"}}) {
        auto a = picture(std::string(without) + ".1.pic");
        auto b = picture(std::string(with) + ".1.pic");
        ASSERT_TRUE(a && b);
        ASSERT_EQ(a->pixel_count(), b->pixel_count());
        int differing = 0;
        for (int c : {kPicRed, kPicGreen, kPicBlue})
            for (size_t i = 0; i < a->pixel_count(); ++i)
                differing += std::abs(int(a->planes[c][i]) - int(b->planes[c][i])) > 1;
        EXPECT_EQ(differing, 0) << without;
    }
}

TEST_F(BatchRender, AntialiasingSmoothsTheEdgesOfTheSameHairs) {
    testing::FurSceneOptions options;
    options.hairs_per_unit = 60;
    options.thickness = 0.02f;
    write_scene(options);
    // Large enough that the fur's outline, where smoothing changes most, is a small part.
    ASSERT_EQ(render({"-n", "1", "1", "1", "-S", "256", "192", "-j", "0", "-o", "level0"}).status, 0);
    const ProgramResult r = render({"-n", "1", "1", "1", "-S", "256", "192", "-j", "4", "-o", "level4"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("Drawing antialiazing pass: 8 of 8"), std::string::npos);
    auto plain = picture("level0.1.pic");
    auto smooth = picture("level4.1.pic");
    ASSERT_TRUE(plain && smooth);
    EXPECT_LT(edge_energy(*smooth), edge_energy(*plain) * 9 / 10);
    // As bright overall...
    const HalfMeans p_left = half_means(*plain, true), s_left = half_means(*smooth, true);
    const HalfMeans p_right = half_means(*plain, false), s_right = half_means(*smooth, false);
    EXPECT_NEAR(s_left.red, p_left.red, p_left.red * 0.02);
    EXPECT_NEAR(s_right.red, p_right.red, p_right.red * 0.02);
    EXPECT_NEAR(s_left.green, p_left.green, p_left.green * 0.02 + 0.5);
    // ...and, once edges are smoothed away, the same picture.
    const std::vector<double> a = blurred_red(*plain, 3), b = blurred_red(*smooth, 3);
    double difference = 0, level = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        difference += std::abs(a[i] - b[i]);
        level += a[i];
    }
    EXPECT_LT(difference, level * 0.05);
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
