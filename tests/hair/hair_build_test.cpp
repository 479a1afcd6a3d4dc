// End to end: the demo scene read as the stand-alone program reads it, hairs grown on every fur
// surface at a real density, and the same roots, counts and reports on every run and in every
// process.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "furdata/fur_data.h"
#include "hair/placement.h"
#include "host/globals.h"
#include "host/scene.h"
#include "saa/saa.h"
#include "support/child_test.h"
#include "support/paths.h"

namespace vellimor {
namespace {

constexpr int kHairsPerUnit = 2000;

// FNV-1a over the bytes of every root, so two runs compare in one line.
uint64_t digest_of(const std::vector<HairRoot> &roots, uint64_t hash) {
    for (const HairRoot &root : roots) {
        const float *fields = &root.u_param;
        for (size_t i = 0; i < sizeof(HairRoot) / sizeof(float); ++i) {
            uint32_t bits;
            std::memcpy(&bits, fields + i, sizeof bits);
            for (int b = 0; b < 4; ++b)
                hash = (hash ^ ((bits >> (8 * b)) & 0xFF)) * 0x100000001B3ull;
        }
    }
    return hash;
}

// The report lines of one build of every surface, without their timings, and a digest of the
// roots and cell counts.
std::string build_demo_fur() {
    ::testing::internal::CaptureStderr();
    std::ostringstream summary;
    SceneState &s = scene_state();
    for (int p = 0; p < s.patch_count(); ++p) {
        grow_fur(p, kHairsPerUnit, 0);
        const PatchData &record = *s.patches[p];
        uint64_t hash = digest_of(record.hairs, 0xCBF29CE484222325ull);
        for (const SubPatchCell &cell : record.cells)
            hash = (hash ^ uint64_t(cell.hair_count)) * 0x100000001B3ull;
        summary << record.name << " " << record.hair_count << " " << std::hex << hash << std::dec
                << "\n";
    }
    const std::string output = ::testing::internal::GetCapturedStderr();
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line, '\n')) {
        const size_t cr = line.rfind('\r');  // progress counts share the line
        if (cr != std::string::npos) line = line.substr(cr + 1);
        const size_t timing = line.find(" Time used:");
        if (line.rfind("Done building ", 0) == 0 || line.rfind("Building hairs on: ", 0) == 0)
            summary << line.substr(0, timing) << "\n";
    }
    return summary.str();
}

class HairBuild : public ::testing::Test {
protected:
    void SetUp() override {
        run_state().run_mode = kRunModeStandAlone;
        run_state().batch = 1;  // reports go to the error stream, as in a batch render
        SAA_InitInternal("", 0, "SDKv1.71.6");
        ASSERT_EQ(MY_read_scene("furball", test::demo_database().c_str()), 0);
        read_fur_data(0);
        ASSERT_GE(scene_state().patch_count(), 2);
        double seconds = 0;
        ASSERT_EQ(SAA_frame2Seconds(&scene_state().scene, scene_state().current_frame, &seconds), SAA_OK);
        SAA_updatelistEvalScene(&scene_state().scene, seconds);
    }
    void TearDown() override {
        free_all();
        reset_globals();
    }
};

// Run in a child process by the test below: writes the build summary to the named file.
TEST_F(HairBuild, WriteSummaryForParent) {
    const char *path = test_support::child_output_path("VELLIMOR_HAIR_SUMMARY");
    if (!path) GTEST_SKIP() << "only run as a child process";
    std::ofstream(path) << build_demo_fur();
}

// The same fur on every build: again in this process (nothing of a build leaks into the next)
// and in another process (nothing depends on addresses or leftover memory).
TEST_F(HairBuild, DemoSceneGrowsTheSameFurOnEveryRunAndInEveryProcess) {
    const std::string first = build_demo_fur();
    EXPECT_NE(first.find("Building hairs on: Sphere\n"), std::string::npos) << first;
    EXPECT_NE(first.find("Done building "), std::string::npos) << first;
    for (int p = 0; p < scene_state().patch_count(); ++p) {
        const PatchData &record = *scene_state().patches[p];
        EXPECT_GT(record.hair_count, 0) << record.name;
        EXPECT_EQ(record.number_of_hairs_pr_square_unit, kHairsPerUnit);
    }
    EXPECT_EQ(build_demo_fur(), first);
    EXPECT_EQ(test_support::output_of_child_test("HairBuild.WriteSummaryForParent", "VELLIMOR_HAIR_SUMMARY"), first);
}

// Roots spread evenly over a sphere's area, poles included: the cells next to a pole cover a
// thin cone whose area gathers away from the pole, and roots drawn evenly over (u, v) there
// crowded into a tuft. On the demo's unit sphere the two caps within 20 degrees of the poles
// hold 1 - cos 20° of the area; the band between 30 and 50 degrees from the north pole
// (cos 30° - cos 50°) takes the same check away from the poles.
TEST_F(HairBuild, SphereRootsSpreadEvenlyOverTheAreaUpToThePoles) {
    SceneState &s = scene_state();
    int sphere = -1;
    for (int p = 0; p < s.patch_count(); ++p)
        if (s.patches[p] && s.patches[p]->name == "Sphere") sphere = p;
    ASSERT_GE(sphere, 0);
    // The demo thins the fur near its south pole: no thinning here.
    PatchData &record = *s.patches[sphere];
    for (TextureKey &key : record.texture_keys) key.density.value = 1.0f;
    record.density_map_dirty = 1;
    ::testing::internal::CaptureStderr();
    grow_fur(sphere, 20000, 0);
    ::testing::internal::GetCapturedStderr();
    const std::vector<HairRoot> &roots = s.patches[sphere]->hairs;
    ASSERT_GT(roots.size(), 100000u);
    constexpr double kDegrees = 3.14159265358979323846 / 180.0;
    size_t caps = 0, band = 0;
    for (const HairRoot &root : roots) {
        const double y = root.position[1];
        caps += std::fabs(y) > std::cos(20 * kDegrees);
        band += y < std::cos(30 * kDegrees) && y > std::cos(50 * kDegrees);
    }
    const double total = double(roots.size());
    EXPECT_NEAR(caps / total, 1.0 - std::cos(20 * kDegrees), 0.004);
    EXPECT_NEAR(band / total / 0.5, std::cos(30 * kDegrees) - std::cos(50 * kDegrees), 0.004);
}

}  // namespace
}  // namespace vellimor
