// The demo through the render commands, judged by what the pictures show. The ribbons picture
// the frames of the exact tubes within the bounds, on the demo and a dense fur sphere, with and
// without antialiasing; frames split safely, a chunk and processes of several threads giving the
// bytes of one run of one thread (hairs are grown and shaded on every thread, the antialiasing
// passes drawn by all). Dense fur's smooth shadows follow the sphere, not the coarse grid they are
// interpolated from.
#include "support/test_prelude.h"

#include <regex>

#include "furdata/fur_data.h"
#include "furdata/patch_data.h"
#include "host/globals.h"
#include "host/scene.h"
#include "render/picture_difference.h"
#include "render/png_image.h"
#include "saa/saa.h"
#include "support/program_test.h"

namespace vellimor {
namespace {

namespace fs = std::filesystem;

class RibbonRender : public test::ProgramTest {
protected:
    void SetUp() override { database = demo_copy(); }

    // Renders into NAME.NNNN.png and returns the file of each frame asked for.
    std::vector<std::string> render(const std::string &name, std::vector<std::string> args,
                                    const std::vector<int> &frames, const std::string &cores = "",
                                    test::Environment env = {}) {
        args.insert(args.end(), {"--output", path(name)});
        if (!cores.empty()) env["FUR_MAX_PROC"] = cores;
        last = on_scene("vellimor-host", "render", database, "furball", args, env);
        EXPECT_EQ(last.status, 0) << last.err;
        std::vector<std::string> files;
        for (int frame : frames) {
            char suffix[32];
            std::snprintf(suffix, sizeof suffix, ".%04d.png", frame);
            files.push_back(test::read_file(path(name + suffix)));
        }
        return files;
    }
    // Fur only on the sphere, `density` hairs per square unit of it.
    void sphere_only(int density) {
        for (const std::string surface : {"Ground", "Flag", "Sphere"}) {
            std::ifstream in(database + "/fur/" + surface + ".fur");
            std::stringstream text;
            text << in.rdbuf();
            const std::string file = path(surface + ".fur");
            std::ofstream(file) << std::regex_replace(
                text.str(), std::regex("number_of_hairs_pr_square_unit = [0-9]+"),
                "number_of_hairs_pr_square_unit = " + std::to_string(surface == "Sphere" ? density : 0));
            const test::ProgramResult r = on_scene("vellimor-host", "apply-fur", database, "furball", {file});
            ASSERT_EQ(r.status, 0) << r.err;
        }
    }
    // The tubes' and the ribbons' pictures of the same frames, each pair within the bounds.
    void expect_equivalent(const std::string &name, const std::vector<std::string> &args,
                           const std::vector<int> &frames) {
        std::vector<std::string> exact = args;
        exact.emplace_back("--exact-tubes");
        const auto tubes = render(name + "-tubes", exact, frames), ribbons = render(name + "-ribbons", args, frames);
        for (size_t k = 0; k < frames.size(); ++k) {
            RgbaPixels a, b;
            std::string error;
            ASSERT_TRUE(png_decode({tubes[k].begin(), tubes[k].end()}, kPicMaxDimension, &a, &error)) << error;
            ASSERT_TRUE(png_decode({ribbons[k].begin(), ribbons[k].end()}, kPicMaxDimension, &b, &error)) << error;
            const PictureDifference d = picture_difference(a.rgba, b.rgba, a.width, a.height);
            EXPECT_TRUE(d.equivalent()) << name << " frame " << frames[k] << ": mean " << d.mean[0] << " "
                                        << d.mean[1] << " " << d.mean[2] << ", block " << d.worst_block[0] << " "
                                        << d.worst_block[1] << " " << d.worst_block[2];
            EXPECT_NE(tubes[k], ribbons[k]) << "the ribbons were drawn, not the tubes";
        }
    }

    std::string database;
    test::ProgramResult last;
};

TEST_F(RibbonRender, DemoAndDenseSphereRibbonsPictureTheTubes) {
    expect_equivalent("demo", {"--size", "160", "120", "--aa", "3", "--frames", "1", "30", "20"}, {1, 21});
    sphere_only(3000);  // about 36 000 hairs
    for (const char *level : {"0", "2"})
        expect_equivalent(std::string("sphere") + level, {"--size", "240", "135", "--aa", level, "--frames", "1", "1"},
                          {1});
}

TEST_F(RibbonRender, AChunkAndProcessesOfSeveralThreadsGiveTheBytesOfOneRun) {
    const std::vector<std::string> size = {"--size", "96", "72", "--aa", "1", "--frames"};
    const auto with = [&](std::vector<std::string> more) {
        more.insert(more.begin(), size.begin(), size.end());
        return more;
    };
    const auto whole = render("whole", with({"1", "3", "--threads", "1"}), {1, 2, 3});
    ASSERT_GT(whole[0].size(), 1000u);
    EXPECT_TRUE(render("jobs", with({"1", "3", "--jobs", "2", "--threads", "3"}), {1, 2, 3}) == whole);
    EXPECT_TRUE(test::contains(last.err, "by 2 processes")) << last.err;
    EXPECT_TRUE(test::contains(last.err, "Running on 3 processors")) << last.err;
    // Every written file is listed once on stdout, whichever process wrote it.
    for (int f = 1; f <= 3; ++f) EXPECT_EQ(test::count(last.out, path("jobs.000" + std::to_string(f) + ".png\n")), 1u);
    // The chunk grows its fur where the whole run does and draws, but does not save, the frame
    // before its first.
    EXPECT_TRUE(render("chunk", with({"2", "3"}), {2, 3}) == std::vector(whole.begin() + 1, whole.end()));
    EXPECT_TRUE(test::contains(last.err, "Pre-roll: frame 1 drawn, not saved")) << last.err;
    EXPECT_FALSE(std::filesystem::exists(path("chunk.0001.png")));

    // The exact tubes too, and the FUR_ switch asks for them wherever the option cannot be given.
    const auto one = render("one", with({"1", "2", "--exact-tubes"}), {1, 2}, "1");
    EXPECT_NE(one[0], whole[0]);
    EXPECT_TRUE(render("chunks", with({"1", "2", "--exact-tubes", "--jobs", "2"}), {1, 2}) == one);
    EXPECT_TRUE(render("switch", with({"1", "2"}), {1, 2}, "3", {{"FUR_EXACT_TUBES", "1"}}) == one);
}

class DenseFurRender : public test::ProgramTest {
protected:
    // The demo database with fur only on the sphere: an even coat (combed, without randomness,
    // curl or pull, in one colour) casting smooth shadows, so that brightness across the
    // picture changes only with the light.
    fs::path write_even_coat(int hairs_per_unit) {
        const fs::path database = path("furball");
        fs::copy(test::demo_database(), database, fs::copy_options::recursive);
        run_state().run_mode = kRunModeStandAlone;
        SAA_InitInternal("", 0, "SDKv1.71.6");
        EXPECT_EQ(MY_read_scene("furball", database.c_str()), 0);
        read_fur_data(1);
        for (auto &record : scene_state().patches) {
            PatchData &r = *record;
            r.Patch_display_mode = 0;  // "Hidden": only the fur shows
            if (r.name != "Sphere") {
                r.number_of_hairs_pr_square_unit = 0;
                continue;
            }
            r.number_of_hairs_pr_square_unit = hairs_per_unit;
            r.casts_shadow = 1;
            r.shadow_exact = 0;
            r.number_shadow_levels = 5;
            r.shadow_subdivision = 2;
            for (TextureKey &key : r.texture_keys) {
                key.length.value = 0.3f;
                key.length.random = 0.0f;
                key.segments.value = 4.0f;
                key.segments.random = 0.0f;
                key.curl.value = key.curl.random = 0.0f;
                key.gravity.value = key.gravity.random = 0.0f;
                // Combed along v: no whorl turns the hairs towards the camera.
                key.grow.valueU = key.grow.random = 0.0f;
                key.grow.valueV = 1.1f;
                key.bend.valueU = key.bend.valueV = key.bend.random = 0.0f;
                for (int k = 0; k < kMaxColorKeys; ++k)
                    key.color_keys[kColorDiffuse][k] = {0, 0.8f, 0.6f, 0.4f, 1.0f, 0};
            }
        }
        EXPECT_EQ(write_fur_data(1), 0);
        free_all();
        return database;
    }

    std::unique_ptr<PicImage> render(const fs::path &database) {
        const test::ProgramResult r = on_scene("vellimor", "", database.string(), "furball",
                                               {"-b", "-n", "1", "1", "1", "-S", "160", "120", "-o", "dense"});
        EXPECT_EQ(r.status, 0) << r.err;
        return picture("dense.1.pic");
    }
};

float brightness(PicImage &picture, int x, int y) {
    const size_t i = size_t(y) * size_t(picture.width) + size_t(x);
    return (float(picture.red()[i]) + float(picture.green()[i]) + float(picture.blue()[i])) / 3.0f;
}

struct Box {
    int x0, x1, y0, y1;
};

// The bounding box of the fur.
Box fur_box(PicImage &picture) {
    Box box{picture.width, -1, picture.height, -1};
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x)
            if (brightness(picture, x, y) > 30.0f) {
                box.x0 = std::min(box.x0, x);
                box.x1 = std::max(box.x1, x);
                box.y0 = std::min(box.y0, y);
                box.y1 = std::max(box.y1, y);
            }
    return box;
}

// Mean brightness of windows along a line across the fur, horizontal (below the equator, where
// the combed coat has no parting) or vertical (beside the middle, clear of the seam and the
// pole's whorl). Each window is a band across the line, many hairs wide.
std::vector<float> profile_across(PicImage &picture, bool horizontal) {
    constexpr int kSlices = 16;      // the line cut in sixteenths
    constexpr float kOffset = 0.3f;  // of the half size, off the middle
    constexpr float kBand = 0.12f;   // of the half size, either side of the line
    const Box box = fur_box(picture);
    std::vector<float> profile;
    if (box.x1 < box.x0) return profile;
    const int lo = horizontal ? box.x0 : box.y0;
    const int span = horizontal ? box.x1 - box.x0 : box.y1 - box.y0;
    const int other = horizontal ? box.y1 - box.y0 : box.x1 - box.x0;
    const int line = (horizontal ? box.y0 + box.y1 : box.x0 + box.x1) / 2 +
                     int(kOffset * float(other) / 2.0f);
    const int half = std::max(1, span / (2 * kSlices));
    const int band = std::max(1, int(kBand * float(other) / 2.0f));
    const int first = horizontal ? 2 : 4, last = kSlices - 2;
    for (int k = first; k <= last; ++k) {
        const int at = lo + span * k / kSlices;
        float sum = 0.0f;
        int count = 0;
        for (int d = -half; d <= half; ++d)
            for (int e = -band; e <= band; ++e) {
                sum += horizontal ? brightness(picture, at + d, line + e)
                                  : brightness(picture, line + e, at + d);
                ++count;
            }
        profile.push_back(sum / float(count));
    }
    return profile;
}

// The largest departure of the profile from the parabola that fits it best, against its mean:
// light falling off over the sphere follows such a curve, a lattice of dark bands does not.
float departure_from_smooth(const std::vector<float> &profile) {
    // Least squares for p(x) = c0 + c1·x + c2·x², x in 0..1, by the normal equations.
    double m[3][4] = {};
    const size_t n = profile.size();
    for (size_t i = 0; i < n; ++i) {
        const double x = double(i) / double(n - 1), powers[3] = {1.0, x, x * x};
        for (int r = 0; r < 3; ++r) {
            for (int c = 0; c < 3; ++c) m[r][c] += powers[r] * powers[c];
            m[r][3] += powers[r] * profile[i];
        }
    }
    for (int r = 0; r < 3; ++r) {
        const double pivot = m[r][r];
        for (int c = r; c < 4; ++c) m[r][c] /= pivot;
        for (int o = 0; o < 3; ++o) {
            if (o == r) continue;
            const double f = m[o][r];
            for (int c = r; c < 4; ++c) m[o][c] -= f * m[r][c];
        }
    }
    double mean = 0.0, largest = 0.0;
    for (size_t i = 0; i < n; ++i) {
        const double x = double(i) / double(n - 1);
        mean += profile[i] / double(n);
        largest = std::max(largest, std::fabs(profile[i] - (m[0][3] + m[1][3] * x + m[2][3] * x * x)));
    }
    return mean > 0.0 ? float(largest / mean) : 0.0f;
}

TEST_F(DenseFurRender, SmoothShadowsFollowTheSphereNotTheirGrid) {
    auto picture = render(write_even_coat(5000));
    ASSERT_TRUE(picture);
    for (const bool horizontal : {true, false}) {
        const std::vector<float> profile = profile_across(*picture, horizontal);
        ASSERT_GE(profile.size(), 9u);
        std::string values;
        for (float p : profile) values += " " + std::to_string(int(p));
        const char *line = horizontal ? "row" : "column";
        // The fur is lit along the whole line, and no dark band crosses it (the bands of the
        // shadow grid's cells went 25% below the light's falloff).
        for (float p : profile) EXPECT_GT(p, 40.0f) << line << values;
        EXPECT_LT(departure_from_smooth(profile), 0.1f) << line << values;
    }
}

}  // namespace
}  // namespace vellimor
