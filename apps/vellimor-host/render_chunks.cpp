#include "apps/vellimor-host/render_chunks.h"

#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <thread>

#include "render/frame_memory.h"

extern char **environ;

namespace vellimor::host_driver {
namespace {

constexpr int kInterruptedStatus = 130;  // the shells' status of a program ended by Ctrl-C
// Exit statuses of a worker that never ran: its parent was gone before it started, or the
// program could not be executed (the shells' status for that).
constexpr int kWorkerOrphaned = 1;
constexpr int kWorkerNotStarted = 127;

std::string real_text(float value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", double(value));
    return text;
}

const char *format_name(PictureFormat format) {
    switch (format) {
    case PictureFormat::pic: return "pic";
    case PictureFormat::both: return "both";
    case PictureFormat::exr: return "exr";
    case PictureFormat::png: break;
    }
    return "png";
}

// A signal that reached this process while its children render; passed on to them.
volatile std::sig_atomic_t g_signal = 0;
void remember_signal(int signal) { g_signal = signal; }

// Catches Ctrl-C and termination for as long as it lives, so the children are waited for and
// the outcome is reported.
class SignalsForwarded {
public:
    SignalsForwarded() {
        struct sigaction action {};
        action.sa_handler = remember_signal;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &interrupt_);
        sigaction(SIGTERM, &action, &terminate_);
    }
    ~SignalsForwarded() {
        sigaction(SIGINT, &interrupt_, nullptr);
        sigaction(SIGTERM, &terminate_, nullptr);
    }
    SignalsForwarded(const SignalsForwarded &) = delete;
    SignalsForwarded &operator=(const SignalsForwarded &) = delete;

private:
    struct sigaction interrupt_ {}, terminate_ {};
};

struct ChunkProcess {
    FrameList chunk;
    pid_t pid = -1;
    int status = -1;  // exit status once ended; -1 while running or when it never started
};

// Starts a worker that ends with this process: were the parent killed, nobody would collect
// its frames or report them, so the kernel ends it too (SIGTERM, which it reports as an end).
bool spawn(const std::vector<std::string> &arguments, pid_t &pid) {
    std::vector<char *> argv;
    for (const std::string &a : arguments) argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    const pid_t parent = getpid();
    pid = fork();
    if (pid == 0) {
        // Only async-signal-safe calls between fork and exec.
        if (prctl(PR_SET_PDEATHSIG, SIGTERM) != 0 || getppid() != parent) _exit(kWorkerOrphaned);
        execve(argv[0], argv.data(), environ);
        _exit(kWorkerNotStarted);
    }
    if (pid > 0) return true;
    report_error("cannot start " + arguments[0] + ": " + std::strerror(errno));
    return false;
}

int exit_status_of(int wait_status) {
    if (WIFEXITED(wait_status)) return WEXITSTATUS(wait_status);
    if (WIFSIGNALED(wait_status)) return 128 + WTERMSIG(wait_status);
    return 1;
}

}  // namespace

vellimor::CommandLine batch_frames(const CommandLine &line, const RenderOptions &options, const FrameList &frames) {
    vellimor::CommandLine batch;
    batch.batch = true;
    batch.database = line.database;
    batch.scene = line.scene;
    batch.has_frames = true;
    batch.start = frames.front().start;
    batch.end = frames.front().end;
    batch.step = frames.front().step;
    batch.persistent_all = options.all_persistent;
    return batch;
}

void render_frame_list(BatchHooks &hooks, const FrameList &frames, int fur_frame) {
    hooks.fur_frame = fur_frame;
    hooks.frame_runs.clear();
    for (const FrameRun &run : frames) hooks.frame_runs.push_back({run.start, run.end, run.step});
}

int fur_frame_of(const RenderOptions &options, const SAA_Scene &scene, int first_frame) {
    if (options.has_fur_frame) return options.fur_frame;
    int play_start = first_frame;
    if (SAA_sceneGetPlayCtrlStartFrame(&scene, &play_start) != SAA_OK) return first_frame;
    return std::min(play_start, first_frame);
}

std::vector<std::string> chunk_render_arguments(const CommandLine &line, const RenderOptions &options,
                                                const FrameList &chunk, int fur_frame) {
    std::vector<std::string> a = {"-d", line.database, "-s", line.scene};
    a.insert(a.end(), {"--frames", frame_spec_text(chunk), "--fur-frame", std::to_string(fur_frame)});
    if (options.has_size) a.insert(a.end(), {"--size", std::to_string(options.width), std::to_string(options.height)});
    if (options.has_aspect) a.insert(a.end(), {"--aspect", real_text(options.aspect)});
    if (options.has_antialias) a.insert(a.end(), {"--aa", std::to_string(options.antialias)});
    if (options.alpha) a.emplace_back("--alpha");
    if (options.all_persistent) a.emplace_back("--all-persistent");
    if (options.exact_tubes) a.emplace_back("--exact-tubes");
    if (!options.output.empty()) a.insert(a.end(), {"--output", options.output});
    if (options.max_memory > 0) a.insert(a.end(), {"--max-memory", std::to_string(options.max_memory)});
    a.insert(a.end(), {"--format", format_name(options.format)});
    if (options.threads > 0) a.insert(a.end(), {"--threads", std::to_string(options.threads)});
    return a;
}

namespace {

// The processes --jobs may start: no more than the machine has cores (more only share them, at
// the memory of every one) and no more than the memory limit holds; each gets its share of the
// limit, which it checks its own estimate against.
int capped_jobs(const RenderOptions &options, int64_t limit) {
    const int cores = std::max(1, int(std::thread::hardware_concurrency()));
    const int64_t fit = std::max<int64_t>(1, limit / kRenderProcessBytes);
    const int jobs = int(std::min<int64_t>({options.jobs, cores, fit}));
    if (jobs < options.jobs)
        std::fprintf(stderr, "--jobs %d: %d processes, as many as this machine has %s\n", options.jobs, jobs,
                     jobs == cores ? "cores" : ("memory for (" + memory_text(limit) + ")").c_str());
    return jobs;
}

}  // namespace

int render_in_processes(const CommandLine &line, const RenderOptions &options, const FrameList &frames,
                        int fur_frame, const std::string &folder) {
    const auto started = std::chrono::steady_clock::now();
    const int64_t limit = options.max_memory > 0 ? options.max_memory : default_memory_limit();
    RenderOptions workers = options;
    workers.jobs = capped_jobs(options, limit);
    workers.max_memory = limit / workers.jobs;
    const std::vector<FrameList> chunks = split_into_chunks(frames, workers.jobs);
    const int status = render_chunks_in_processes(line, workers, chunks, fur_frame, workers.jobs);
    if (status != kExitSuccess) return status;
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    const int64_t count = frame_count(frames);
    std::fprintf(stderr, "%lld frames in %.1f s by %zu processes (%.2f s a frame) \u2192 %s\n", (long long)count,
                 seconds, chunks.size(), seconds / double(count), folder.c_str());
    return kExitSuccess;
}

std::string this_program() {
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string(kProgram) : program.string();
}

int render_chunks_in_processes(const CommandLine &line, const RenderOptions &options,
                               const std::vector<FrameList> &chunks, int fur_frame, int jobs) {
    const SignalsForwarded signals;
    std::vector<ChunkProcess> processes;
    for (const FrameList &chunk : chunks) processes.push_back({chunk});
    std::fprintf(stderr, "Rendering %zu chunks in %d processes, fur grown at frame %d\n", chunks.size(),
                 std::min(jobs, int(chunks.size())), fur_frame);
    const std::string program = this_program();
    // At most `jobs` children at once: start the next chunk whenever one ends.
    size_t next = 0;
    std::vector<ChunkProcess *> running;
    while (next < processes.size() || !running.empty()) {
        while (g_signal == 0 && next < processes.size() && int(running.size()) < jobs) {
            ChunkProcess &p = processes[next++];
            std::vector<std::string> arguments = {program, "render"};
            for (std::string &a : chunk_render_arguments(line, options, p.chunk, fur_frame))
                arguments.push_back(std::move(a));
            std::fflush(stdout);
            std::fflush(stderr);
            if (spawn(arguments, p.pid)) running.push_back(&p);
            else p.status = 1;
        }
        if (running.empty()) break;
        int wait_status = 0;
        const pid_t ended = waitpid(-1, &wait_status, 0);
        if (ended < 0) {
            if (errno != EINTR) break;
            for (ChunkProcess *p : running) kill(p->pid, g_signal);
            continue;
        }
        const auto it = std::find_if(running.begin(), running.end(), [ended](ChunkProcess *p) { return p->pid == ended; });
        if (it == running.end()) continue;
        (*it)->status = exit_status_of(wait_status);
        running.erase(it);
    }

    std::string failed;
    bool interrupted = g_signal != 0;
    for (const ChunkProcess &p : processes) {
        if (p.status == 0) continue;
        if (p.status == kInterruptedStatus) interrupted = true;
        failed += (failed.empty() ? "" : ", ") + frame_spec_text(p.chunk) +
                  (p.status < 0 ? " (not started)" : " (status " + std::to_string(p.status) + ")");
    }
    g_signal = 0;
    if (failed.empty()) return kExitSuccess;
    report_error(std::string(interrupted ? "interrupted" : "failed") + ": frames " + failed);
    return interrupted ? kInterruptedStatus : kExitFailure;
}

}  // namespace vellimor::host_driver
