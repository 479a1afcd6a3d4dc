// The ground of the end-to-end tests: a user's working folder, the programs run there with an
// environment of their own (no display, no host variables, status lines into the folder), the
// demo or the furry square to work on, and what the programs wrote read back.
#pragma once

#include "support/test_prelude.h"

#include "support/test_env.h"
#include "support/fur_square_scene.h"
#include "render/pic_file.h"
#include "support/paths.h"
#include "support/run_program.h"

namespace vellimor::test {

using Environment = std::map<std::string, std::optional<std::string>>;

class ProgramTest : public ::testing::Test {
protected:
    Environment environment(const Environment &extra = {}) const {
        Environment env = {{"TEMP", work.path()},          {"SI_LOCATION", std::nullopt},
                           {"FUR_LOCATION", "/fur"},       {"DISPLAY", std::nullopt},
                           {"FUR_USE_IRIS_GL", std::nullopt}, {"VELLIMOR_PLUGIN", std::nullopt},
                           {"FUR_NO_BACKUP", std::nullopt}, {"FUR_SIZE", std::nullopt},
                           {"FUR_MAX_PROC", std::nullopt}, {"FUR_TEXTURE_SEARCH_RANGE", std::nullopt},
                           {"FUR_DONT_MOVE_MOUSE", std::nullopt}, {"SLURM_CONF", std::nullopt}};
        for (const auto &[name, value] : extra) env[name] = value;
        return env;
    }
    ProgramResult run(const std::string &program, const std::vector<std::string> &args,
                      const Environment &extra = {}) const {
        return run_program(program, args, environment(extra), work.path());
    }
    // PROGRAM [COMMAND] -d DATABASE -s SCENE ARGS...: the way every program names its scene.
    ProgramResult on_scene(const std::string &program, const std::string &command, const std::string &database,
                           const std::string &scene, const std::vector<std::string> &args,
                           const Environment &extra = {}) const {
        std::vector<std::string> all;
        if (!command.empty()) all.push_back(command);
        all.insert(all.end(), {"-d", database, "-s", scene});
        all.insert(all.end(), args.begin(), args.end());
        return run(program, all, extra);
    }
    // A copy of the demo database in the working folder.
    std::string demo_copy(const std::string &name = "furball") const {
        const std::string copy = path(name);
        std::filesystem::copy(demo_database(), copy, std::filesystem::copy_options::recursive);
        return copy;
    }
    // The furry square (scene "fur") in the working folder.
    std::string fur_square(const testing::FurSceneOptions &options = {}, const std::string &name = "db") const {
        const std::string database = path(name);
        testing::write_fur_scene(database, options);
        return database;
    }
    std::string path(const std::string &name) const { return work.path() + "/" + name; }
    std::set<std::string> files_in(const std::string &folder) const {
        std::set<std::string> names;
        for (const auto &entry : std::filesystem::directory_iterator(folder)) names.insert(entry.path().filename().string());
        return names;
    }
    std::string messages() const { return read_file(path("fur_message")); }
    std::unique_ptr<PicImage> picture(const std::string &name) const { return pic_read_file(path(name)); }

    TempDir work;
};

inline bool contains(const std::string &text, const std::string &part) { return text.find(part) != std::string::npos; }
inline size_t count(const std::string &text, const std::string &part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

}  // namespace vellimor::test
