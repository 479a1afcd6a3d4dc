// The demo sent to a real Slurm: a private one-node cluster on the loopback address (its own munge
// key and socket, config, state, spool and ports, started and always stopped by the test) runs
// the job array farm-submit writes, and every frame it renders has the bytes of a serial render.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "support/test_env.h"
#include "support/run_program.h"

namespace vellimor {
namespace {

namespace fs = std::filesystem;
using test::ProgramResult;

constexpr auto kArrayTimeout = std::chrono::seconds(240);

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
        for (const char *program : {"munged", "mungekey", "slurmctld", "slurmd", "sbatch", "squeue", "sinfo"}) {
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
    // Waits until the job has left the queue; false when it is still there after the timeout.
    bool wait_for(const std::string &job) {
        const auto deadline = std::chrono::steady_clock::now() + kArrayTimeout;
        while (std::chrono::steady_clock::now() < deadline) {
            const ProgramResult queue =
                test::run_executable(find_program("squeue"), {"-h", "-j", job}, environment(), work.path());
            if (queue.status == 0 && queue.out.find_first_not_of(" \n") == std::string::npos) return true;
            std::this_thread::sleep_for(std::chrono::seconds(1));
        }
        return false;
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

    std::vector<std::string> submit = {"--slurm", "--frames", "1", "6", "--chunk", "2", "--output",
                                       (fs::path(work.path()) / "farm" / "f").string()};
    submit.insert(submit.end(), picture.begin(), picture.end());
    const ProgramResult submitted = host("farm-submit", submit);
    ASSERT_EQ(submitted.status, 0) << submitted.err;
    const std::string job = submitted.out.substr(0, submitted.out.find('\n'));
    ASSERT_FALSE(job.empty());
    EXPECT_NE(submitted.err.find("3 tasks of up to 2 frames"), std::string::npos) << submitted.err;
    ASSERT_TRUE(wait_for(job)) << "job array " << job << " still queued\n" << logs();

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
        EXPECT_NE(log.find("frames " + std::to_string(first) + ".." + std::to_string(first + 1)), std::string::npos)
            << log;
    }
    EXPECT_TRUE(fs::exists(fs::path(work.path()) / "farm" / "f.sbatch"));
}

}  // namespace
}  // namespace vellimor
