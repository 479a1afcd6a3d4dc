// The stand-alone command line: options, their messages and the usage text.
#pragma once

#include <string>

namespace vellimor {

constexpr int kUsageError = 95;

struct CommandLine {
    bool has_resource_path = false;
    std::string resource_path;
    std::string database;
    std::string scene;
    bool batch = false;
    bool has_frames = false;
    int start = 0, end = 0, step = 0;
    bool has_size = false;
    int xres = 0, yres = 0;
    bool has_aspect = false;
    float aspect = 0.0f;
    bool has_antialias = false;
    int antialias = 0;
    bool alpha = false;
    bool persistent_all = false;
    bool has_output = false;
    std::string output;
    bool pixmap_only = false;
};

enum class ParseResult {
    Ok,
    Usage,       // print the usage text and end with kUsageError
    PluginExit,  // -P: the process ends with status -1
};

// Parses argv[1..] while the arguments begin with "-", printing each option's message to stderr.
// -W sets the configured window size directly. An option whose arguments are missing is a usage
// error.
ParseResult parse_command_line(int argc, const char *const *argv, CommandLine &line);

// The usage text, on stdout.
void print_usage();

}  // namespace vellimor
