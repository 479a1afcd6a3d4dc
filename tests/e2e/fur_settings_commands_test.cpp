// The fur settings commands of the host driver, end to end: settings written from one scene's
// surface, applied to another, stored in the saved scene; bad files change nothing. Settings no
// groom uses are bounded when applied, and the runs that render or export them end in bounded time
// with their normal status, the sanitizers of this build seeing nothing.
#include "support/test_prelude.h"

#include <regex>

#include "render/pic_file.h"
#include "support/program_test.h"

namespace vellimor {
namespace {

namespace fs = std::filesystem;
using test::ProgramResult;

class FurSettingsCommands : public test::ProgramTest {
protected:
    void SetUp() override { db = demo_copy("db"); }
    ProgramResult host(const std::string &command, const std::vector<std::string> &args) {
        return on_scene("vellimor-host", command, db, "furball", args);
    }
    std::string scene_text() const { return test::read_file(db + "/SCENES/furball.dsc"); }
    void write(const std::string &name, const std::string &text) const {
        std::ofstream(path(name), std::ios::binary) << text;
    }

    std::string db;
};

// A settings text without what belongs to the surface rather than to its fur: the object's name
// and the host geometry.
std::string fur_only(const std::string &text) {
    std::istringstream in(text);
    std::string line, out;
    const std::regex host_fields("^\t(surfacetype|nbPointsU|nbPointsV) .*");
    while (std::getline(in, line)) {
        if (line.rfind("OBJECT ", 0) == 0) line = line.substr(0, line.rfind(' '));
        if (!std::regex_match(line, host_fields)) out += line + "\n";
    }
    return out;
}

// The hairs built on each surface, as the build's log lines count them.
std::vector<int> hairs_built(const std::string &log) {
    const std::regex built("Done building ([0-9]+) hairs on ([0-9]+)\\.");
    std::vector<int> counts;
    for (std::sregex_iterator m(log.begin(), log.end(), built), end; m != end; ++m) counts.push_back(std::stoi((*m)[1]));
    return counts;
}

TEST_F(FurSettingsCommands, ExportAndApplyEverySurfaceByName) {
    const ProgramResult exported = host("export-fur", {path("all.txt")});
    ASSERT_EQ(exported.status, 0) << exported.err;
    EXPECT_TRUE(test::contains(exported.out, "Ground: exported"));
    // The exported settings give each surface its fur back unchanged, and so do the demo's files.
    const ProgramResult applied = host("apply-fur", {path("all.txt")});
    ASSERT_EQ(applied.status, 0) << applied.err;
    EXPECT_EQ(applied.out, "Sphere: fur applied from " + path("all.txt") +
                               " (4 texture keys, 450 hairs per square unit)\n"
                               "Ground: fur applied from " + path("all.txt") +
                               " (3 texture keys, 240 hairs per square unit)\n"
                               "Flag: fur applied from " + path("all.txt") +
                               " (2 texture keys, 8000 hairs per square unit)\n");
    ASSERT_EQ(host("export-fur", {path("again.txt")}).status, 0);
    EXPECT_EQ(test::read_file(path("again.txt")), test::read_file(path("all.txt")));
    for (const char *name : {"Sphere", "Ground", "Flag"}) {
        write("one.txt", test::read_file(test::demo_database() + "/fur/" + name + ".fur"));
        ASSERT_EQ(host("apply-fur", {path("one.txt")}).status, 0);
    }
    ASSERT_EQ(host("export-fur", {path("fresh.txt")}).status, 0);
    EXPECT_EQ(test::read_file(path("fresh.txt")), test::read_file(path("all.txt")));
    // Objects for other surfaces leave a surface alone.
    write("one.txt", "OBJECT 1 Ground\n\tsub_res_u = 3\nEND\n");
    const ProgramResult one = host("apply-fur", {path("one.txt")});
    ASSERT_EQ(one.status, 0) << one.err;
    EXPECT_TRUE(test::contains(one.out, "Sphere: unchanged, " + path("one.txt") + " holds no settings for it\n"));
    EXPECT_TRUE(test::contains(one.out, "Ground: fur applied"));
}

TEST_F(FurSettingsCommands, BadFilesLeaveTheSceneUntouched) {
    const std::string before = scene_text();
    write("bad.txt", "OBJECT 1 Sphere\n\tsub_res_u = 3\n\tTEXTUREKEY\n\tEND\nEND\n");
    write("top.txt", "garbage\nOBJECT 1 Sphere\nEND\n");
    write("none.txt", "OBJECT 1 Nobody\nEND\n");
    write("nokeys.txt", "OBJECT 0 Sphere\nEND\n");
    struct Case {
        std::vector<std::string> args;
        const char *message;
    } cases[] = {
        {{path("bad.txt")}, "ERROR: Fetch Error: no  number after TEXTUREKEY\n"},
        {{path("top.txt")}, "ERROR: Fetch Error: variable definition must be: var = val\n"},
        {{path("none.txt")}, "holds no fur settings for any surface of scene furball\n"},
        {{"--surface", "Ground", path("nokeys.txt")}, "ERROR: Fetch Error: No texturekeys\n"},
        {{path("missing.txt")}, "ERROR: Can't open save file: "},
    };
    for (const Case &c : cases) {
        const ProgramResult r = host("apply-fur", c.args);
        EXPECT_EQ(r.status, 1) << c.args.back();
        EXPECT_TRUE(test::contains(r.err, c.message)) << r.err;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(scene_text(), before);
    }
    EXPECT_FALSE(fs::exists(db + "/SCENES/furball.dsc.tmp"));
}

// The batch path builds thousands of hairs on every surface of the demo.
TEST_F(FurSettingsCommands, DemoSceneCarriesFurOnEverySurface) {
    const ProgramResult batch = on_scene("vellimor", "", db, "furball", {"-b", "-n", "1", "1", "1", "-S", "64", "48", "-o", "frame"});
    EXPECT_EQ(batch.status, 0) << batch.err;
    const std::vector<int> built = hairs_built(messages());
    EXPECT_GE(built.size(), 3u) << messages();
    for (int hairs : built) EXPECT_GT(hairs, 2000);
    // Each surface is built once, in table order, after the scene is read; only the Flag, whose
    // settings switch dynamics on, has them calculated, within its own build.
    size_t at = batch.err.find("MY_read_scene");
    for (const std::string surface : {"Sphere", "Ground", "Flag"}) {
        const size_t begin = batch.err.find("Building hairs on: " + surface + "\n", at);
        at = batch.err.find("Done building ", begin);
        ASSERT_NE(at, std::string::npos) << surface << "\n" << batch.err;
        const std::string build = batch.err.substr(begin, at - begin);
        EXPECT_EQ(test::contains(build, "    Calc dynamics\n    Calc dynamics Done\n"), surface == "Flag") << build;
    }
    EXPECT_EQ(test::count(batch.err, "Building hairs on: "), 3u);
}

// The line of a text (from 1) that holds `what`, and the text with that line replaced.
int line_of(const std::string &text, const std::string &what) {
    const size_t at = text.find(what);
    EXPECT_NE(at, std::string::npos) << what;
    return at == std::string::npos ? 0 : 1 + int(std::count(text.begin(), text.begin() + long(at), '\n'));
}

std::string replaced(std::string text, const std::string &from, const std::string &to) {
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

TEST_F(FurSettingsCommands, DoubtfulSettingsAreWarnedOfAndStrictChangesNothing) {
    ASSERT_EQ(host("export-fur", {"--surface", "Flag", path("flag.txt")}).status, 0);
    std::string text = std::regex_replace(test::read_file(path("flag.txt")), std::regex("\t\tlength\\.value [^\n]*"),
                                          "\t\tlength.value = lots", std::regex_constants::format_first_only);
    write("one.txt", text);  // a single doubtful setting is enough to refuse
    const ProgramResult one = host("apply-fur", {"--strict", "--surface", "Flag", path("one.txt")});
    EXPECT_EQ(one.status, 1);
    EXPECT_TRUE(one.err.ends_with(" has 1 setting that can't be read as written; with --strict scene furball is "
                                  "left as it was\n"))
        << one.err;
    text = replaced(text, "number_of_hairs_pr_square_unit ", "number_of_hairs_pr_squre_unit  ");
    write("typo.txt", text);
    const int typo_line = line_of(text, "number_of_hairs_pr_squre_unit");
    const int lots_line = line_of(text, "length.value = lots");

    const std::string before = scene_text();
    const ProgramResult strict = host("apply-fur", {"--strict", "--surface", "Flag", path("typo.txt")});
    EXPECT_EQ(strict.status, 1);
    EXPECT_EQ(strict.out, "");
    EXPECT_EQ(scene_text(), before);
    const std::string where = "vellimor-host: warning: " + path("typo.txt") + ":";
    EXPECT_TRUE(test::contains(strict.err,
                               where + std::to_string(typo_line) + ": unknown key \"number_of_hairs_pr_squre_unit\" (ignored)\n"))
        << strict.err;
    EXPECT_TRUE(test::contains(strict.err,
                               where + std::to_string(lots_line) + ": length.value = lots is not a number (read as 0)\n"))
        << strict.err;
    EXPECT_TRUE(strict.err.ends_with("vellimor-host: " + path("typo.txt") +
                                     " has 2 settings that can't be read as written; with --strict scene furball is "
                                     "left as it was\n"))
        << strict.err;

    // Without --strict the same warnings, and the file is applied as it reads: the misspelt
    // density is no density, which the command and info both say.
    const ProgramResult applied = host("apply-fur", {"--surface", "Flag", path("typo.txt")});
    EXPECT_EQ(applied.status, 0) << applied.err;
    EXPECT_TRUE(test::contains(applied.err, where + std::to_string(typo_line) + ": unknown key"));
    EXPECT_TRUE(test::contains(applied.err,
                               "vellimor-host: warning: surface Flag grows no hairs (number_of_hairs_pr_square_unit = 0)\n"))
        << applied.err;
    EXPECT_NE(scene_text(), before);
    const ProgramResult info = host("info", {});
    EXPECT_EQ(info.status, 0) << info.err;
    EXPECT_TRUE(test::contains(info.out, "fur Sphere: 450 hairs per square unit, 4 texture keys, about ")) << info.out;
    EXPECT_TRUE(test::contains(info.out, "fur Flag: 0 hairs per square unit, 2 texture keys, about 0 hairs\n"))
        << info.out;
    EXPECT_TRUE(test::contains(info.err, "warning: surface Flag grows no hairs"));
    EXPECT_FALSE(test::contains(info.err, "warning: surface Sphere"));
}

TEST_F(FurSettingsCommands, DashIsStandardOutputAndInputThroughAPipe) {
    const ProgramResult to_stdout = host("export-fur", {"--surface", "Sphere", "-"});
    ASSERT_EQ(to_stdout.status, 0) << to_stdout.err;
    ASSERT_EQ(host("export-fur", {"--surface", "Sphere", path("sphere.txt")}).status, 0);
    EXPECT_EQ(to_stdout.out, test::read_file(path("sphere.txt")));
    EXPECT_TRUE(test::contains(to_stdout.err, "Sphere: exported to standard output")) << to_stdout.err;
    EXPECT_FALSE(fs::exists(path("-")));

    const std::string program = test::build_dir() + "/bin/vellimor-host";
    const std::string pipeline = program + " export-fur -d " + db + " -s furball --surface Sphere - | " + program +
                                 " apply-fur -d " + db + " -s furball --surface Flag -";
    const ProgramResult piped = test::run_executable("/bin/sh", {"-c", pipeline}, environment(), work.path());
    ASSERT_EQ(piped.status, 0) << piped.err;
    EXPECT_EQ(piped.out, "Flag: fur applied from standard input (4 texture keys, 450 hairs per square unit)\n");
    ASSERT_EQ(host("export-fur", {"--surface", "Flag", path("flag.txt")}).status, 0);
    EXPECT_EQ(fur_only(test::read_file(path("flag.txt"))), fur_only(test::read_file(path("sphere.txt"))));
    EXPECT_FALSE(fs::exists(path("-")));
}

TEST_F(FurSettingsCommands, StarterFileGivesEverySurfaceOfTheDemoFur) {
    const std::string starter = test::source_dir() + "/examples/starter.fur";
    EXPECT_TRUE(test::contains(test::read_file(test::source_dir() + "/docs/fur-settings.md"), "examples/starter.fur"));
    const auto render = [&](const std::string &name) {
        return host("render", {"--frames", "1", "1", "--size", "120", "90", "--format", "pic", "--output", path(name)});
    };
    // The same coat without hairs, for a picture to compare with.
    write("bare.fur", replaced(test::read_file(starter), "number_of_hairs_pr_square_unit = 400",
                               "number_of_hairs_pr_square_unit = 0"));
    for (const char *surface : {"Sphere", "Ground", "Flag"})
        ASSERT_EQ(host("apply-fur", {"--surface", surface, path("bare.fur")}).status, 0);
    ASSERT_EQ(render("bare").status, 0);

    for (const char *surface : {"Sphere", "Ground", "Flag"}) {
        const ProgramResult applied = host("apply-fur", {"--strict", "--surface", surface, starter});
        EXPECT_EQ(applied.status, 0) << applied.err;
        EXPECT_EQ(applied.out, std::string(surface) + ": fur applied from " + starter +
                                   " (1 texture keys, 400 hairs per square unit)\n");
        EXPECT_FALSE(test::contains(applied.err, "warning")) << applied.err;
    }
    const ProgramResult furry = render("furry");
    ASSERT_EQ(furry.status, 0) << furry.err;
    const std::vector<int> built = hairs_built(furry.err);
    EXPECT_EQ(built.size(), 3u) << furry.err;
    for (int hairs : built) EXPECT_GT(hairs, 100);
    auto bare = pic_read_file(path("bare.0001.pic")), fur = pic_read_file(path("furry.0001.pic"));
    ASSERT_TRUE(bare && fur);
    int changed = 0;
    for (size_t i = 0; i < fur->pixel_count(); ++i) {
        int difference = 0;
        for (int c = 0; c < 3; ++c) difference = std::max(difference, std::abs(fur->planes[c][i] - bare->planes[c][i]));
        changed += difference > 30;
    }
    EXPECT_GT(changed, int(fur->pixel_count()) / 10);
}

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
