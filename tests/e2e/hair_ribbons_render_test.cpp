// The ribbons against the exact tubes through `vellimor-host render`: the demo and a dense fur
// sphere picture the same frames within the bounds, with and without antialiasing; the tubes
// stay the same bytes on any number of cores and in chunks.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>

#include "render/picture_difference.h"
#include "render/png_image.h"
#include "support/program_test.h"

namespace vellimor {
namespace {

class RibbonRender : public test::ProgramTest {
protected:
    void SetUp() override { database = demo_copy(); }

    // Renders into NAME.NNNN.png and returns the file of each frame asked for.
    std::vector<std::string> render(const std::string &name, std::vector<std::string> args, const std::vector<int> &frames,
                                    const std::string &cores = "", test::Environment env = {}) {
        args.insert(args.end(), {"--output", path(name)});
        if (!cores.empty()) env["FUR_MAX_PROC"] = cores;
        const test::ProgramResult r = on_scene("vellimor-host", "render", database, "furball", args, env);
        EXPECT_EQ(r.status, 0) << r.err;
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
    void expect_equivalent(const std::string &name, const std::vector<std::string> &args, const std::vector<int> &frames) {
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
};

TEST_F(RibbonRender, DemoAndDenseSphereRibbonsPictureTheTubes) {
    expect_equivalent("demo", {"--size", "160", "120", "--aa", "3", "--frames", "1", "30", "10"}, {1, 11, 21});
    sphere_only(3000);  // about 36 000 hairs
    for (const char *level : {"0", "4"})
        expect_equivalent(std::string("sphere") + level, {"--size", "320", "180", "--aa", level, "--frames", "1", "1"},
                          {1});
}

TEST_F(RibbonRender, TubesAreTheSameBytesOnEveryCoreCountAndInChunks) {
    const std::vector<std::string> args = {"--exact-tubes", "--size", "96", "72", "--aa", "1", "--frames", "1", "2"};
    const auto one = render("one", args, {1, 2}, "1");
    ASSERT_GT(one[0].size(), 1000u);
    EXPECT_TRUE(render("three", args, {1, 2}, "3") == one);
    std::vector<std::string> chunked = args;
    chunked.insert(chunked.end(), {"--jobs", "2"});
    EXPECT_TRUE(render("chunks", chunked, {1, 2}) == one);
    // The FUR_ switch asks for the same tubes wherever the option cannot be given.
    const std::vector<std::string> switched(args.begin() + 1, args.end());
    EXPECT_TRUE(render("switch", switched, {1, 2}, "1", {{"FUR_EXACT_TUBES", "1"}}) == one);
}

}  // namespace
}  // namespace vellimor
