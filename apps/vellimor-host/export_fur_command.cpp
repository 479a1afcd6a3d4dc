// "export-fur": the fur settings of one or every surface as a settings text file.
#include <cstdio>
#include <cstdint>
#include <string>
#include <vector>

#include "apps/vellimor-host/fur_settings_scene.h"
#include "furdata/fur_text_file.h"
#include "host/scene.h"
#include "render/atomic_file.h"

namespace vellimor::host_driver {
namespace {

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
    // A file appears whole or not at all, and a killed export leaves nothing beside it.
    const bool written = to_stdout ? write_standard_output(text)
                                   : write_file_atomically(args.file, std::vector<uint8_t>(text.begin(), text.end()));
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
