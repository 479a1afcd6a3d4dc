// The fur settings commands of the host driver, end to end: settings written from one scene's
// surface, applied to another, stored in the saved scene; bad files change nothing.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <sstream>

#include "render/pic_file.h"
#include "support/program_test.h"

namespace vellimor {
namespace {

namespace fs = std::filesystem;
using test::ProgramResult;

std::string furball() { return test::demo_database(); }

class FurSettingsCommands : public test::ProgramTest {
protected:
    void SetUp() override { db = demo_copy("db"); }
    ProgramResult host(const std::string &command, const std::vector<std::string> &args, const std::string &database = "") {
        return on_scene("vellimor-host", command, database.empty() ? db : database, "furball", args);
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
    // The demo's settings files give each surface its fur back unchanged.
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

TEST_F(FurSettingsCommands, DemoSceneCarriesFurOnEverySurface) {
    const ProgramResult exported = host("export-fur", {path("demo.txt")}, furball());
    ASSERT_EQ(exported.status, 0) << exported.err;
    for (const char *name : {"Sphere", "Ground", "Flag"}) {
        const std::string fur = test::read_file(furball() + "/fur/" + name + ".fur");
        write("one.txt", fur);
        // Each settings file applied to a fresh copy reads back as the demo scene stores it.
        ASSERT_EQ(host("apply-fur", {path("one.txt")}).status, 0);
    }
    ASSERT_EQ(host("export-fur", {path("fresh.txt")}).status, 0);
    EXPECT_EQ(test::read_file(path("fresh.txt")), test::read_file(path("demo.txt")));

    // The batch path builds thousands of hairs on every surface.
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
    std::string text = test::read_file(path("flag.txt"));
    text = replaced(text, "number_of_hairs_pr_square_unit ", "number_of_hairs_pr_squre_unit  ");
    text = std::regex_replace(text, std::regex("\t\tlength\\.value [^\n]*"), "\t\tlength.value = lots",
                              std::regex_constants::format_first_only);
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

}  // namespace
}  // namespace vellimor
