// Process-wide run state and configuration: the run mode chosen by the first entry point, the
// batch flag, the version strings, and every value the environment and command line configure.
#pragma once

#include <string>

namespace vellimor {

enum RunMode {
    kRunModeUnset = -1,
    kRunModeStandAlone = 0,
    kRunModeInternal = 1,
    kRunModePersistent = 2
};

struct RunState {
    int run_mode = kRunModeUnset;
    int batch = 0;  // the stand-alone command line asked for a batch render
    std::string resource_path;
    int render_xres = 0;
    int render_yres = 0;
    int build_number = 0;
    std::string program_title;
    std::string build_date;
};

struct Config {
    std::string host_location;  // SI_LOCATION
    std::string fur_location;   // FUR_LOCATION, else the host location
    std::string message_file_path;
    int backup = 0;  // becomes 1 when the fur switches are applied
    float backup_interval = 60.0f;  // seconds
    int single_buffer = 0;
    int save_plugin = 0;
    int window_x = 0;  // 0: full screen
    int window_y = 0;
    int processors = 1;
    int multiprocessor = 0;
    bool processors_given = false;  // FUR_MAX_PROC was set: work uses at most `processors` cores
    int texture_search_range = 500;  // frames
};

RunState &run_state();
Config &config();

// Resets run state and configuration to their start values (tests; a fresh library load).
void reset_globals();

// Sets the program title, build date and build number and prints
// "Fur build: %d, date: %s\n" to stderr.
void version_banner();

}  // namespace vellimor
