#include "host/globals.h"

#include <cstdio>

namespace vellimor {
namespace {

constexpr int kBuildNumber = 2000;
constexpr const char *kProgramTitle = "Vellimor 1.3 WinNT release";
constexpr const char *kBuildDate = "Jan 28 17:52:04 WET 1999";

}  // namespace

RunState &run_state() {
    static RunState state;
    return state;
}

Config &config() {
    static Config values;
    return values;
}

void reset_globals() {
    run_state() = RunState{};
    config() = Config{};
}

void version_banner() {
    RunState &run = run_state();
    run.program_title = kProgramTitle;
    run.build_date = kBuildDate;
    run.build_number = kBuildNumber;
    std::fprintf(stderr, "Fur build: %d, date: %s\n", run.build_number, run.build_date.c_str());
}

}  // namespace vellimor
