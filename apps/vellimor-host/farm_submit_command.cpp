// "farm-submit --slurm": a frame range sent to a Slurm cluster as one job array. Every task
// renders one chunk of consecutive frames with "vellimor-host render" into the shared output
// folder; the chunks grow their fur at the run's fur frame, so the frames are those of one local
// render. The batch script is written beside the frames (and printed with --dry-run).
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "apps/vellimor-host/commands.h"
#include "apps/vellimor-host/render_chunks.h"
#include "apps/vellimor-host/render_options.h"
#include "apps/vellimor-host/script_quoting.h"
#include "render/atomic_file.h"

extern char **environ;

namespace vellimor::host_driver {
namespace {

namespace fs = std::filesystem;

constexpr int kDefaultChunk = 10;
constexpr const char *kRenderFolder = "RENDER_PICTURES";

constexpr const char *kUsage =
    "usage: vellimor-host farm-submit --slurm -d DATABASE -s SCENE --frames FRAMES [--chunk K]\n"
    "                                 [--partition P] [--sbatch-arg ARG]... [--dry-run] [--wait] [render options]\n"
    "Sends the frames to a Slurm cluster as one job array (sbatch): each task renders K frames\n"
    "with `vellimor-host render` into the output folder, which every node must see at the same\n"
    "path. The pictures are those of one local render of the whole range.\n"
    "  --slurm             submit with Slurm's sbatch (SLURM_CONF and the usual SBATCH_* variables apply)\n"
    "  --frames FRAMES     5, 1-100, 1-100x2, 1,5,10-20 or START END [STEP]\n"
    "  --chunk K           frames per task (default 10)\n"
    "  --partition P       the partition to run in (default: the cluster's default)\n"
    "  --sbatch-arg ARG    one more #SBATCH line for the script, such as --time=2:00:00, --mem=8G,\n"
    "                      --account=A or --qos=Q (repeatable)\n"
    "  --threads N         threads of each task; asks Slurm for N CPUs per task (default 1)\n"
    "  --dry-run           print the batch script, write and submit nothing\n"
    "  --wait              return when every task has ended: status 0 only when every task ended\n"
    "                      with 0 and wrote its frames in this run, else the failed tasks and logs\n"
    "  render options      --size, --aspect, --aa, --alpha, --all-persistent, --output DIR/NAME,\n"
    "                      --format, --fur-frame, --max-memory, as `vellimor-host render --help` gives them\n"
    "The batch script goes beside the frames (DIR/NAME.sbatch), the tasks' logs to\n"
    "DIR/NAME.slurm-JOB_TASK.log. Exit status: 0 submitted (with --wait: rendered), 1 failed,\n"
    "2 wrong options.\n";

struct FarmOptions {
    RenderOptions render;
    bool slurm = false;
    int chunk = kDefaultChunk;
    std::string partition;
    std::vector<std::string> sbatch_args;
    bool dry_run = false;
    bool wait = false;
};

// A line break would end the #SBATCH line and start a shell command of the script.
bool fits_one_line(const std::string &option, const std::string &value) {
    if (script_line_value(value)) return true;
    report_error(option + " must not hold a line break or another control character");
    return false;
}

// Takes the farm's own options out; the rest are render options.
bool parse_farm_options(const std::vector<std::string> &args, FarmOptions &o) {
    std::vector<std::string> rest;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string &a = args[i];
        const bool has_value = i + 1 < args.size();
        if (a == "--slurm") o.slurm = true;
        else if (a == "--dry-run") o.dry_run = true;
        else if (a == "--wait") o.wait = true;
        else if (a == "--chunk") {
            if (!has_value || !parse_integer(args[i + 1], o.chunk) || o.chunk < 1) {
                report_error("--chunk needs a whole number of frames, 1 or more");
                return false;
            }
            ++i;
        } else if (a == "--partition") {
            if (!has_value || args[i + 1].empty()) {
                report_error("--partition needs a partition name");
                return false;
            }
            o.partition = args[++i];
            if (!fits_one_line(a, o.partition)) return false;
        } else if (a == "--sbatch-arg") {
            if (!has_value || !args[i + 1].starts_with("-")) {
                report_error("--sbatch-arg needs one of sbatch's options, such as --time=2:00:00");
                return false;
            }
            o.sbatch_args.push_back(args[++i]);
            if (!fits_one_line(a, o.sbatch_args.back())) return false;
        } else {
            rest.push_back(a);
        }
    }
    if (!parse_render_options(rest, o.render)) return false;
    if (o.render.help) return true;
    if (!o.slurm) {
        report_error("farm-submit needs --slurm (the scheduler it submits to)");
        return false;
    }
    if (o.render.frames.empty()) {
        report_error("farm-submit needs --frames");
        return false;
    }
    if (o.render.jobs != 1) {
        report_error("farm-submit takes --chunk, not --jobs: every task is one process");
        return false;
    }
    return true;
}

std::string absolute(const std::string &path) {
    std::error_code error;
    const fs::path full = fs::absolute(path, error);
    return error ? path : full.lexically_normal().string();
}

std::string scene_name_of(const std::string &scene) {
    std::string name = fs::path(scene).filename().string();
    if (name.ends_with(".dsc")) name.resize(name.size() - 4);
    return name;
}

struct Submission {
    CommandLine line;  // with absolute paths: the tasks run elsewhere
    FarmOptions options;
    std::string base;  // DIR/NAME of the frames, absolute
    std::string stem;  // DIR/NAME without the frame placeholder: the script's and the logs'
    std::vector<FrameList> chunks;
    int fur_frame = 0;
    int cpus = 1;  // per task
};

std::string log_pattern(const Submission &s) { return s.stem + ".slurm-%A_%a.log"; }
std::string task_log(const Submission &s, const std::string &job, size_t task) {
    return s.stem + ".slurm-" + job + "_" + std::to_string(task) + ".log";
}

constexpr const char *kTaskEnded = "ended with status ";

// What every task runs, its own chunk's frames taken from the task number and its threads from
// the CPUs Slurm gave it.
std::string task_command(const Submission &s) {
    RenderOptions task = s.options.render;
    task.output = s.base;
    task.threads = s.cpus;
    const std::vector<std::string> arguments = chunk_render_arguments(s.line, task, s.chunks.front(), s.fur_frame);
    std::string command = shell_quoted(this_program()) + " render";
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string &before = i > 0 ? arguments[i - 1] : std::string();
        command += " " + (before == "--frames"    ? std::string("\"$frames\"")
                          : before == "--threads" ? "\"${SLURM_CPUS_PER_TASK:-" + std::to_string(s.cpus) + "}\""
                                                  : shell_quoted(arguments[i]));
    }
    return command;
}

// Slurm refuses job arrays of more tasks than its MaxArraySize: the cluster's setting in its
// configuration file (SLURM_CONF, else Debian's place), else Slurm's default.
constexpr long long kSlurmDefaultMaxArraySize = 1001;

long long max_array_size() {
    const char *conf = std::getenv("SLURM_CONF");
    std::ifstream in(conf && *conf ? conf : "/etc/slurm/slurm.conf");
    const std::string key = "maxarraysize";
    for (std::string line; std::getline(in, line);) {
        line = line.substr(0, line.find('#'));
        std::string lower;
        for (char c : line) {
            if (!std::isspace(static_cast<unsigned char>(c)))
                lower += char(std::tolower(static_cast<unsigned char>(c)));
        }
        if (lower.rfind(key + "=", 0) != 0) continue;
        long long value = 0;
        const char *digits = lower.c_str() + key.size() + 1;
        if (std::from_chars(digits, lower.c_str() + lower.size(), value).ec == std::errc() && value > 0) return value;
    }
    return kSlurmDefaultMaxArraySize;
}

// False after a line when the array would have more tasks than the cluster accepts; counted
// before any chunk is made, so a huge range costs nothing.
bool array_fits_cluster(const FarmOptions &o) {
    const long long frames = frame_count(o.render.frames);
    const long long tasks = (frames + o.chunk - 1) / o.chunk;
    const long long limit = max_array_size();
    if (tasks <= limit) return true;
    report_error("frames " + frame_spec_text(o.render.frames) + " in chunks of " + std::to_string(o.chunk) + " make " +
                 std::to_string(tasks) + " tasks, more than the cluster's MaxArraySize of " + std::to_string(limit) +
                 ": give --chunk " + std::to_string((frames + limit - 1) / limit) + " or more");
    return false;
}

// The script, every value of its #SBATCH and comment lines through script_line_value; nullopt
// after a line naming the first value that no script line can carry.
std::optional<std::string> batch_script(const Submission &s) {
    const RenderOptions &r = s.options.render;
    const std::string name = fs::path(s.stem).filename().string();
    bool carried = true;
    const auto value = [&carried](const char *what, const std::string &text) {
        std::optional<std::string> quoted = script_line_value(text);
        if (!quoted && carried)
            report_error(std::string(what) +
                         " holds a line break or another control character, which a batch script cannot carry");
        carried = carried && quoted;
        return quoted.value_or("");
    };
    std::string out = "#!/bin/bash\n";
    out += "#SBATCH --job-name=" + value("the output name", "vellimor-" + name) + "\n";
    out += "#SBATCH --array=0-" + std::to_string(s.chunks.size() - 1) + "\n";
    out += "#SBATCH --ntasks=1\n#SBATCH --cpus-per-task=" + std::to_string(s.cpus) + "\n";
    out += "#SBATCH --output=" + value("the output path", log_pattern(s)) + "\n";
    if (!s.options.partition.empty()) out += "#SBATCH --partition=" + value("the partition", s.options.partition) + "\n";
    for (const std::string &a : s.options.sbatch_args) out += "#SBATCH " + value("--sbatch-arg", a) + "\n";
    out += "# Frames " + frame_spec_text(r.frames) + " of scene " + value("the scene name", s.line.scene) +
           " in chunks of " + std::to_string(s.options.chunk) + ", the fur grown at frame " +
           std::to_string(s.fur_frame) + ".\n";
    out += "# Written by vellimor-host farm-submit: task i renders the frames chunks[i].\n";
    out += "set -u\nchunks=(";
    for (size_t i = 0; i < s.chunks.size(); ++i) out += (i ? " " : "") + shell_quoted(frame_spec_text(s.chunks[i]));
    out += ")\n";
    out += "task=${SLURM_ARRAY_TASK_ID:?submit this script with sbatch}\n";
    out += "frames=${chunks[$task]}\n";
    out += "echo \"task $task on $(hostname): frames $frames\" >&2\n";
    out += "status=0\n" + task_command(s) + " || status=$?\n";
    // farm-submit --wait reads this line back from the task's log.
    out += std::string("echo \"task $task ") + kTaskEnded + "$status\" >&2\nexit $status\n";
    if (!carried) return std::nullopt;
    return out;
}

// Runs sbatch on the script; the job id from its --parsable answer, and sbatch's exit status
// (with --wait: the highest of the tasks'). False after one line when nothing was submitted.
bool run_sbatch(const std::string &script, bool wait, std::string &job, int &exit_status) {
    std::vector<std::string> arguments = {"sbatch", "--parsable"};
    if (wait) arguments.emplace_back("--wait");
    arguments.push_back(script);
    std::vector<char *> argv;
    for (std::string &a : arguments) argv.push_back(a.data());
    argv.push_back(nullptr);
    int out[2];
    if (pipe(out) != 0) {
        report_error(std::string("cannot run sbatch: ") + std::strerror(errno));
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    pid_t pid = -1;
    std::fflush(stdout);
    const int error = posix_spawnp(&pid, "sbatch", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    if (error != 0) {
        close(out[0]);
        report_error(std::string("cannot run sbatch: ") + std::strerror(error) +
                     " (install Slurm's client: scripts/install-deps.sh, or use --dry-run)");
        return false;
    }
    std::string answer;
    char buffer[256];
    for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) != 0;) {
        if (n > 0) answer.append(buffer, size_t(n));
        else if (errno != EINTR) break;
    }
    close(out[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
    job = answer.substr(0, answer.find_first_of(";\n"));
    exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : 1;
    if (!job.empty() && (exit_status == 0 || wait)) return true;
    report_error("sbatch could not submit " + script + " (see its message above)");
    return false;
}

// What a frame file was before the job ran: a file a task wrote in this run differs (every write
// replaces the file with a new one).
struct FileStamp {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    int64_t modified_ns = 0;
    off_t size = 0;
    bool operator==(const FileStamp &) const = default;
};

FileStamp stamp_of(const std::string &path) {
    struct stat s {};
    if (stat(path.c_str(), &s) != 0 || !S_ISREG(s.st_mode)) return {};
    return {true, s.st_dev, s.st_ino, int64_t(s.st_mtim.tv_sec) * 1000000000 + s.st_mtim.tv_nsec, s.st_size};
}

std::vector<std::string> frame_files_of(const Submission &s, const FrameList &frames) {
    const PictureFormat format = s.options.render.format;
    std::vector<const char *> extensions;
    if (format == PictureFormat::pic || format == PictureFormat::both) extensions.push_back("pic");
    if (format == PictureFormat::png || format == PictureFormat::both) extensions.push_back("png");
    if (format == PictureFormat::exr) extensions.push_back("exr");
    std::vector<std::string> files;
    for_each_frame(frames, [&](int frame) {
        for (const char *extension : extensions) files.push_back(frame_file(s.base, frame, extension));
    });
    return files;
}

using FileStamps = std::map<std::string, FileStamp>;

FileStamps stamps_before(const Submission &s) {
    FileStamps stamps;
    for (const FrameList &chunk : s.chunks)
        for (const std::string &file : frame_files_of(s, chunk)) stamps[file] = stamp_of(file);
    return stamps;
}

// The status a task's log says it ended with, or -1 when the log says none (or is not there).
int logged_status(const std::string &log) {
    std::ifstream in(log);
    std::string line, last;
    while (std::getline(in, line))
        if (line.starts_with("task ") && line.find(kTaskEnded) != std::string::npos) last = line;
    int status = -1;
    if (!last.empty() && !parse_integer(last.substr(last.find(kTaskEnded) + std::strlen(kTaskEnded)), status)) return -1;
    return status;
}

// With --wait: every task ended with 0 and wrote every frame of its chunk in this run, else one
// line naming each failed task, why, and its log.
int judge_tasks(const Submission &s, const std::string &job, int sbatch_status, const FileStamps &before) {
    std::string failed;
    int failed_tasks = 0, stale_frames = 0;
    for (size_t task = 0; task < s.chunks.size(); ++task) {
        const std::string log = task_log(s, job, task);
        const int status = logged_status(log);
        std::string first_stale;
        int stale = 0;
        for (const std::string &file : frame_files_of(s, s.chunks[task])) {
            const FileStamp now = stamp_of(file);
            if (now.exists && !(now == before.at(file))) continue;
            if (stale++ == 0) first_stale = file;
        }
        if (status == 0 && stale == 0) continue;
        ++failed_tasks;
        stale_frames += stale;
        std::string why = status < 0 ? "no end in its log" : "status " + std::to_string(status);
        if (stale > 0) why += ", " + std::to_string(stale) + " files not written in this run, the first " + first_stale;
        failed += "\n  task " + std::to_string(task) + " (frames " + frame_spec_text(s.chunks[task]) + "): " + why +
                  "; log " + log;
    }
    if (failed_tasks == 0 && sbatch_status == 0) {
        std::fprintf(stderr, "Job array %s done: every task ended with 0 and wrote its frames\n", job.c_str());
        return kExitSuccess;
    }
    if (failed_tasks == 0) {
        report_error("job array " + job + " ended with status " + std::to_string(sbatch_status) + " (see " +
                     s.stem + ".slurm-" + job + "_*.log)");
        return kExitFailure;
    }
    report_error("job array " + job + ": " + std::to_string(failed_tasks) + " of " + std::to_string(s.chunks.size()) +
                 " tasks failed" + failed);
    return kExitFailure;
}

}  // namespace

int run_farm_submit(const CommandLine &given) {
    Submission s;
    if (!parse_farm_options(given.args, s.options)) return kExitUsage;
    FarmOptions &o = s.options;
    if (o.render.help) {
        std::fputs(kUsage, stdout);
        return kExitSuccess;
    }
    SAA_Database database{};
    SAA_Scene scene{};
    if (!open_scene(given, database, scene)) return kExitFailure;
    s.line = given;
    s.line.database = absolute(given.database);
    if (given.scene.find('/') != std::string::npos) s.line.scene = absolute(given.scene);
    s.base = absolute(o.render.output.empty()
                          ? (fs::path(s.line.database) / kRenderFolder / scene_name_of(given.scene)).string()
                          : o.render.output);
    s.stem = frames_stem(s.base);
    s.cpus = o.render.threads > 0 ? o.render.threads : 1;
    const std::string folder = fs::path(s.base).parent_path().string();
    std::error_code error;
    if (!o.dry_run && !fs::is_directory(folder, error) && !fs::create_directories(folder, error) && error) {
        report_error("cannot write frames into " + folder + ": " + error.message());
        return kExitFailure;
    }
    if (!array_fits_cluster(o)) return kExitUsage;
    s.chunks = chunks_of_size(o.render.frames, o.chunk);
    s.fur_frame = fur_frame_of(o.render, scene, first_frame(o.render.frames));
    const std::optional<std::string> written = batch_script(s);
    if (!written) return kExitUsage;
    const std::string &script = *written;
    if (o.dry_run) {
        std::fputs(script.c_str(), stdout);
        return kExitSuccess;
    }
    const std::string script_file = s.stem + ".sbatch";
    std::string reason;
    if (!write_file_atomically(script_file, std::vector<uint8_t>(script.begin(), script.end()), &reason)) {
        report_error(reason);
        return kExitFailure;
    }
    const FileStamps before = o.wait ? stamps_before(s) : FileStamps{};
    std::string job;
    int sbatch_status = 0;
    if (!run_sbatch(script_file, o.wait, job, sbatch_status)) return kExitFailure;
    std::fprintf(stderr, "Submitted job array %s: %zu tasks of up to %d frames (%s), frames into %s\n", job.c_str(),
                 s.chunks.size(), o.chunk, frame_spec_text(o.render.frames).c_str(), folder.c_str());
    std::printf("%s\n", job.c_str());
    if (!o.wait) return kExitSuccess;
    return judge_tasks(s, job, sbatch_status, before);
}

}  // namespace vellimor::host_driver
