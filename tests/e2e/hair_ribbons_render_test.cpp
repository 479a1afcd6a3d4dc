// The demo through `vellimor-host render`: the ribbons picture the frames of the exact tubes within
// the bounds, on the demo and a dense fur sphere, with and without antialiasing; frames split
// safely, a chunk and processes of several threads giving the bytes of one run of one thread
// (hairs are grown and shaded on every thread, the antialiasing passes drawn by all).
#include <gtest/gtest.h>

#include <filesystem>
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

}  // namespace
}  // namespace vellimor
