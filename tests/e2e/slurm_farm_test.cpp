// The demo sent to a real Slurm: a private one-node cluster on the loopback address (its own munge
// key and socket, config, state, spool and ports, started and always stopped by the test) runs
// the job array farm-submit writes, and every frame it renders has the bytes of a serial render;
// --wait ends with 0 only when every task rendered its frames in this run.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "support/test_env.h"
#include "support/run_program.h"

namespace vellimor {
namespace {

namespace fs = std::filesystem;
using test::ProgramResult;

// The program's path, looked up where Debian puts Slurm's and munge's programs too.
std::string find_program(const std::string &name) {
    std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
    path += ":/usr/sbin:/sbin:/usr/bin";
    for (size_t start = 0; start <= path.size();) {
        const size_t end = std::min(path.find(':', start), path.size());
        const fs::path candidate = fs::path(path.substr(start, end - start)) / name;
        if (access(candidate.c_str(), X_OK) == 0) return candidate.string();
        start = end + 1;
    }
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

class SlurmFarm : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char *program : {"munged", "mungekey", "slurmctld", "slurmd", "sbatch", "squeue", "sinfo", "scontrol"}) {
            if (find_program(program).empty())
                GTEST_SKIP() << program << " is not installed: scripts/install-deps.sh installs slurmctld, slurmd, "
                             << "slurm-client and munge";
        }
        cluster = fs::path(work.path()) / "slurm";
        const int controller = free_port();
        int node = free_port();
        while (node == controller) node = free_port();
        const ProgramResult up = slurm_script({"start", cluster.string(), std::to_string(controller), std::to_string(node)});
        started = true;
        ASSERT_EQ(up.status, 0) << up.out << up.err;
    }
    void TearDown() override {
        if (started) {
            const ProgramResult down = slurm_script({"stop", cluster.string()});
            EXPECT_EQ(down.status, 0) << down.err;
        }
    }

    ProgramResult slurm_script(std::vector<std::string> args) {
        return test::run_executable(test::source_dir() + "/scripts/private-slurm.sh", args, {}, work.path());
    }
    std::map<std::string, std::optional<std::string>> environment() const {
        return {{"TEMP", work.path()}, {"SI_LOCATION", std::nullopt}, {"DISPLAY", std::nullopt},
                {"VELLIMOR_PLUGIN", std::nullopt}, {"SLURM_CONF", (cluster / "slurm.conf").string()}};
    }
    ProgramResult host(const std::string &command, std::vector<std::string> args) {
        std::vector<std::string> all = {command, "-d", test::demo_database(), "-s", "furball"};
        all.insert(all.end(), args.begin(), args.end());
        return test::run_program("vellimor-host", all, environment(), work.path());
    }
    std::string frame(const std::string &dir, int number) const {
        char name[32];
        std::snprintf(name, sizeof name, "f.%04d.png", number);
        return test::slurp((fs::path(work.path()) / dir / name).string());
    }
    std::string logs() const {
        std::string text;
        for (const auto &entry : fs::directory_iterator(cluster / "log"))
            text += "== " + entry.path().string() + "\n" + test::slurp(entry.path().string());
        return text;
    }

    test::TempDir work;
    fs::path cluster;
    bool started = false;
};

TEST_F(SlurmFarm, TheDemoRenderedAsAJobArrayEqualsASerialRender) {
    fs::create_directories(fs::path(work.path()) / "serial");
    fs::create_directories(fs::path(work.path()) / "farm");
    const std::vector<std::string> picture = {"--size", "96", "72"};
    std::vector<std::string> serial = {"--frames", "1", "6", "--output", (fs::path(work.path()) / "serial" / "f").string()};
    serial.insert(serial.end(), picture.begin(), picture.end());
    ASSERT_EQ(host("render", serial).status, 0);

    std::vector<std::string> submit = {"--slurm", "--frames", "1-6", "--chunk", "2", "--wait", "--sbatch-arg",
                                       "--comment=a \"b\" # c", "--output",
                                       (fs::path(work.path()) / "farm" / "f").string()};
    submit.insert(submit.end(), picture.begin(), picture.end());
    const ProgramResult submitted = host("farm-submit", submit);
    ASSERT_EQ(submitted.status, 0) << submitted.err << logs();
    const std::string job = submitted.out.substr(0, submitted.out.find('\n'));
    ASSERT_FALSE(job.empty());
    EXPECT_NE(submitted.err.find("3 tasks of up to 2 frames"), std::string::npos) << submitted.err;
    EXPECT_NE(submitted.err.find("every task ended with 0 and wrote its frames"), std::string::npos) << submitted.err;
    // sbatch read the passed option as one word, quotes and '#' included.
    const ProgramResult shown =
        test::run_executable(find_program("scontrol"), {"show", "job", job}, environment(), work.path());
    EXPECT_NE(shown.out.find("Comment=a \"b\" # c"), std::string::npos) << shown.out;

    for (int f = 1; f <= 6; ++f) {
        const std::string expected = frame("serial", f);
        ASSERT_FALSE(expected.empty()) << f;
        EXPECT_TRUE(frame("farm", f) == expected) << "frame " << f << " from Slurm differs\n" << logs();
    }
    // One log per task beside the frames, each naming its chunk.
    for (int task = 0; task < 3; ++task) {
        const std::string log = test::slurp((fs::path(work.path()) / "farm" / ("f.slurm-" + job + "_" +
                                                                             std::to_string(task) + ".log"))
                                                .string());
        const int first = 1 + 2 * task;
        EXPECT_NE(log.find("frames " + std::to_string(first) + "-" + std::to_string(first + 1)), std::string::npos)
            << log;
    }
    EXPECT_TRUE(fs::exists(fs::path(work.path()) / "farm" / "f.sbatch"));
}

TEST_F(SlurmFarm, WaitFailsWhenATaskFailedThoughOldFramesAreThere) {
    const fs::path folder = fs::path(work.path()) / "farm";
    fs::create_directories(folder);
    // Frames of an earlier run everywhere, and one frame's path that no task can write.
    for (int f : {1, 3, 4}) std::ofstream(folder / ("f.000" + std::to_string(f) + ".png")) << "old";
    fs::create_directories(folder / "f.0002.png");
    const ProgramResult r = host("farm-submit", {"--slurm", "--frames", "1", "4", "--chunk", "2", "--wait", "--size",
                                                 "32", "24", "--output", (folder / "f").string()});
    EXPECT_EQ(r.status, 1) << r.err << logs();
    const std::string job = r.out.substr(0, r.out.find('\n'));
    const std::string log = (folder / ("f.slurm-" + job + "_0.log")).string();
    EXPECT_NE(r.err.find("1 of 2 tasks failed\n  task 0 (frames 1-2): status 1, 1 files not written in this run, the "
                         "first " + (folder / "f.0002.png").string() + "; log " + log + "\n"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(r.err.find("task 1 ("), std::string::npos) << r.err;
    EXPECT_NE(test::slurp(log).find("task 0 ended with status 1\n"), std::string::npos) << test::slurp(log);
    for (int f : {1, 3, 4}) EXPECT_NE(frame("farm", f), "old") << "frame " << f << " was rendered again";
}

}  // namespace
}  // namespace vellimor
