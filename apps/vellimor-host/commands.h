// The host driver's subcommands. Each lives in its own file and has one line in the table of
// main.cpp; the common options are parsed once for all of them.
#pragma once

#include <string>
#include <vector>

#include "saa/saa.h"

namespace vellimor::host_driver {

constexpr const char *kProgram = "vellimor-host";

// Exit statuses of every command: done, failed (one line says why), used wrongly.
constexpr int kExitSuccess = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

struct CommandLine {
    std::string command;
    std::string database;  // -d DATABASE
    std::string scene;     // -s SCENE
    std::vector<std::string> args;  // everything else, in order, for the command to read
};

// Prints "vellimor-host: TEXT" as the one error line on stderr.
void report_error(const std::string &text);
// The host library's text for its last failure (such as why a file could not be written).
std::string last_host_error();

// An option's value as a whole number or a finite real; false when the text is anything else.
bool parse_integer(const std::string &text, int &value);
bool parse_real(const std::string &text, float &value);

// Initialises the host, opens -d and loads -s as the current scene. On failure reports one error
// line naming the database or scene file and returns false.
bool open_scene(const CommandLine &line, SAA_Database &database, SAA_Scene &scene);

// "--help" or "-h" among the command's arguments.
bool asks_for_help(const CommandLine &line);

// The whole program: the command line's subcommand run, its exit status returned. The plug-in
// exports it as vellimor_host_main.
int run_host_command(int argc, char **argv);

// Subcommands: each returns the process exit status.
int run_info(const CommandLine &line);
// The batch render of a scene into numbered picture files.
int run_render(const CommandLine &line);
// The hairs of frames as curves: a USD text layer or PLY files of vertices and edges.
int run_export_curves(const CommandLine &line);
// Frames sent to a Slurm cluster as one job array of render chunks.
int run_farm_submit(const CommandLine &line);
// The plug-in's run modes: internal, persistent over a frame range, editing a persistent effect.
int run_internal(const CommandLine &line);
int run_persistent(const CommandLine &line);
int run_edit(const CommandLine &line);
// Fur settings text files: writing the settings of a scene's surfaces, applying them to a scene.
int run_export_fur(const CommandLine &line);
int run_apply_fur(const CommandLine &line);
// Models in: surfaces from OBJ and USD text files; a surface turned over.
int run_import(const CommandLine &line);
int run_flip_surface(const CommandLine &line);

}  // namespace vellimor::host_driver
