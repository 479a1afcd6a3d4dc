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

}  // namespace

int run_export_fur(const CommandLine &line) {
    FurSettingsArgs args;
    if (!parse_fur_settings_args(line, args)) return kFurCommandUsage;
    std::vector<int> patches;
    if (!open_fur_scene(line) || !fur_surfaces(line, args, patches)) return kFurCommandFailure;
    std::string text;
    for (int i : patches) text += object_text(*scene_state().patches[static_cast<size_t>(i)]);
    if (!write_whole_file(args.file, text)) {
        report_error("cannot write " + args.file);
        return kFurCommandFailure;
    }
    for (int i : patches) {
        std::printf("%s: exported to %s (%s)\n", scene_state().patches[static_cast<size_t>(i)]->name.c_str(),
                    args.file.c_str(), fur_summary(i).c_str());
    }
    return 0;
}

}  // namespace vellimor::host_driver
