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
        return on_scene("vellimor-host", command, db, "fur", args);
    }
    ProgramResult render() { return on_scene("vellimor", "", db, "fur", {"-b", "-n", "1", "1", "1", "-o", "out"}); }

    // The exported settings with each (key, value) put in place of the key's written value.
    std::string exported_with(const std::vector<std::pair<std::string, std::string>> &values) {
        const std::string file = path("square.txt");
        const ProgramResult exported = host("export-fur", {"--surface", "Square", file});
        EXPECT_EQ(exported.status, 0) << exported.err;
        std::string text = test::read_file(file);
        for (const auto &[key, value] : values) {
            const std::regex line("(\t+" + std::regex_replace(key, std::regex(R"([.\[\]])"), R"(\$&)") +
                                  R"(\s+= \t ).*)");
            EXPECT_TRUE(std::regex_search(text, line)) << key;
            std::smatch m;
            if (std::regex_search(text, m, line))
                text = m.prefix().str() + m[1].str() + value + m.suffix().str();
        }
        std::ofstream(file, std::ios::binary) << text;
        return file;
    }

    std::string db;
};

// Each value as written, and the line that says what was stored instead; values beyond what the
// stored fields hold are checked as read, before they are narrowed.
TEST_F(HostileSettings, ValuesThatBrokeRendersAreBoundedWhenAppliedAndRenderSafely) {
    const std::pair<std::string, std::string> rows[][2] = {
        {{"curl.value", "nan"}, {"TEXTUREKEY 0 curl.value = nan", "0"}},
        {{"curl.random", "inf"}, {"TEXTUREKEY 0 curl.random = inf", "0"}},
        {{"length_sequence.sequence_offset", "2147483647"}, {"length_sequence.sequence_offset = 2147483647", "0"}},
        {{"curl_sequence.sequence_offset", "-2147483648"}, {"curl_sequence.sequence_offset = -2147483648", "0"}},
        {{"length_map_res", "2147483647"}, {"length_map_res = 2147483647", "50"}},
        {{"segments.value", "32768"}, {"TEXTUREKEY 0 segments.value = 32768", "5"}},
        {{"number_shadow_levels", "10000"}, {"number_shadow_levels = 10000", "5"}},
        {{"group", "77777"}, {"group = 77777", "0"}},
        {{"max_number_of_segments", "65600"}, {"max_number_of_segments = 65600", "5"}},
        {{"TileU", "65537"}, {"TileU = 65537", "0"}},
        {{"render_mode", "77777"}, {"render_mode = 77777", "2000"}},
        {{"length_sequence.error_handling", "77777"}, {"length_sequence.error_handling = 77777", "0"}},
        {{"key_mode", "77777"}, {"TEXTUREKEY 0 key_mode = 77777", "0"}},
        // A negative random amount would raise the segments past their cap.
        {{"segments.random", "-1000000"}, {"TEXTUREKEY 0 segments.random = -1e+06", "0"}},
    };
    std::vector<std::pair<std::string, std::string>> values = {{"casts_shadow", "1"},
                                                               {"length_sequence.use_sequence", "1"},
                                                               {"curl_sequence.use_sequence", "1"}};
    for (const auto &row : rows) values.push_back(row[0]);
    const ProgramResult applied = host("apply-fur", {"--surface", "Square", exported_with(values)});
    ASSERT_EQ(applied.status, 0) << applied.err;
    for (const auto &row : rows) {
        const std::string expected = "Square: " + row[1].first + " is out of range, " + row[1].second + " used";
        EXPECT_TRUE(test::contains(applied.err, expected)) << expected << "\n" << applied.err;
    }
    const ProgramResult rendered = render();
    EXPECT_EQ(rendered.status, 0) << rendered.err;
    EXPECT_TRUE(pic_read_file(path("out.1.pic")));
    const ProgramResult exported = host("export-fur", {"--surface", "Square", path("back.txt")});
    EXPECT_EQ(exported.status, 0) << exported.err;
    EXPECT_TRUE(test::contains(test::read_file(path("back.txt")), "number_shadow_levels           = \t 5\n"));

    // Wider than the shorts they are stored in, values are out of range rather than cut to fit.
    const ProgramResult wide =
        host("apply-fur",
             {"--surface", "Square", exported_with({{"casts_shadow", "65536"}, {"number_shadow_levels", "65600"}})});
    EXPECT_TRUE(test::contains(wide.err, "Square: casts_shadow = 65536 is out of range, 0 used")) << wide.err;
    EXPECT_TRUE(test::contains(wide.err, "Square: number_shadow_levels = 65600 is out of range, 5 used"));
}

TEST_F(HostileSettings, RendersBeyondTheirMemoryAreRefusedBeforeAnyWork) {
    // The densest setting allowed, on a surface too large for its roots.
    const std::string densest = exported_with({{"number_of_hairs_pr_square_unit", "100000000"}});
    ASSERT_EQ(host("apply-fur", {"--surface", "Square", densest}).status, 0);
    const ProgramResult batch = render();
    EXPECT_EQ(batch.status, 95) << batch.err;
    EXPECT_TRUE(test::contains(batch.err,
                               "ERROR: Square would grow about 400000000 hairs, at most 16777216 fit on one surface"))
        << batch.err;
    EXPECT_FALSE(test::contains(batch.err, "Building hairs")) << "refused before any hair grows";
    EXPECT_FALSE(fs::exists(path("out.1.pic")));

    // Within the limits, but beyond the memory the render may take: the line gives the estimate
    // and the settings to lower.
    const std::string dense = exported_with({{"number_of_hairs_pr_square_unit", "1300000"}});
    ASSERT_EQ(host("apply-fur", {"--surface", "Square", dense}).status, 0);
    const ProgramResult limited = host("render", {"--frames", "1", "1", "--max-memory", "200M", "--output",
                                                  path("limited")});
    EXPECT_EQ(limited.status, 1) << limited.err;
    EXPECT_TRUE(
        std::regex_search(limited.err, std::regex(R"(ERROR: A frame would need about \d+\.\d GB \(5200000 )"
                                                  R"(hairs of up to 4 segments\), more than the 200 MB allowed: )"
                                                  R"(lower number_of_hairs_pr_square_unit or the segments of )"
                                                  R"(Square, or raise the limit)")))
        << limited.err;
}

#if defined(__SANITIZE_ADDRESS__)
// The sanitizer's allocator refuses every block of hair points, as a machine out of memory would:
// the frame lost its hairs, so it is not written and the render fails.
TEST_F(HostileSettings, AFrameThatLostHairsIsAFailedFrame) {
    const test::Environment refusing = {{"ASAN_OPTIONS", "max_allocation_size_mb=5:allocator_may_return_null=1"}};
    const ProgramResult batch = on_scene("vellimor", "", db, "fur", {"-b", "-n", "1", "1", "1", "-o", "out"}, refusing);
    EXPECT_EQ(batch.status, 1) << batch.err;
    EXPECT_TRUE(test::contains(batch.err, "ERROR: Can't allocate more memory, draw1")) << batch.err;
    EXPECT_TRUE(test::contains(batch.err, "ERROR: Frame 1 lost hairs (see the ERROR lines above): not saved"))
        << batch.err;
    EXPECT_FALSE(fs::exists(path("out.1.pic")));
    const ProgramResult rendered =
        on_scene("vellimor-host", "render", db, "fur", {"--frames", "1", "2", "--output", path("r")}, refusing);
    EXPECT_EQ(rendered.status, 1) << rendered.err;
    EXPECT_TRUE(test::contains(rendered.err, "vellimor-host: 2 of 2 frames failed (see the ERROR lines above)"))
        << rendered.err;
    EXPECT_FALSE(fs::exists(path("r.0001.png")));
}
#endif

TEST_F(HostileSettings, SurfaceNamesLeaveSettingsFilesReadableAndCurvesSayWhyNone) {
    // A name with a blank and a line break, as a scene file may hold it.
    std::string scene = test::read_file(db + "/SCENES/fur.dsc");
    const std::string square = R"("name": "Square")";
    ASSERT_NE(scene.find(square), std::string::npos);
    scene.replace(scene.find(square), square.size(), R"("name": "My\nSquare x")");
    std::ofstream(db + "/SCENES/fur.dsc", std::ios::binary) << scene;
    const std::string file = path("named.fur");
    ASSERT_EQ(host("export-fur", {file}).status, 0);
    const std::string text = test::read_file(file);
    EXPECT_EQ(text.rfind("OBJECT 1 My_Square_x\n", 0), 0u) << text.substr(0, 80);
    const ProgramResult applied = host("apply-fur", {"--strict", file});
    EXPECT_EQ(applied.status, 0) << applied.err;
    EXPECT_TRUE(test::contains(applied.out, "My\nSquare x: fur applied from")) << applied.out;

    scene = test::read_file(db + "/SCENES/fur.dsc");
    scene = scene.substr(0, scene.find(R"("models": [)")) + R"("models": []})";
    std::ofstream(db + "/SCENES/empty.dsc", std::ios::binary) << scene;
    const ProgramResult curves = on_scene("vellimor-host", "export-curves", db, "empty", {path("c.usda")});
    EXPECT_EQ(curves.status, 1) << curves.err;
    EXPECT_TRUE(
        test::contains(curves.err, "scene empty has no patch or NURBS surface to grow hairs on: no curves to export"))
        << curves.err;
}

TEST_F(HostileSettings, AHugeVertexEndsTheRenderAsAFailure) {
    std::string scene = test::read_file(db + "/SCENES/fur.dsc");
    const std::regex corner(R"(\[\s*1(\.0)?,\s*-1(\.0)?,\s*0(\.0)?\s*\])");
    ASSERT_TRUE(std::regex_search(scene, corner)) << scene;
    scene = std::regex_replace(scene, corner, "[3e38, -1, 0]");
    std::ofstream(db + "/SCENES/fur.dsc", std::ios::binary) << scene;
    // The surface's area overflows: it cannot grow its hairs, and no bald frame stands in for it.
    const ProgramResult rendered = render();
    EXPECT_EQ(rendered.status, 1) << rendered.err;
    EXPECT_TRUE(test::contains(rendered.err, "ERROR: Frames 1..1 not rendered: the hairs could not all be grown"))
        << rendered.err;
    EXPECT_FALSE(fs::exists(path("out.1.pic")));
}

}  // namespace
}  // namespace vellimor
