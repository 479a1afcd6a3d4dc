// vellimor-host info, run as a user runs it.
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>

#include "support/temp_database.h"

using namespace vellimor::test;

namespace {

struct HostRun {
    int status;
    std::string out, err;
};

std::string slurp(const std::filesystem::path &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

HostRun run_host(const std::string &args, const TempDatabase &scratch) {
    const char *build = std::getenv("VELLIMOR_BUILD_DIR");
    std::string program = std::string(build ? build : ".") + "/bin/vellimor-host";
    auto out = scratch.path() / "stdout.txt", err = scratch.path() / "stderr.txt";
    std::string command = program + " " + args + " >" + out.string() + " 2>" + err.string();
    int raw = std::system(command.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, slurp(out), slurp(err)};
}

int line_count(const std::string &text) { return static_cast<int>(std::count(text.begin(), text.end(), '\n')); }

}  // namespace

TEST(HostInfo, ListsTheDemoScene) {
    TempDatabase scratch;
    HostRun r = run_host("info -d " + source_dir() + "/examples/furball -s furball", scratch);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    for (const char *line : {"play range 1..30 step 1 at 24 fps", "render 640x480", "camera Camera ",
                             "light KeyLight ", "light FillLight ", "model Sphere type 10 static",
                             "model Ground type 1 static", "model Flag type 1 animated", "model GravityA type 0 static",
                             "model Wind type 4 animated"})
        EXPECT_NE(r.out.find(line), std::string::npos) << line << " missing from\n" << r.out;
}

TEST(HostInfo, BadInputGivesOneErrorLineNamingTheFile) {
    TempDatabase db;
    db.write_scene("broken", R"({"version": 1, "models": [{"name": "A", "type": 1}]})");
    db.write_scene("truncated", R"({"version": 1, "mod)");
    struct Case {
        std::string args, mention;
    };
    const std::vector<Case> cases = {
        {"info -d /nonexistent/database -s furball", "/nonexistent/database"},
        {"info -d " + db.path().string() + " -s missing", "missing.dsc"},
        {"info -d " + db.path().string() + " -s broken", "broken.dsc"},
        {"info -d " + db.path().string() + " -s truncated", "truncated.dsc"},
        {"info -s furball", "-d DATABASE"},
        {"info -d " + db.path().string() + " -s", "-s needs a value"},
    };
    for (const Case &c : cases) {
        HostRun r = run_host(c.args, db);
        EXPECT_NE(r.status, 0) << c.args;
        EXPECT_LT(r.status, 128) << "no crash: " << c.args;
        EXPECT_EQ(r.out, "") << c.args;
        EXPECT_NE(r.err.find(c.mention), std::string::npos) << c.args << "\n" << r.err;
        EXPECT_EQ(line_count(r.err), 1) << r.err;
    }
    HostRun unknown = run_host("frobnicate", db);
    EXPECT_EQ(unknown.status, 2);
    EXPECT_NE(unknown.err.find("info"), std::string::npos) << "usage lists the commands";
}
