// "apply-fur": fur settings from a settings text file (or standard input) into the surfaces of a
// scene, stored with the scene. A file that doesn't read cleanly changes nothing; settings the
// reader passes over (unknown keys, values that are not numbers) are warned of, and with
// --strict they too change nothing.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <utility>

#include "apps/vellimor-host/fur_settings_scene.h"
#include "furdata/fur_data.h"
#include "furdata/fur_text_file.h"
#include "furdata/fur_text_line.h"
#include "host/scene.h"

namespace vellimor::host_driver {
namespace {

// Standard input kept in a temporary file for as long as the command reads it: the reader opens
// its file once per surface.
class StandardInputCopy {
public:
    StandardInputCopy() {
        const char *tmp = std::getenv("TMPDIR");
        path_ = std::string(tmp && *tmp ? tmp : "/tmp") + "/vellimor-fur-XXXXXX";
        const int fd = mkstemp(path_.data());
        if (fd < 0) {
            path_.clear();
            return;
        }
        std::FILE *out = fdopen(fd, "w");
        if (!out) close(fd);
        const bool copied = out && copy_all(stdin, out);
        if (!out || std::fclose(out) != 0 || !copied) {
            std::remove(path_.c_str());
            path_.clear();
        }
    }
    ~StandardInputCopy() {
        if (!path_.empty()) std::remove(path_.c_str());
    }
    StandardInputCopy(const StandardInputCopy &) = delete;
    StandardInputCopy &operator=(const StandardInputCopy &) = delete;

    bool ok() const { return !path_.empty(); }
    const std::string &path() const { return path_; }

private:
    static bool copy_all(std::FILE *in, std::FILE *out) {
        char buffer[65536];
        for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, in)) > 0;) {
            if (std::fwrite(buffer, 1, n, out) != n) return false;
        }
        return !std::ferror(in);
    }

    std::string path_;
};

// Warns of each setting the reader passed over, once, in file order; returns how many there were.
int warn_of_notices(const std::string &shown_name, const std::vector<FurTextNotice> &notices) {
    std::set<std::pair<int, std::string>> seen;
    for (const FurTextNotice &n : notices) {
        if (!seen.insert({n.line, n.key}).second) continue;
        const std::string where = shown_name + ":" + std::to_string(n.line) + ": ";
        if (n.value.empty()) {
            std::fprintf(stderr, "%s: warning: %sunknown key \"%s\" (ignored)\n", kProgram, where.c_str(),
                         n.key.c_str());
        } else {
            std::fprintf(stderr, "%s: warning: %s%s = %s is not a number (read as %g)\n", kProgram, where.c_str(),
                         n.key.c_str(), n.value.c_str(), leading_real(n.value));
        }
    }
    return static_cast<int>(seen.size());
}

}  // namespace

int run_apply_fur(const CommandLine &line) {
    FurSettingsArgs args;
    if (!parse_fur_settings_args(line, args)) return kFurCommandUsage;
    const bool from_stdin = args.file == kStandardStream;
    const std::string shown_name = from_stdin ? "standard input" : args.file;
    std::unique_ptr<StandardInputCopy> input;
    if (from_stdin) {
        input = std::make_unique<StandardInputCopy>();
        if (!input->ok()) {
            report_error("cannot read the fur settings from standard input");
            return kFurCommandFailure;
        }
    }
    const std::string &path = from_stdin ? input->path() : args.file;
    std::vector<int> patches;
    if (!open_fur_scene(line) || !fur_surfaces(line, args, patches)) return kFurCommandFailure;
    // With --surface every object of the file goes to the named surface; else by name.
    const int any_name = args.surface.empty() ? 0 : 1;
    std::vector<int> objects(patches.size(), 0);
    std::vector<FurTextNotice> notices;
    int applied = 0;
    for (size_t k = 0; k < patches.size(); ++k) {
        const int i = patches[k];
        FetchOutcome outcome = fetch_into_record(scene_state().patches[static_cast<size_t>(i)], path, any_name,
                                                 [i] { patch_geometry(i); });
        if (!outcome.ok || outcome.errors > 0) {
            report_error(shown_name + " is not a clean fur settings file; scene " + line.scene +
                         " is left as it was");
            return kFurCommandFailure;
        }
        notices.insert(notices.end(), outcome.notices.begin(), outcome.notices.end());
        objects[k] = outcome.objects;
        if (outcome.objects > 0) ++applied;
    }
    const int doubtful = warn_of_notices(shown_name, notices);
    if (args.strict && doubtful > 0) {
        report_error(shown_name + " has " + std::to_string(doubtful) + " setting" + (doubtful == 1 ? "" : "s") +
                     " that can't be read as written; with --strict scene " + line.scene + " is left as it was");
        return kFurCommandFailure;
    }
    if (applied == 0) {
        report_error(shown_name + " holds no fur settings for " +
                     (args.surface.empty() ? "any surface of scene " + line.scene : args.surface));
        return kFurCommandFailure;
    }
    if (const int rc = write_fur_data(1); rc != 0) {
        report_error("cannot save scene " + line.scene + ": " + last_host_error());
        return kFurCommandFailure;
    }
    for (size_t k = 0; k < patches.size(); ++k) {
        const std::string &name = scene_state().patches[static_cast<size_t>(patches[k])]->name;
        if (objects[k] > 0) {
            std::printf("%s: fur applied from %s (%s)\n", name.c_str(), shown_name.c_str(),
                        fur_summary(patches[k]).c_str());
            warn_if_no_hairs(patches[k]);
        } else {
            std::printf("%s: unchanged, %s holds no settings for it\n", name.c_str(), shown_name.c_str());
        }
    }
    return 0;
}

}  // namespace vellimor::host_driver
