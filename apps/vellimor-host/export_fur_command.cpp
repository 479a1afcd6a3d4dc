// "export-fur": the fur settings of one or every surface as a settings text file.
#include <cstdio>
#include <string>

#include "apps/vellimor-host/fur_settings_scene.h"
#include "furdata/fur_text_file.h"
#include "host/scene.h"

namespace vellimor::host_driver {
namespace {

// Writes the whole text beside the file, then renames it over the file: the file is complete or
// as it was.
bool write_whole_file(const std::string &path, const std::string &text) {
    const std::string temporary = path + ".tmp";
    std::FILE *file = std::fopen(temporary.c_str(), "w");
    if (!file) return false;
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    if (std::fclose(file) != 0 || !written || std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

bool write_standard_output(const std::string &text) {
    return std::fwrite(text.data(), 1, text.size(), stdout) == text.size() && std::fflush(stdout) == 0;
}

}  // namespace

int run_export_fur(const CommandLine &line) {
    FurSettingsArgs args;
    if (!parse_fur_settings_args(line, args)) return kFurCommandUsage;
    std::vector<int> patches;
    if (!open_fur_scene(line) || !fur_surfaces(line, args, patches)) return kFurCommandFailure;
    std::string text;
    for (int i : patches) text += object_text(*scene_state().patches[static_cast<size_t>(i)]);
    // On standard output the settings are the whole output; what was exported goes to stderr.
    const bool to_stdout = args.file == kStandardStream;
    const bool written = to_stdout ? write_standard_output(text) : write_whole_file(args.file, text);
    if (!written) {
        report_error("cannot write " + (to_stdout ? std::string("standard output") : args.file));
        return kFurCommandFailure;
    }
    for (int i : patches) {
        std::fprintf(to_stdout ? stderr : stdout, "%s: exported to %s (%s)\n",
                     scene_state().patches[static_cast<size_t>(i)]->name.c_str(),
                     to_stdout ? "standard output" : args.file.c_str(), fur_summary(i).c_str());
    }
    return 0;
}

}  // namespace vellimor::host_driver
