// Batch renders of a furry square through the stand-alone program, judged by properties of the
// pictures (coverage, colours at known places, smoothness), never by stored pictures.
#include "support/test_prelude.h"

#include <numeric>

#include "support/program_test.h"

namespace vellimor {
namespace {

namespace fs = std::filesystem;
using test::contains;
using test::ProgramResult;
using testing::FurSceneOptions;

class BatchRender : public test::ProgramTest {
protected:
    // Frame 1 of the square rendered into NAME.1.pic, read back.
    std::unique_ptr<PicImage> render(const std::string &name, std::vector<std::string> args = {},
                                     const FurSceneOptions &options = {}) {
        const std::string database = fur_square(options, "db_" + name);
        args.insert(args.end(), {"-n", "1", "1", "1", "-o", name});
        const ProgramResult run = this->run("vellimor", with_scene(database, args));
        EXPECT_EQ(run.status, 0) << run.err;
        last_err = run.err;
        auto p = picture(name + ".1.pic");
        EXPECT_TRUE(p) << name;
        return p;
    }
    static std::vector<std::string> with_scene(const std::string &database, std::vector<std::string> args) {
        args.insert(args.begin(), {"-b", "-d", database, "-s", "fur"});
        return args;
    }
    std::string last_err;
};

size_t at(const PicImage &p, int x, int y) { return size_t(y) * size_t(p.width) + size_t(x); }

// Pixels whose red stands clearly above the black background.
int hair_pixels(PicImage &p, int threshold = 40) {
    int count = 0;
    for (uint8_t red : p.red()) count += red > threshold;
    return count;
}

// Sum of the squared differences between horizontal neighbours: hard edges make it large, the
// same edge spread over two pixels half as large.
long edge_energy(PicImage &p) {
    long sum = 0;
    for (int y = 0; y < p.height; ++y)
        for (int x = 1; x < p.width; ++x) {
            const long step = long(p.red()[at(p, x, y)]) - long(p.red()[at(p, x - 1, y)]);
            sum += step * step;
        }
    return sum;
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
            const size_t i = at(p, x, y);
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
            for (int yy = std::max(0, y - r); yy <= std::min(p.height - 1, y + r); ++yy)
                for (int xx = std::max(0, x - r); xx <= std::min(p.width - 1, x + r); ++xx, ++n)
                    sum += p.red()[at(p, xx, yy)];
            out[at(p, x, y)] = sum / n;
        }
    return out;
}

// Planes that differ by more than `tolerance` anywhere.
int differing(PicImage &a, PicImage &b, std::initializer_list<int> planes, int tolerance) {
    EXPECT_EQ(a.pixel_count(), b.pixel_count());
    int count = 0;
    for (int c : planes)
        for (size_t i = 0; i < std::min(a.pixel_count(), b.pixel_count()); ++i)
            count += std::abs(int(a.planes[c][i]) - int(b.planes[c][i])) > tolerance;
    return count;
}

size_t centre_of_square(const PicImage &p) { return at(p, p.width / 2, p.height * 5 / 8); }

TEST_F(BatchRender, StepsThroughTheRangeIntoNamedFramesOfTheAskedSize) {
    const std::string database = fur_square();
    // The output folder must exist: the program writes files, it makes no folders, and frames it
    // could not write make the run fail.
    const std::vector<std::string> args = with_scene(database, {"-n", "1", "6", "2", "-S", "40", "30", "-o", "frames/out"});
    const ProgramResult r = run("vellimor", args);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_TRUE(contains(r.err, "ERROR: Can't write frames/out.5.pic\n")) << r.err;
    fs::create_directories(path("frames"));
    const ProgramResult again = run("vellimor", args);
    ASSERT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(files_in(path("frames")), (std::set<std::string>{"out.1.pic", "out.3.pic", "out.5.pic"}));
    EXPECT_TRUE(contains(again.err, "Saving image: frames/out.3.pic\n")) << again.err;
    EXPECT_TRUE(contains(again.err, "Last Frame Time: "));
    EXPECT_TRUE(contains(messages(), "Z sort polygons\nDrawing graphics RGB\n"));
    auto p = picture("frames/out.3.pic");
    ASSERT_TRUE(p);
    EXPECT_EQ(p->width, 40);
    EXPECT_EQ(p->height, 30);
    EXPECT_GT(hair_pixels(*p), 0);
}

// One scene rendered plainly, with the alpha pass, on the pixmap target, antialiased and casting
// shadows: the plain render judged on its own, the others against it.
TEST_F(BatchRender, DrawsLitFurAndEveryTargetPassAndShadowAgrees) {
    auto p = render("plain");
    ASSERT_TRUE(p);
    EXPECT_EQ(p->width, 64);
    EXPECT_EQ(p->height, 48);
    // The top rows look over the square into the empty background.
    for (int x = 0; x < p->width; ++x) EXPECT_EQ(p->red()[size_t(x)], 0) << x;
    // The fur fills the middle of the picture, red as painted and lit.
    const size_t centre = centre_of_square(*p);
    EXPECT_GT(p->red()[centre], 60);
    EXPECT_GT(p->red()[centre], 2 * p->green()[centre]);
    EXPECT_GT(hair_pixels(*p), int(p->pixel_count()) / 5);
    // Without an alpha pass the alpha plane is the opaque alpha the target reads back.
    for (uint8_t a : p->alpha()) ASSERT_EQ(a, 255);
    // The scene is symmetric about the picture's vertical centre line.
    const HalfMeans left = half_means(*p, true), right = half_means(*p, false);
    EXPECT_LT(std::abs(left.red - right.red), (left.red + right.red) / 10);
    // Under the fur the square fills the gaps between the hairs.
    int black = 0;
    for (int y = p->height / 2; y < p->height * 3 / 4; ++y)
        for (int x = p->width / 3; x < p->width * 2 / 3; ++x) black += p->red()[at(*p, x, y)] < 10;
    EXPECT_EQ(black, 0);

    // The alpha pass gives the hair coverage and leaves the colours as they are.
    auto alpha = render("alpha", {"-a"});
    ASSERT_TRUE(alpha && alpha->has_plane(kPicAlpha));
    EXPECT_TRUE(contains(messages(), "Drawing alpha graphics\n"));
    for (int x = 0; x < alpha->width; ++x) EXPECT_EQ(alpha->alpha()[size_t(x)], 0) << x;
    int covered = 0, coloured = 0, coloured_and_covered = 0;
    for (size_t i = 0; i < alpha->pixel_count(); ++i) {
        covered += alpha->alpha()[i] > 128;
        const bool hair = alpha->red()[i] > 60 && alpha->red()[i] > 2 * alpha->green()[i];  // not the grey square
        coloured += hair;
        coloured_and_covered += hair && alpha->alpha()[i] > 0;
    }
    EXPECT_GT(covered, int(alpha->pixel_count()) / 5);
    // Hair colour comes with coverage (the square itself, between hairs, has none: this target
    // has no alpha bitplanes, so the alpha pass starts from a cleared buffer).
    EXPECT_GT(coloured_and_covered, coloured * 95 / 100);
    EXPECT_EQ(differing(*p, *alpha, {kPicRed, kPicGreen, kPicBlue}, 1), 0);
    auto smooth = render("smooth", {"-j", "3"}), smooth_alpha = render("smooth_alpha", {"-j", "3", "-a"});
    ASSERT_TRUE(smooth && smooth_alpha);
    EXPECT_EQ(differing(*smooth, *smooth_alpha, {kPicRed, kPicGreen, kPicBlue}, 1), 0);

    // The pixmap target draws the same picture.
    auto pixmap = render("pixmap", {"-X"});
    ASSERT_TRUE(pixmap);
    EXPECT_TRUE(contains(last_err, "Use PixMap\n"));
    EXPECT_LT(differing(*p, *pixmap, {kPicRed}, 8), int(p->pixel_count()) / 50);
    EXPECT_GT(hair_pixels(*pixmap), int(pixmap->pixel_count()) / 5);

    // Shadowed fur is darker where it is deep. Sums of red over the pixels that show fur in the
    // plain render, row by row; the camera looks down at the square: the far rows show tips, the
    // near edge shows the fur's depth.
    auto shadowed = render("shadowed", {}, {.casts_shadow = true});
    ASSERT_TRUE(shadowed);
    ASSERT_EQ(p->pixel_count(), shadowed->pixel_count());
    std::vector<long> plain_rows, shadowed_rows;
    for (int y = 0; y < p->height; ++y) {
        long lit = 0, dark = 0;
        for (int x = 0; x < p->width; ++x) {
            const size_t i = at(*p, x, y);
            if (p->red()[i] <= 40) continue;
            lit += p->red()[i];
            dark += shadowed->red()[i];
        }
        if (lit == 0) continue;
        plain_rows.push_back(lit);
        shadowed_rows.push_back(dark);
    }
    ASSERT_GE(plain_rows.size(), 9u);
    auto band = [](const std::vector<long> &rows, size_t from, size_t to) {
        return std::accumulate(rows.begin() + long(from), rows.begin() + long(to), 0L);
    };
    const size_t rows = plain_rows.size(), third = rows / 3;
    // Row 0 of a picture is its top row: the near edge, where the deep fur shows, comes last.
    const size_t near = rows - third;
    EXPECT_LT(band(shadowed_rows, near, rows), band(plain_rows, near, rows) * 8 / 10);
    EXPECT_LT(band(shadowed_rows, 0, rows), band(plain_rows, 0, rows) * 95 / 100);
    // The far rows, mostly tips, stay nearly as lit, and nothing turns black.
    EXPECT_GT(band(shadowed_rows, 0, third), band(plain_rows, 0, third) * 85 / 100);
    EXPECT_GT(band(shadowed_rows, near, rows), band(plain_rows, near, rows) / 4);
}

TEST_F(BatchRender, ShadedAndTexturedSurfacesShowWithoutHairsAndNoLightsLightFromTheCamera) {
    for (int mode : {2, 3}) {
        auto p = render("mode" + std::to_string(mode), {}, {.hairs_per_unit = 0, .display_mode = mode});
        ASSERT_TRUE(p);
        // The grey square, lit, where the fur would stand; the sky above it stays black.
        const size_t c = centre_of_square(*p);
        EXPECT_GT(p->red()[c], 60) << mode;
        EXPECT_NEAR(p->red()[c], p->green()[c], 25) << mode;
        EXPECT_NEAR(p->red()[c], p->blue()[c], 40) << mode;
        EXPECT_EQ(p->red()[0], 0) << mode;
    }
    auto p = render("unlit", {}, {.with_light = false});
    ASSERT_TRUE(p);
    EXPECT_GT(hair_pixels(*p, 15), int(p->pixel_count()) / 5);
}

TEST_F(BatchRender, ScreensInFrontOfTheFurByDisplayMode) {
    auto screen_render = [&](int mode, std::vector<std::string> extra = {}) {
        // The background blue, packed in bits 16-23.
        return render("screen" + std::to_string(mode) + (extra.empty() ? "" : "a"), extra,
                      {.background = 0x00FF0000u, .screen_mode = mode});
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

TEST_F(BatchRender, AntialiasingSmoothsTheEdgesOfTheSameHairs) {
    const FurSceneOptions options = {.hairs_per_unit = 60, .thickness = 0.02f};
    // Large enough that the fur's outline, where smoothing changes most, is a small part.
    auto plain = render("level0", {"-S", "256", "192", "-j", "0"}, options);
    auto smooth = render("level4", {"-S", "256", "192", "-j", "4"}, options);
    ASSERT_TRUE(plain && smooth);
    EXPECT_TRUE(contains(last_err, "Drawing antialiazing pass: 8 of 8"));
    EXPECT_LT(edge_energy(*smooth), edge_energy(*plain) * 9 / 10);
    // As bright overall...
    for (bool left : {true, false}) {
        const HalfMeans p = half_means(*plain, left), s = half_means(*smooth, left);
        EXPECT_NEAR(s.red, p.red, p.red * 0.02);
        EXPECT_NEAR(s.green, p.green, p.green * 0.02 + 0.5);
    }
    // ...and, once edges are smoothed away, the same picture.
    const std::vector<double> a = blurred_red(*plain, 3), b = blurred_red(*smooth, 3);
    double difference = 0, level = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        difference += std::abs(a[i] - b[i]);
        level += a[i];
    }
    EXPECT_LT(difference, level * 0.05);
}

}  // namespace
}  // namespace vellimor
