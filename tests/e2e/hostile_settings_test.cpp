// Settings no groom uses, applied with the host driver and stored in the scene, then rendered
// and exported by new runs: each run reports what it changed, ends in bounded time with its
// normal status, and the sanitizers of this build see nothing.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>

#include "render/pic_file.h"
#include "support/program_test.h"

namespace vellimor {
namespace {

namespace fs = std::filesystem;
using test::ProgramResult;

class HostileSettings : public test::ProgramTest {
protected:
    void SetUp() override { db = fur_square(); }
    ProgramResult host(const std::string &command, const std::vector<std::string> &args) {
        return on_scene("vellimor-host", command, db.string(), "fur", args);
    }
    ProgramResult render() { return on_scene("vellimor", "", db.string(), "fur", {"-b", "-n", "1", "1", "1", "-o", "out"}); }

    // The exported settings with each (key, value) put in place of the key's written value.
    std::string exported_with(const std::vector<std::pair<std::string, std::string>> &values) {
        const std::string path = work.path() + "/square.txt";
        const ProgramResult exported = host("export-fur", {"--surface", "Square", path});
        EXPECT_EQ(exported.status, 0) << exported.err;
        std::string text = test::read_file(path);
        for (const auto &[key, value] : values) {
            const std::regex line("(\t+" + std::regex_replace(key, std::regex(R"([.\[\]])"), R"(\$&)") +
                                  R"(\s+= \t ).*)");
            EXPECT_TRUE(std::regex_search(text, line)) << key;
            std::smatch m;
            if (std::regex_search(text, m, line))
                text = m.prefix().str() + m[1].str() + value + m.suffix().str();
        }
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }

    fs::path db;
};

TEST_F(HostileSettings, ValuesThatBrokeRendersAreBoundedWhenAppliedAndRenderSafely) {
    const std::string path = exported_with({{"casts_shadow", "1"},
                                            {"curl.value", "nan"},
                                            {"curl.random", "inf"},
                                            {"length_sequence.use_sequence", "1"},
                                            {"length_sequence.sequence_offset", "2147483647"},
                                            {"curl_sequence.use_sequence", "1"},
                                            {"curl_sequence.sequence_offset", "-2147483648"},
                                            {"length_map_res", "2147483647"},
                                            {"segments.value", "32768"},
                                            {"number_shadow_levels", "10000"}});
    const ProgramResult applied = host("apply-fur", {"--surface", "Square", path});
    ASSERT_EQ(applied.status, 0) << applied.err;
    for (const char *expected :
         {"Square: TEXTUREKEY 0 curl.value = nan is out of range, 0 used",
          "Square: TEXTUREKEY 0 curl.random = inf is out of range, 0 used",
          "Square: length_sequence.sequence_offset = 2147483647 is out of range, 0 used",
          "Square: curl_sequence.sequence_offset = -2147483648 is out of range, 0 used",
          "Square: length_map_res = 2147483647 is out of range, 50 used",
          "Square: TEXTUREKEY 0 segments.value = 32768 is out of range, 5 used",
          "Square: number_shadow_levels = 10000 is out of range, 5 used"})
        EXPECT_NE(applied.err.find(expected), std::string::npos) << expected << "\n" << applied.err;

    const ProgramResult rendered = render();
    EXPECT_EQ(rendered.status, 0) << rendered.err;
    EXPECT_TRUE(pic_read_file(work.path() + "/out.1.pic"));
    const ProgramResult exported = host("export-fur", {"--surface", "Square", work.path() + "/back.txt"});
    EXPECT_EQ(exported.status, 0) << exported.err;
    EXPECT_NE(test::read_file(work.path() + "/back.txt").find("number_shadow_levels           = \t 5\n"),
              std::string::npos);
}

TEST_F(HostileSettings, SettingsAreCheckedAsReadBeforeTheyAreNarrowed) {
    const std::string path = exported_with({{"number_shadow_levels", "65600"},
                                            {"group", "77777"},
                                            {"max_number_of_segments", "65600"},
                                            {"TileU", "65537"},
                                            {"casts_shadow", "65536"},
                                            {"render_mode", "77777"},
                                            {"length_sequence.error_handling", "77777"},
                                            {"key_mode", "77777"},
                                            {"segments.random", "-1000000"}});
    const ProgramResult applied = host("apply-fur", {"--surface", "Square", path});
    ASSERT_EQ(applied.status, 0) << applied.err;
    for (const char *expected :
         {"Square: number_shadow_levels = 65600 is out of range, 5 used", "Square: group = 77777 is out of range, 0 used",
          "Square: max_number_of_segments = 65600 is out of range, 5 used", "Square: TileU = 65537 is out of range, 0 used",
          "Square: casts_shadow = 65536 is out of range, 0 used", "Square: render_mode = 77777 is out of range, 2000 used",
          "Square: length_sequence.error_handling = 77777 is out of range, 0 used",
          "Square: TEXTUREKEY 0 key_mode = 77777 is out of range, 0 used",
          // A negative random amount would raise the segments past their cap.
          "Square: TEXTUREKEY 0 segments.random = -1e+06 is out of range, 0 used"})
        EXPECT_NE(applied.err.find(expected), std::string::npos) << expected << "\n" << applied.err;
}

TEST_F(HostileSettings, RendersBeyondTheirMemoryAreRefusedBeforeAnyWork) {
    // The densest setting allowed, on a surface too large for its roots.
    const std::string densest = exported_with({{"number_of_hairs_pr_square_unit", "100000000"}});
    ASSERT_EQ(host("apply-fur", {"--surface", "Square", densest}).status, 0);
    const ProgramResult batch = render();
    EXPECT_EQ(batch.status, 95) << batch.err;
    EXPECT_NE(batch.err.find("ERROR: Square would grow about 400000000 hairs, at most 16777216 fit on one surface"),
              std::string::npos)
        << batch.err;
    EXPECT_EQ(batch.err.find("Building hairs"), std::string::npos) << "refused before any hair grows";
    EXPECT_FALSE(fs::exists(work.path() + "/out.1.pic"));

    // Within the limits, but beyond the memory the render may take: the line gives the estimate
    // and the settings to lower.
    const std::string dense = exported_with({{"number_of_hairs_pr_square_unit", "1300000"}});
    ASSERT_EQ(host("apply-fur", {"--surface", "Square", dense}).status, 0);
    const ProgramResult limited = host("render", {"--frames", "1", "1", "--max-memory", "200M", "--output",
                                                  work.path() + "/limited"});
    EXPECT_EQ(limited.status, 1) << limited.err;
    EXPECT_TRUE(std::regex_search(limited.err, std::regex(R"(ERROR: A frame would need about \d+\.\d GB \(5200000 )"
                                                          R"(hairs of up to 4 segments\), more than the 200 MB allowed: )"
                                                          R"(lower number_of_hairs_pr_square_unit or the segments of )"
                                                          R"(Square, or raise the limit)")))
        << limited.err;
}

#if defined(__SANITIZE_ADDRESS__)
// The sanitizer's allocator refuses every block of hair points, as a machine out of memory would:
// the frame lost its hairs, so it is not written and the render fails.
TEST_F(HostileSettings, AFrameThatLostHairsIsAFailedFrame) {
    auto env = environment();
    env["ASAN_OPTIONS"] = "max_allocation_size_mb=5:allocator_may_return_null=1";
    const ProgramResult batch = test::run_program(
        "vellimor", {"-b", "-d", db.string(), "-s", "fur", "-n", "1", "1", "1", "-o", "out"}, env, work.path());
    EXPECT_EQ(batch.status, 1) << batch.err;
    EXPECT_NE(batch.err.find("ERROR: Can't allocate more memory, draw1"), std::string::npos) << batch.err;
    EXPECT_NE(batch.err.find("ERROR: Frame 1 lost hairs (see the ERROR lines above): not saved"), std::string::npos)
        << batch.err;
    EXPECT_FALSE(fs::exists(work.path() + "/out.1.pic"));
    const ProgramResult rendered = test::run_program(
        "vellimor-host", {"render", "-d", db.string(), "-s", "fur", "--frames", "1", "2", "--output", work.path() + "/r"},
        env, work.path());
    EXPECT_EQ(rendered.status, 1) << rendered.err;
    EXPECT_NE(rendered.err.find("vellimor-host: 2 of 2 frames failed (see the ERROR lines above)"), std::string::npos)
        << rendered.err;
    EXPECT_FALSE(fs::exists(work.path() + "/r.0001.png"));
}
#endif

TEST_F(HostileSettings, SurfaceNamesLeaveSettingsFilesReadableAndCurvesSayWhyNone) {
    // A name with a blank and a line break, as a scene file may hold it.
    std::string scene = test::read_file((db / "SCENES" / "fur.dsc").string());
    const std::string square = R"("name": "Square")";
    ASSERT_NE(scene.find(square), std::string::npos);
    scene.replace(scene.find(square), square.size(), R"("name": "My\nSquare x")");
    std::ofstream(db / "SCENES" / "fur.dsc", std::ios::binary) << scene;
    const std::string path = work.path() + "/named.fur";
    ASSERT_EQ(host("export-fur", {path}).status, 0);
    const std::string text = test::read_file(path);
    EXPECT_EQ(text.rfind("OBJECT 1 My_Square_x\n", 0), 0u) << text.substr(0, 80);
    const ProgramResult applied = host("apply-fur", {"--strict", path});
    EXPECT_EQ(applied.status, 0) << applied.err;
    EXPECT_NE(applied.out.find("My\nSquare x: fur applied from"), std::string::npos) << applied.out;

    scene = test::read_file((db / "SCENES" / "fur.dsc").string());
    scene = scene.substr(0, scene.find(R"("models": [)")) + R"("models": []})";
    std::ofstream(db / "SCENES" / "empty.dsc", std::ios::binary) << scene;
    const ProgramResult curves = test::run_program(
        "vellimor-host", {"export-curves", "-d", db.string(), "-s", "empty", work.path() + "/c.usda"}, environment(),
        work.path());
    EXPECT_EQ(curves.status, 1) << curves.err;
    EXPECT_NE(curves.err.find("scene empty has no patch or NURBS surface to grow hairs on: no curves to export"),
              std::string::npos)
        << curves.err;
}

TEST_F(HostileSettings, AHugeVertexEndsTheRenderAsAFailure) {
    std::string scene = test::read_file((db / "SCENES" / "fur.dsc").string());
    const std::regex corner(R"(\[\s*1(\.0)?,\s*-1(\.0)?,\s*0(\.0)?\s*\])");
    ASSERT_TRUE(std::regex_search(scene, corner)) << scene;
    scene = std::regex_replace(scene, corner, "[3e38, -1, 0]");
    std::ofstream(db / "SCENES" / "fur.dsc", std::ios::binary) << scene;
    // The surface's area overflows: it cannot grow its hairs, and no bald frame stands in for it.
    const ProgramResult rendered = render();
    EXPECT_EQ(rendered.status, 1) << rendered.err;
    EXPECT_NE(rendered.err.find("ERROR: Frames 1..1 not rendered: the hairs could not all be grown"),
              std::string::npos)
        << rendered.err;
    EXPECT_FALSE(fs::exists(work.path() + "/out.1.pic"));
}

}  // namespace
}  // namespace vellimor
