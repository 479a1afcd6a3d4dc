// What the fur settings commands share: their arguments and the scene opened with its fur
// records, as the plug-in's start-up reads them.
#pragma once

#include <string>
#include <vector>

#include "apps/vellimor-host/commands.h"

namespace vellimor::host_driver {

struct FurSettingsArgs {
    std::string surface;  // --surface NAME, empty for every surface
    std::string file;     // "-": standard output (export-fur) or input (apply-fur)
    bool strict = false;  // apply-fur --strict: any doubtful setting changes nothing
};

constexpr const char *kStandardStream = "-";

// [--strict] [--surface NAME] FILE (--strict for apply-fur only); reports what is wrong and
// returns false otherwise.
bool parse_fur_settings_args(const CommandLine &line, FurSettingsArgs &args);

// Opens the scene and reads its fur surfaces and their stored fur records.
bool open_fur_scene(const CommandLine &line);
// Reads the fur surfaces and their stored records of the scene open_scene opened.
bool read_fur_records(const CommandLine &line);

// The fur surfaces the command works on: the one named, or all of them. Reports an unknown name.
bool fur_surfaces(const CommandLine &line, const FurSettingsArgs &args, std::vector<int> &patches);

// "K texture keys, H hairs per square unit" of fur surface i.
std::string fur_summary(int i);
// The hairs fur surface i grows before its density keys thin them: its area times its density.
int estimated_hair_count(int i);
// Warns on stderr when fur surface i (not deleted) grows no hairs; true when it warned.
bool warn_if_no_hairs(int i);

constexpr int kFurCommandFailure = kExitFailure;
constexpr int kFurCommandUsage = kExitUsage;

}  // namespace vellimor::host_driver
