// A throw-away scene database for tests: a temporary directory with the four sub-directories,
// scene files written from text, and lookups of the loaded scene's elements by name.
#pragma once

#include "support/test_prelude.h"

#include "saa/saa.h"
#include "support/paths.h"
#include "support/test_env.h"

namespace vellimor::test {

class TempDatabase {
public:
    TempDatabase() {
        for (const char *sub : {"SCENES", "MODELS", "PICTURES", "RENDER_PICTURES"})
            std::filesystem::create_directory(path_ / sub);
    }

    const std::filesystem::path &path() const { return path_; }
    std::filesystem::path scene_file(const std::string &name) const { return path_ / "SCENES" / (name + ".dsc"); }

    void write_scene(const std::string &name, const std::string &text) const {
        std::ofstream(scene_file(name), std::ios::binary) << text;
    }
    std::string read_scene(const std::string &name) const { return read_file(scene_file(name)); }

    // Opens this database and loads the scene; returns the host status.
    int load(const std::string &name) {
        int status = SAA_databaseLoad(path_.c_str(), &database);
        if (status != SAA_OK) return status;
        return SAA_sceneLoad(&database, name.c_str(), &scene);
    }
    // Writes the text as a scene and loads it.
    int load_text(const std::string &text, const std::string &name = "test") {
        write_scene(name, text);
        return load(name);
    }

    SAA_Database database{};
    SAA_Scene scene{};

private:
    TempDir dir_;  // removed with the database
    std::filesystem::path path_ = dir_.path();
};

inline std::string element_name(const SAA_Scene &scene, const SAA_Elem &e) {
    char name[256] = {};
    SAA_elementGetName(&scene, &e, sizeof name, name);
    return name;
}

inline std::vector<SAA_Elem> all_models(const SAA_Scene &scene) {
    int n = 0;
    SAA_sceneGetNbModels(&scene, &n);
    std::vector<SAA_Elem> models(static_cast<std::size_t>(n));
    if (n > 0) SAA_sceneGetModels(&scene, n, models.data());
    return models;
}

inline std::vector<SAA_Elem> models_of_type(const SAA_Scene &scene, int wanted) {
    std::vector<SAA_Elem> found;
    for (const SAA_Elem &m : all_models(scene)) {
        int type = -1;
        SAA_modelGetType(&scene, &m, &type);
        if (type == wanted) found.push_back(m);
    }
    return found;
}

inline int polygon_count(const SAA_Scene &scene, const SAA_Elem &mesh) {
    int n = -1;
    SAA_meshGetNbPolygons(&scene, &mesh, &n);
    return n;
}

inline SAA_Elem model_named(const SAA_Scene &scene, const std::string &name) {
    for (const SAA_Elem &m : all_models(scene))
        if (element_name(scene, m) == name) return m;
    ADD_FAILURE() << "no model " << name;
    return SAA_Elem{};
}

inline std::string last_error() {
    char text[1024];
    SAA_hostGetLastError(sizeof text, text);
    return text;
}

// A scene text with the given models (a JSON array body).
inline std::string scene_with_models(const std::string &models, const std::string &play =
                                         R"({"start": 1, "end": 30, "step": 1, "frame_rate": 24, "current": 1})") {
    return R"({"version": 1, "play_control": )" + play + R"(, "models": [)" + models + "]}";
}

}  // namespace vellimor::test
