// The farm's batch script and the runs no pipeline should make: farm-submit writes a job array of
// chunks whose script bash runs as written and which runs nothing a name smuggles in, arrays beyond
// what Slurm takes are refused up front, --jobs stays within the machine, and a killed run leaves
// no workers and no temporaries behind.
#include "support/test_prelude.h"

#include <signal.h>

#include <chrono>
#include <regex>
#include <thread>

#include "support/program_test.h"

namespace vellimor {
namespace {

namespace fs = std::filesystem;
using test::ProgramResult;

class HostileRuns : public test::ProgramTest {
protected:
    ProgramResult host(const std::string &database, const std::string &scene, std::vector<std::string> args) {
        const std::string command = args[0];
        return on_scene("vellimor-host", command, database, scene, {args.begin() + 1, args.end()},
                        {{"SLURM_CONF", path("slurm.conf")}});
    }
    ProgramResult demo(std::vector<std::string> args) { return host(test::demo_database(), "furball", args); }

    // The batch script run as task TASK would, in FOLDER, its render only printing its arguments.
    ProgramResult run_task(std::string script, int task, const std::string &folder) {
        const std::string program = "'" + test::build_dir() + "/bin/vellimor-host'";
        EXPECT_TRUE(test::contains(script, program)) << script;
        if (script.find(program) != std::string::npos) script.replace(script.find(program), program.size(), "echo");
        fs::create_directories(folder);
        std::ofstream(folder + "/job.sh") << script;
        return test::run_executable("/bin/bash", {folder + "/job.sh"}, {{"SLURM_ARRAY_TASK_ID", std::to_string(task)}},
                                    folder);
    }
    // Starts a program without waiting for it; its output goes to OUT.txt and ERR.txt.
    pid_t start(const std::string &program, const std::vector<std::string> &args) {
        std::vector<std::string> all = {test::build_dir() + "/bin/" + program};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char *> argv;
        for (std::string &a : all) argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, path("OUT.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, 2, path("ERR.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        pid_t pid = -1;
        posix_spawn(&pid, all[0].c_str(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        return pid;
    }
};

TEST_F(HostileRuns, FarmSubmitWritesAJobArrayOfChunks) {
    const std::string out = path("it's here/f");
    const ProgramResult r =
        demo({"farm-submit", "--slurm", "--frames", "1", "7", "--chunk", "3", "--partition", "render", "--size", "96",
              "72", "--output", out, "--dry-run", "--threads", "2", "--sbatch-arg", "--time=1:00:00", "--sbatch-arg",
              "--comment=a \"b\" # c"});
    ASSERT_EQ(r.status, 0) << r.err;
    // The tasks get the CPUs their threads need, and every --sbatch-arg a line of its own that
    // sbatch reads as one word; paths the tasks use are absolute and quoted for the shell.
    for (const std::string &line : std::vector<std::string>
         {"#SBATCH --array=0-2\n", "#SBATCH --partition=render\n", "#SBATCH --cpus-per-task=2\n",
          "#SBATCH --time=1:00:00\n#SBATCH \"--comment=a \\\"b\\\" # c\"\n", "chunks=('1-3' '4-6' '7')\n",
          "'--frames' \"$frames\" '--fur-frame' '1'", "'--output' '" + work.path() + "/it'\\''s here/f'", "'-d' '/"})
        EXPECT_EQ(test::count(r.out, line), 1u) << line << "\n" << r.out;
    EXPECT_TRUE(r.out.starts_with("#!/bin/bash\n")) << r.out;
    EXPECT_FALSE(fs::exists(path("it's here"))) << "a dry run writes nothing";
    // bash reads it as written, and task 1 asks for frames 4..6.
    const ProgramResult task = run_task(r.out, 1, path("task"));
    ASSERT_EQ(task.status, 0) << task.err;
    EXPECT_TRUE(task.out.starts_with("render -d /")) << task.out;
    EXPECT_TRUE(test::contains(task.out, "--frames 4-6 --fur-frame 1")) << task.out;
    EXPECT_TRUE(test::contains(task.out, "--threads 2\n")) << task.out;
    EXPECT_TRUE(test::contains(task.err, "task 1 ended with status 0\n")) << task.err;
}

// Each value lands in a line of the batch script; none may make bash run the planted command.
TEST_F(HostileRuns, TheBatchScriptRunsNothingANameSmugglesIn) {
    // Planted in the folder the script runs in: no '/' (names can hold none) and no blank (a
    // blank gets a value quoted); what follows the value on its line may lengthen the name.
    const std::string touch = "touch${IFS}PLANTED";
    const auto planted = [](const fs::path &folder) {
        for (const auto &entry : fs::directory_iterator(folder))
            if (entry.path().filename().string().starts_with("PLANTED")) return true;
        return false;
    };
    const std::string scratch = path("scratch");
    const fs::path odd_db = path("db\n" + touch);
    fs::rename(fur_square(), odd_db);
    fs::copy_file(odd_db / "SCENES" / "fur.dsc", odd_db / "SCENES" / ("fur\n" + touch + ".dsc"));
    const std::string out = path("f");
    struct Vector {
        std::string database, scene;
        std::vector<std::string> options;
        int status;  // 2: refused, 1: the scene is not loaded, 0: quoted
    };
    const Vector vectors[] = {
        {test::demo_database(), "furball", {"--output", out + "\n" + touch}, 2},
        {test::demo_database(), "furball", {"--output", out, "--partition", "render\n" + touch}, 2},
        {test::demo_database(), "furball", {"--output", out, "--partition", "render\r" + touch}, 2},
        {test::demo_database(), "furball", {"--output", out, "--sbatch-arg", "--time=1\n" + touch}, 2},
        {test::demo_database(), "furball", {"--output", out, "--sbatch-arg", "--comment=#$(" + touch + ")"}, 0},
        {odd_db.string(), "fur", {}, 2},  // the frames go to the database's folder
        {odd_db.string(), "fur\n" + touch, {"--output", out}, 1},
        {test::demo_database(), "furball", {"--output", out + "$(" + touch + ")`" + touch + "`;" + touch}, 0},
        {test::demo_database(), "furball", {"--output", out, "--partition", "a\" b'$(" + touch + ")"}, 0},
    };
    for (const Vector &v : vectors) {
        std::vector<std::string> args = {"farm-submit", "--slurm", "--frames", "1", "2", "--dry-run"};
        args.insert(args.end(), v.options.begin(), v.options.end());
        const ProgramResult r = host(v.database, v.scene, args);
        EXPECT_EQ(r.status, v.status) << r.err;
        if (v.status == 2) {
            EXPECT_TRUE(test::contains(r.err, "a line break or another control character")) << r.err;
        }
        if (r.status != 0) continue;
        const ProgramResult task = run_task(r.out, 0, scratch);
        EXPECT_EQ(task.status, 0) << task.err;
        EXPECT_FALSE(planted(scratch)) << r.out;
        fs::remove_all(scratch);
    }
    EXPECT_FALSE(planted(work.path()));
}

TEST_F(HostileRuns, ArraysBeyondWhatSlurmTakesAreRefusedUpFront) {
    std::ofstream(path("slurm.conf")) << "ClusterName=test\n  maxarraysize = 5 # small\n";
    const ProgramResult small = demo({"farm-submit", "--slurm", "--frames", "1", "100", "--chunk", "10", "--dry-run"});
    EXPECT_EQ(small.status, 2);
    EXPECT_TRUE(test::contains(small.err,
                               "frames 1-100 in chunks of 10 make 10 tasks, more than the cluster's MaxArraySize of "
                               "5: give --chunk 20 or more"))
        << small.err;
    fs::remove(path("slurm.conf"));  // Slurm's default then
    const auto started = std::chrono::steady_clock::now();
    const ProgramResult huge =
        demo({"farm-submit", "--slurm", "--frames", "-10000000", "10000000", "--chunk", "1", "--dry-run"});
    EXPECT_EQ(huge.status, 2);
    EXPECT_TRUE(test::contains(huge.err, "make 20000001 tasks, more than the cluster's MaxArraySize of 1001"))
        << huge.err;
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(30));

}

TEST_F(HostileRuns, JobsStayWithinTheMachineAndEndWithTheirParent) {
    const int cores = std::max(1, int(std::thread::hardware_concurrency()));
    const ProgramResult many = demo({"render", "--frames", "1", "12", "--size", "32", "24", "--jobs", "40",
                                     "--output", work.path() + "/f"});
    ASSERT_EQ(many.status, 0) << many.err;
    EXPECT_TRUE(test::contains(many.err,
                               "--jobs 40: " + std::to_string(cores) + " processes, as many as this machine has cores"))
        << many.err;
    EXPECT_TRUE(test::contains(many.err, "by " + std::to_string(std::min(cores, 12)) + " processes")) << many.err;

    // kill -9 of the parent: its workers end too instead of rendering on unseen.
    const pid_t parent = start("vellimor-host", {"render", "-d", test::demo_database(), "-s", "furball", "--frames",
                                                 "1", "400", "--size", "64", "48", "--jobs", "2", "--output",
                                                 work.path() + "/k"});
    ASSERT_GT(parent, 0);
    // The workers, and whether any of them still runs (a zombie waits only to be reaped).
    std::string workers;
    for (int wait = 0; wait < 600 && std::count(workers.begin(), workers.end(), '\n') < 2; ++wait) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        workers = test::run_executable("/usr/bin/pgrep", {"-P", std::to_string(parent)}, {}, work.path()).out;
    }
    ASSERT_EQ(std::count(workers.begin(), workers.end(), '\n'), 2) << test::read_file(work.path() + "/ERR.txt");
    std::replace(workers.begin(), workers.end(), '\n', ',');
    workers.pop_back();
    kill(parent, SIGKILL);
    waitpid(parent, nullptr, 0);
    bool any_alive = true;
    for (int wait = 0; wait < 300 && any_alive; ++wait) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        const std::string states =
            test::run_executable("/usr/bin/ps", {"-o", "stat=", "-p", workers}, {}, work.path()).out;
        any_alive = std::regex_search(states, std::regex("(^|\n)[^Z]"));
    }
    EXPECT_FALSE(any_alive) << "workers run on after their parent was killed";
}

// Killed at any moment, the writers of pictures leave the old file or the new one, never a
// temporary beside it.
TEST_F(HostileRuns, KilledWritersLeaveNoTemporaries) {
    // About a second's conversion in this build: the kills land inside it.
    const std::string db = fur_square({.xres = 2048, .yres = 1536}), pic = path("big.pic");
    const ProgramResult rendered = on_scene("vellimor", "", db, "fur", {"-b", "-n", "1", "1", "1", "-o", path("big")});
    ASSERT_EQ(rendered.status, 0) << rendered.err;
    fs::rename(path("big.1.pic"), pic);
    for (int k = 0; k < 12; ++k) {
        const pid_t pid = k % 2 ? start("vellimor-pic", {"to-png", pic, work.path() + "/big.png"})
                                : start("vellimor", {"-b", "-d", db, "-s", "fur", "-n", "1", "3", "1",
                                                     "-o", work.path() + "/again"});
        std::this_thread::sleep_for(std::chrono::milliseconds(50 + 80 * k));
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    for (const auto &entry : fs::directory_iterator(work.path())) {
        const std::string name = entry.path().filename().string();
        const bool temporary = name.size() > 7 && name[name.size() - 7] == '.' &&
                               (name.find(".png.") != std::string::npos || name.find(".pic.") != std::string::npos);
        EXPECT_FALSE(temporary) << name;
    }
}

}  // namespace
}  // namespace vellimor
