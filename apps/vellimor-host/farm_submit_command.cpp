// "farm-submit --slurm": a frame range sent to a Slurm cluster as one job array. Every task
// renders one chunk of consecutive frames with "vellimor-host render" into the shared output
// folder; the chunks grow their fur at the run's fur frame, so the frames are those of one local
// render. The batch script is written beside the frames (and printed with --dry-run).
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
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
    "usage: vellimor-host farm-submit --slurm -d DATABASE -s SCENE --frames START END [STEP]\n"
    "                                 [--chunk K] [--partition P] [--dry-run] [--wait] [render options]\n"
    "Sends the frames to a Slurm cluster as one job array (sbatch): each task renders K frames\n"
    "with `vellimor-host render` into the output folder, which every node must see at the same\n"
    "path. The pictures are those of one local render of the whole range.\n"
    "  --slurm             submit with Slurm's sbatch (SLURM_CONF and the usual SBATCH_* variables apply)\n"
    "  --chunk K           frames per task (default 10)\n"
    "  --partition P       the partition to run in (default: the cluster's default)\n"
    "  --dry-run           print the batch script, write and submit nothing\n"
    "  --wait              return when every task has ended, with status 0 only when every frame is there\n"
    "  render options      --size, --aspect, --aa, --alpha, --all-persistent, --output DIR/NAME,\n"
    "                      --format, --fur-frame, --max-memory, as `vellimor-host render --help` gives them\n"
    "The batch script goes beside the frames (DIR/NAME.sbatch), the tasks' logs to\n"
    "DIR/NAME.slurm-JOB_TASK.log. Exit status: 0 submitted, 1 failed, 2 wrong options.\n";

struct FarmOptions {
    RenderOptions render;
    bool slurm = false;
    int chunk = kDefaultChunk;
    std::string partition;
    bool dry_run = false;
    bool wait = false;
};

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
    if (!o.render.has_frames) {
        report_error("farm-submit needs --frames START END");
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

std::string numbers(const std::vector<FrameChunk> &chunks, int FrameChunk::*field) {
    std::string out;
    for (const FrameChunk &c : chunks) out += (out.empty() ? "" : " ") + std::to_string(c.*field);
    return out;
}

// What every task runs, its own chunk's frames taken from the task number.
std::string task_command(const CommandLine &line, const RenderOptions &render, int step, int fur_frame) {
    std::vector<std::string> arguments = chunk_render_arguments(line, render, {0, 0, step}, fur_frame);
    std::string command = "exec " + shell_quoted(this_program()) + " render";
    for (size_t i = 0; i < arguments.size(); ++i) {
        const bool first = i >= 1 && arguments[i - 1] == "--frames";
        const bool last = i >= 2 && arguments[i - 2] == "--frames";
        command += " " + (first ? std::string("\"$first\"") : last ? std::string("\"$last\"") : shell_quoted(arguments[i]));
    }
    return command + "\n";
}

struct Submission {
    CommandLine line;  // with absolute paths: the tasks run elsewhere
    FarmOptions options;
    std::string base;  // DIR/NAME of the frames, absolute
    std::vector<FrameChunk> chunks;
    int fur_frame = 0;
};

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
    const RenderOptions &r = o.render;
    const long long frames = (static_cast<long long>(r.end) - r.start) / r.step + 1;
    const long long tasks = (frames + o.chunk - 1) / o.chunk;
    const long long limit = max_array_size();
    if (tasks <= limit) return true;
    report_error("frames " + std::to_string(r.start) + ".." + std::to_string(r.end) + " in chunks of " +
                 std::to_string(o.chunk) + " make " + std::to_string(tasks) + " tasks, more than the cluster's " +
                 "MaxArraySize of " + std::to_string(limit) + ": give --chunk " +
                 std::to_string((frames + limit - 1) / limit) + " or more");
    return false;
}

// The values of the script's #SBATCH and comment lines, each through script_line_value; false
// after a line naming the first one that no script line can carry.
struct ScriptLineValues {
    std::string job_name, output, partition, scene;
};

bool script_line_values(const Submission &s, ScriptLineValues &v) {
    const std::string name = fs::path(s.base).filename().string();
    const struct {
        const char *what;
        std::string text;
        std::string *value;
    } fields[] = {{"the output name", "vellimor-" + name, &v.job_name},
                  {"the output path", s.base + ".slurm-%A_%a.log", &v.output},
                  {"the partition", s.options.partition, &v.partition},
                  {"the scene name", s.line.scene, &v.scene}};
    for (const auto &field : fields) {
        std::optional<std::string> value = script_line_value(field.text);
        if (!value) {
            report_error(std::string(field.what) +
                         " holds a line break or another control character, which a batch script cannot carry");
            return false;
        }
        *field.value = std::move(*value);
    }
    return true;
}

std::string batch_script(const Submission &s, const ScriptLineValues &v) {
    const RenderOptions &r = s.options.render;
    std::string out = "#!/bin/bash\n";
    out += "#SBATCH --job-name=" + v.job_name + "\n";
    out += "#SBATCH --array=0-" + std::to_string(s.chunks.size() - 1) + "\n";
    out += "#SBATCH --ntasks=1\n#SBATCH --cpus-per-task=1\n";
    out += "#SBATCH --output=" + v.output + "\n";
    if (!s.options.partition.empty()) out += "#SBATCH --partition=" + v.partition + "\n";
    out += "# Frames " + std::to_string(r.start) + ".." + std::to_string(r.end) + " by " + std::to_string(r.step) +
           " of scene " + v.scene + " in chunks of " + std::to_string(s.options.chunk) +
           ", the fur grown at frame " + std::to_string(s.fur_frame) + ".\n";
    out += "# Written by vellimor-host farm-submit: task i renders frames firsts[i]..lasts[i].\n";
    out += "set -eu\n";
    out += "firsts=(" + numbers(s.chunks, &FrameChunk::start) + ")\n";
    out += "lasts=(" + numbers(s.chunks, &FrameChunk::end) + ")\n";
    out += "task=${SLURM_ARRAY_TASK_ID:?submit this script with sbatch}\n";
    out += "first=${firsts[$task]}\nlast=${lasts[$task]}\n";
    out += "echo \"task $task on $(hostname): frames $first..$last\" >&2\n";
    RenderOptions task = r;
    task.output = s.base;
    return out + task_command(s.line, task, r.step, s.fur_frame);
}

// Runs sbatch on the script; the job id from its --parsable answer. False after one line.
bool run_sbatch(const std::string &script, bool wait, std::string &job) {
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
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0 && !job.empty()) return true;
    if (!job.empty() && wait) return true;  // submitted; the tasks' outcome is checked by their frames
    report_error("sbatch could not submit " + script + " (see its message above)");
    return false;
}

// The frames the tasks should have written that are not there.
std::vector<std::string> missing_frames(const Submission &s) {
    const RenderOptions &r = s.options.render;
    std::vector<std::string> missing;
    const char *extension = r.format == PictureFormat::pic ? "pic" : "png";
    for (int frame = r.start; frame <= r.end; frame += r.step) {
        const std::string file = frame_file(s.base, frame, extension);
        std::error_code error;
        if (!fs::exists(file, error)) missing.push_back(file);
    }
    return missing;
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
    const std::string folder = fs::path(s.base).parent_path().string();
    std::error_code error;
    if (!o.dry_run && !fs::is_directory(folder, error)) {
        report_error("cannot write frames into " + folder + ": no such folder");
        return kExitFailure;
    }
    ScriptLineValues values;
    if (!script_line_values(s, values) || !array_fits_cluster(o)) return kExitUsage;
    s.chunks = chunks_of_size(o.render.start, o.render.end, o.render.step, o.chunk);
    s.fur_frame = fur_frame_of(o.render, scene, o.render.start);
    const std::string script = batch_script(s, values);
    if (o.dry_run) {
        std::fputs(script.c_str(), stdout);
        return kExitSuccess;
    }
    const std::string script_file = s.base + ".sbatch";
    std::string reason;
    if (!write_file_atomically(script_file, std::vector<uint8_t>(script.begin(), script.end()), &reason)) {
        report_error(reason);
        return kExitFailure;
    }
    std::string job;
    if (!run_sbatch(script_file, o.wait, job)) return kExitFailure;
    std::fprintf(stderr, "Submitted job array %s: %zu tasks of up to %d frames (%d..%d), frames into %s\n",
                 job.c_str(), s.chunks.size(), o.chunk, o.render.start, o.render.end, folder.c_str());
    std::printf("%s\n", job.c_str());
    if (!o.wait) return kExitSuccess;
    const std::vector<std::string> missing = missing_frames(s);
    if (missing.empty()) {
        std::fprintf(stderr, "Job array %s done: every frame written\n", job.c_str());
        return kExitSuccess;
    }
    report_error("job array " + job + " ended without " + std::to_string(missing.size()) + " frames, the first " +
                 missing.front() + " (see " + s.base + ".slurm-" + job + "_*.log)");
    return kExitFailure;
}

}  // namespace vellimor::host_driver
