// A scene sent to a real Slurm: a private one-node cluster on the loopback address (its own munge
// key and socket, config, state, spool and ports, started and always stopped by the test) runs
// the job array farm-submit writes, and every frame it renders has the bytes of a serial render;
// --wait ends with 0 only when every task rendered its frames in this run. The scene is the furry
// square moving through its play range: every frame differs, and each is quick to render.
#include "support/test_prelude.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "support/program_test.h"

namespace vellimor {
namespace {

namespace fs = std::filesystem;
using test::ProgramResult;

// The program's path, looked up where Debian puts Slurm's and munge's programs.
std::string find_program(const std::string &name) {
    for (const char *folder : {"/usr/sbin", "/usr/bin", "/sbin", "/usr/local/sbin", "/usr/local/bin"})
        if (access((std::string(folder) + "/" + name).c_str(), X_OK) == 0) return std::string(folder) + "/" + name;
    return {};
}

// A TCP port of the loopback address that nothing listens on now.
int free_port() {
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (bind(s, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0 &&
        getsockname(s, reinterpret_cast<sockaddr *>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    close(s);
    return port;
}

class SlurmFarm : public test::ProgramTest {
protected:
    void SetUp() override {
        for (const char *program : {"munged", "mungekey", "slurmctld", "slurmd", "sbatch", "squeue", "sinfo", "scontrol"}) {
            if (find_program(program).empty())
                GTEST_SKIP() << program << " is not installed: scripts/install-deps.sh installs slurmctld, slurmd, "
                             << "slurm-client and munge";
        }
        const int controller = free_port();
        int node = free_port();
        while (node == controller) node = free_port();
        const ProgramResult up = slurm_script({"start", path("slurm"), std::to_string(controller), std::to_string(node)});
        started = true;
        ASSERT_EQ(up.status, 0) << up.out << up.err;
        const std::string scene = fur_square() + "/SCENES/fur.dsc";
        auto moving = nlohmann::ordered_json::parse(test::read_file(scene));
        moving["models"][0]["animation"] = nlohmann::ordered_json::parse(
            R"({"keys": [{"translation": [0, 0, 0], "frame": 1}, {"translation": [0.5, 0, 0.5], "frame": 6}]})");
        std::ofstream(scene) << moving.dump();
    }
    void TearDown() override {
        if (started) EXPECT_EQ(slurm_script({"stop", path("slurm")}).status, 0);
    }
    ProgramResult slurm_script(std::vector<std::string> args) {
        return test::run_executable(test::source_dir() + "/scripts/private-slurm.sh", args, {}, work.path());
    }
    ProgramResult host(const std::string &command, std::vector<std::string> args) {
        return on_scene("vellimor-host", command, path("db"), "fur", args,
                        {{"SLURM_CONF", path("slurm/slurm.conf")}});
    }
    std::string frame(const std::string &dir, int number) const {
        return test::slurp(path(dir + "/f.000" + std::to_string(number) + ".png"));
    }
    std::string logs() const {
        std::string text;
        for (const std::string &name : files_in(path("slurm/log"))) text += "== " + name + "\n" + test::slurp(path("slurm/log/" + name));
        return text;
    }

    bool started = false;
};

// One cluster for both runs: the array that renders frames 1..6, then one whose first task fails.
TEST_F(SlurmFarm, AMovingSceneRenderedAsAJobArrayEqualsASerialRenderAndWaitFailsWithATask) {
    fs::create_directories(path("farm"));
    ASSERT_EQ(host("render", {"--frames", "1", "6", "--size", "32", "24", "--output", path("serial/f")}).status, 0);
    EXPECT_NE(frame("serial", 1), frame("serial", 6));
    const ProgramResult submitted =
        host("farm-submit", {"--slurm", "--frames", "1-6", "--chunk", "2", "--wait", "--sbatch-arg",
                             "--comment=a \"b\" # c", "--output", path("farm/f"), "--size", "32", "24"});
    ASSERT_EQ(submitted.status, 0) << submitted.err << logs();
    const std::string job = submitted.out.substr(0, submitted.out.find('\n'));
    ASSERT_FALSE(job.empty());
    EXPECT_TRUE(test::contains(submitted.err, "3 tasks of up to 2 frames")) << submitted.err;
    EXPECT_TRUE(test::contains(submitted.err, "every task ended with 0 and wrote its frames")) << submitted.err;
    // sbatch read the passed option as one word, quotes and '#' included.
    const ProgramResult shown = test::run_executable(find_program("scontrol"), {"show", "job", job},
                                                     {{"SLURM_CONF", path("slurm/slurm.conf")}}, work.path());
    EXPECT_TRUE(test::contains(shown.out, "Comment=a \"b\" # c")) << shown.out;
    for (int f = 1; f <= 6; ++f) {
        const std::string expected = frame("serial", f);
        ASSERT_FALSE(expected.empty()) << f;
        EXPECT_TRUE(frame("farm", f) == expected) << "frame " << f << " from Slurm differs\n" << logs();
    }
    // One log per task beside the frames, each naming its chunk.
    for (int task = 0; task < 3; ++task) {
        const std::string log = test::slurp(path("farm/f.slurm-" + job + "_" + std::to_string(task) + ".log"));
        EXPECT_TRUE(test::contains(log, "frames " + std::to_string(1 + 2 * task) + "-" + std::to_string(2 + 2 * task)))
            << log;
    }
    EXPECT_TRUE(fs::exists(path("farm/f.sbatch")));

    // Frames of an earlier run everywhere, and one frame's path that no task can write: --wait
    // ends with 1, though old frames are there.
    fs::create_directories(path("again/f.0002.png"));
    for (int f : {1, 3, 4}) std::ofstream(path("again/f.000" + std::to_string(f) + ".png")) << "old";
    const ProgramResult r = host("farm-submit", {"--slurm", "--frames", "1", "4", "--chunk", "2", "--wait", "--size",
                                                 "32", "24", "--output", path("again/f")});
    EXPECT_EQ(r.status, 1) << r.err << logs();
    const std::string failed = r.out.substr(0, r.out.find('\n'));
    const std::string log = path("again/f.slurm-" + failed + "_0.log");
    EXPECT_TRUE(test::contains(r.err, "1 of 2 tasks failed\n  task 0 (frames 1-2): status 1, 1 files not written in "
                                      "this run, the first " + path("again/f.0002.png") + "; log " + log + "\n"))
        << r.err;
    EXPECT_FALSE(test::contains(r.err, "task 1 (")) << r.err;
    EXPECT_TRUE(test::contains(test::slurp(log), "task 0 ended with status 1\n")) << test::slurp(log);
    for (int f : {1, 3, 4}) EXPECT_NE(frame("again", f), "old") << "frame " << f << " was rendered again";
}

}  // namespace
}  // namespace vellimor
