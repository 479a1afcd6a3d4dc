// What the fur settings commands share: their arguments and the scene opened with its fur
// records, as the plug-in's start-up reads them.
#pragma once

#include <string>
#include <vector>

#include "apps/vellimor-host/commands.h"

namespace vellimor::host_driver {

struct FurSettingsArgs {
    std::string surface;  // --surface NAME, empty for every surface
    std::string file;
};

// [--surface NAME] FILE; reports what is wrong and returns false otherwise.
bool parse_fur_settings_args(const CommandLine &line, FurSettingsArgs &args);

// Opens the scene and reads its fur surfaces and their stored fur records.
bool open_fur_scene(const CommandLine &line);

// The fur surfaces the command works on: the one named, or all of them. Reports an unknown name.
bool fur_surfaces(const CommandLine &line, const FurSettingsArgs &args, std::vector<int> &patches);

// "K texture keys, H hairs per square unit" of fur surface i.
std::string fur_summary(int i);

constexpr int kFurCommandFailure = 1;
constexpr int kFurCommandUsage = 2;

}  // namespace vellimor::host_driver
