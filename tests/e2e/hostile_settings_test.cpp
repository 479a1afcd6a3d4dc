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

TEST_F(HostileSettings, HairCountsBeyondMemoryGrowNothingAndEndTheRender) {
    const std::string refused = exported_with({{"number_of_hairs_pr_square_unit", "2147483647"}});
    const ProgramResult applied = host("apply-fur", {"--surface", "Square", refused});
    ASSERT_EQ(applied.status, 0) << applied.err;
    EXPECT_NE(applied.err.find("Square: number_of_hairs_pr_square_unit = 2147483647 is out of range, 0 used"),
              std::string::npos)
        << applied.err;
    // The densest setting allowed, on a surface too large for its roots.
    const std::string path = exported_with({{"number_of_hairs_pr_square_unit", "100000000"}});
    ASSERT_EQ(host("apply-fur", {"--surface", "Square", path}).status, 0);
    const ProgramResult rendered = render();
    EXPECT_EQ(rendered.status, 0) << rendered.err;
    EXPECT_NE(rendered.err.find("Can't allocate more memory, grow hairs"), std::string::npos)
        << rendered.err;
    EXPECT_NE(rendered.err.find("Square would grow"), std::string::npos) << rendered.err;
}

TEST_F(HostileSettings, AHugeVertexGrowsNothingAndEndsTheRender) {
    std::string scene = test::read_file((db / "SCENES" / "fur.dsc").string());
    const std::regex corner(R"(\[\s*1(\.0)?,\s*-1(\.0)?,\s*0(\.0)?\s*\])");
    ASSERT_TRUE(std::regex_search(scene, corner)) << scene;
    scene = std::regex_replace(scene, corner, "[3e38, -1, 0]");
    std::ofstream(db / "SCENES" / "fur.dsc", std::ios::binary) << scene;
    const ProgramResult rendered = render();
    EXPECT_EQ(rendered.status, 0) << rendered.err;
    EXPECT_TRUE(pic_read_file(work.path() + "/out.1.pic"));
}

}  // namespace
}  // namespace vellimor
