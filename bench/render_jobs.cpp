// The speed-up of `vellimor-host render --jobs N`: the demo's frames 1..8 at 320 x 240 rendered by
// one process and by two side by side, timed as a user runs the program (wall clock, each run a
// fresh set of processes, fur growth and pre-roll included).
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <unistd.h>
#include <sys/wait.h>

#include <filesystem>
#include <string>
#include <vector>

#include "demo_scene.h"

extern char **environ;

namespace vellimor {
namespace {

namespace fs = std::filesystem;

// The program beside this benchmark, the whole render's exit status.
int render_demo(int jobs, const fs::path &out) {
    const fs::path program = fs::read_symlink("/proc/self/exe").parent_path() / "vellimor-host";
    const std::string database = (bench::source_dir() / "examples" / "furball").string();
    std::vector<std::string> args = {program.string(), "render", "-d", database, "-s", "furball",
                                     "--frames", "1", "8", "--size", "320", "240", "--aa", "0",
                                     "--output", (out / "f").string(), "--jobs", std::to_string(jobs)};
    std::vector<char *> argv;
    for (std::string &a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&quiet, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    int status = -1;
    if (posix_spawn(&pid, argv[0], &quiet, nullptr, argv.data(), environ) == 0) waitpid(pid, &status, 0);
    posix_spawn_file_actions_destroy(&quiet);
    return status;
}

void BM_RenderDemoFrames(benchmark::State &state) {
    const fs::path out = fs::temp_directory_path() / ("vellimor-bench-jobs-" + std::to_string(getpid()));
    fs::create_directories(out);
    for (auto _ : state) {
        if (render_demo(int(state.range(0)), out) != 0) {
            state.SkipWithError("the render failed");
            break;
        }
    }
    fs::remove_all(out);
    state.SetItemsProcessed(int64_t(state.iterations()) * 8);  // frames
}
BENCHMARK(BM_RenderDemoFrames)->Arg(1)->Arg(2)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(2);

}  // namespace
}  // namespace vellimor
