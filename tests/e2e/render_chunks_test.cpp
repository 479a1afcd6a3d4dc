// Frames that split safely: a render of frames 4..6 gives the bytes of frames 4..6 of a render of
// 1..6, and two processes of three threads each the bytes of one process of one thread (hairs are
// grown and shaded on every thread, the antialiasing passes drawn by all); farm-submit writes the
// batch script of a job array whose tasks render those chunks.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>

#include "support/program_test.h"

namespace vellimor {
namespace {

namespace fs = std::filesystem;
using test::ProgramResult;

class RenderChunks : public test::ProgramTest {
protected:
    ProgramResult host(const std::string &command, const std::vector<std::string> &args) {
        return on_scene("vellimor-host", command, test::demo_database(), "furball", args);
    }
    // The demo's frames at a small size into DIR/f.NNNN.png.
    ProgramResult render(const std::string &dir, int first, int last, std::vector<std::string> more = {}) {
        fs::create_directories(fs::path(work.path()) / dir);
        std::vector<std::string> args = {"--frames", std::to_string(first), std::to_string(last), "--size", "96",
                                         "72", "--aa", "1", "--output", (fs::path(work.path()) / dir / "f").string()};
        args.insert(args.end(), more.begin(), more.end());
        return host("render", args);
    }
    std::string frame(const std::string &dir, int number) const {
        char name[32];
        std::snprintf(name, sizeof name, "f.%04d.png", number);
        return test::slurp((fs::path(work.path()) / dir / name).string());
    }
};

TEST_F(RenderChunks, AChunkAndTwoProcessesOfThreeThreadsGiveTheBytesOfOneRun) {
    const ProgramResult whole = render("whole", 1, 6, {"--threads", "1"});
    ASSERT_EQ(whole.status, 0) << whole.err;
    const ProgramResult chunk = render("chunk", 4, 6);
    ASSERT_EQ(chunk.status, 0) << chunk.err;
    // The chunk grows its fur where the whole run does and draws the frame before its first.
    EXPECT_NE(chunk.err.find("Pre-roll: frame 3 drawn, not saved"), std::string::npos) << chunk.err;
    const ProgramResult jobs = render("jobs", 1, 6, {"--jobs", "2", "--threads", "3"});
    ASSERT_EQ(jobs.status, 0) << jobs.err;
    EXPECT_NE(jobs.err.find("6 frames in"), std::string::npos) << jobs.err;
    EXPECT_NE(jobs.err.find("by 2 processes"), std::string::npos) << jobs.err;
    EXPECT_NE(jobs.err.find("Running on 3 processors"), std::string::npos) << jobs.err;

    for (int f = 1; f <= 6; ++f) {
        const std::string expected = frame("whole", f);
        ASSERT_FALSE(expected.empty()) << "frame " << f;
        EXPECT_TRUE(frame("jobs", f) == expected) << "--jobs 2 differs at frame " << f;
        if (f >= 4) EXPECT_TRUE(frame("chunk", f) == expected) << "frames 4..6 alone differ at frame " << f;
    }
    // Every written file is listed once on stdout, whichever process wrote it.
    for (int f = 1; f <= 6; ++f)
        EXPECT_NE(jobs.out.find("/jobs/f.000" + std::to_string(f) + ".png\n"), std::string::npos) << jobs.out;
    EXPECT_FALSE(fs::exists(fs::path(work.path()) / "chunk" / "f.0003.png")) << "the pre-roll frame is not saved";
}

TEST_F(RenderChunks, FarmSubmitWritesAJobArrayOfChunks) {
    const std::string out = (fs::path(work.path()) / "it's here" / "f").string();
    const ProgramResult r =
        host("farm-submit", {"--slurm", "--frames", "1", "7", "--chunk", "3", "--partition", "render", "--size", "96",
                             "72", "--output", out, "--dry-run", "--threads", "2", "--sbatch-arg", "--time=1:00:00",
                             "--sbatch-arg", "--comment=a \"b\" # c"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string &script = r.out;
    EXPECT_EQ(script.rfind("#!/bin/bash\n", 0), 0u) << script;
    EXPECT_NE(script.find("#SBATCH --array=0-2\n"), std::string::npos) << script;
    EXPECT_NE(script.find("#SBATCH --partition=render\n"), std::string::npos) << script;
    // The tasks get the CPUs their threads need, and every --sbatch-arg a line of its own that
    // sbatch reads as one word.
    EXPECT_NE(script.find("#SBATCH --cpus-per-task=2\n"), std::string::npos) << script;
    EXPECT_NE(script.find("#SBATCH --time=1:00:00\n#SBATCH \"--comment=a \\\"b\\\" # c\"\n"), std::string::npos)
        << script;
    EXPECT_NE(script.find("chunks=('1-3' '4-6' '7')\n"), std::string::npos) << script;
    EXPECT_NE(script.find("'--frames' \"$frames\" '--fur-frame' '1'"), std::string::npos) << script;
    // Paths the tasks use are absolute and quoted for the shell, whatever they hold.
    EXPECT_NE(script.find("'--output' '" + fs::path(work.path()).string() + "/it'\\''s here/f'"), std::string::npos)
        << script;
    EXPECT_NE(script.find("'-d' '/"), std::string::npos) << script;
    EXPECT_FALSE(fs::exists(fs::path(work.path()) / "it's here")) << "a dry run writes nothing";

    // The script's shell part runs as written: bash reads it, and task 1 asks for frames 4..6.
    const std::string file = (fs::path(work.path()) / "job.sh").string();
    std::string dry = script;
    const size_t program_end = dry.find("/vellimor-host' render ");
    ASSERT_NE(program_end, std::string::npos) << script;
    const size_t line_start = dry.rfind('\n', program_end) + 1;
    dry.replace(line_start, program_end + 15 - line_start, "echo");
    std::ofstream(file) << dry;
    const ProgramResult task = test::run_executable("/bin/bash", {file}, {{"SLURM_ARRAY_TASK_ID", "1"}}, work.path());
    ASSERT_EQ(task.status, 0) << task.err;
    EXPECT_EQ(task.out.rfind("render -d /", 0), 0u) << task.out;
    EXPECT_NE(task.out.find("--frames 4-6 --fur-frame 1"), std::string::npos) << task.out;
    EXPECT_NE(task.out.find("--threads 2\n"), std::string::npos) << task.out;
    EXPECT_NE(task.err.find("task 1 ended with status 0\n"), std::string::npos) << task.err;
}

}  // namespace
}  // namespace vellimor
