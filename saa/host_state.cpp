// The process-wide host state and the database, scene, play-control and contents operations.
#include "saa/host_state.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>

#include "saa/atomic_file.h"
#include "saa/scene_file.h"

namespace vellimor::saa {

namespace {

const char *const kDatabaseSubdirectories[] = {"SCENES", "MODELS", "PICTURES", "RENDER_PICTURES"};
constexpr const char *kSceneExtension = ".dsc";

// A handle names the current scene or database; a zero handle (one the caller never had filled
// in, as after SAA_sceneInitInternal) names it too.
bool names_current(unsigned id, unsigned current) { return id == current || id == 0; }

bool is_directory(const std::string &path) {
    struct stat st{};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Scene names are plain file names inside SCENES; a trailing ".dsc" is accepted and dropped.
bool scene_name_from(const char *given, std::string &name) {
    name = given;
    std::size_t ext = std::strlen(kSceneExtension);
    if (name.size() > ext && name.compare(name.size() - ext, ext, kSceneExtension) == 0)
        name.resize(name.size() - ext);
    // A control character (a line break above all) would break every line that names the scene.
    const bool control = std::any_of(name.begin(), name.end(), [](char c) {
        return static_cast<unsigned char>(c) < 0x20 || c == 0x7f;
    });
    return !name.empty() && !control && name.find('/') == std::string::npos && name != "." && name != "..";
}

std::string scene_path(const std::string &name) {
    return host().database_path + "/SCENES/" + name + kSceneExtension;
}

int database_check(const SAA_Database *database) {
    if (!database) return fail(SAA_ERR_ARGUMENT, "no database handle");
    if (!host().has_database || !names_current(database->id, kCurrentDatabaseId))
        return fail(SAA_ERR_NOT_FOUND, "no database is open");
    return SAA_OK;
}

// Puts a freshly read or cleared scene in place of the current one.
void install_scene(Scene scene) {
    HostState &h = host();
    assign_serials(scene);
    h.scene = std::move(scene);
    h.selection.clear();
    h.eval_time = h.scene.play.current / h.scene.play.frame_rate;
    evaluate_scene(h.scene, h.eval_time);
}

template <class T>
int get_value(const SAA_Scene *scene, T *out, T (*read)(const Scene &)) {
    int status = SAA_OK;
    Scene *s = scene_of(scene, status);
    if (!s) return status;
    if (!out) return fail(SAA_ERR_ARGUMENT, "null result pointer");
    *out = read(*s);
    return SAA_OK;
}

template <class T>
int count_of(const SAA_Scene *scene, int *count, const std::vector<T> &(*items)(const Scene &)) {
    int status = SAA_OK;
    Scene *s = scene_of(scene, status);
    if (!s) return status;
    if (!count) return fail(SAA_ERR_ARGUMENT, "null count pointer");
    *count = static_cast<int>(items(*s).size());
    return SAA_OK;
}

int live_model_count(const Scene &scene) {
    int n = 0;
    for (const Model &m : scene.models) n += m.alive;
    return n;
}

}  // namespace

HostState &host() {
    static HostState state = [] {
        HostState s;
        s.scene = empty_scene();
        return s;
    }();
    return state;
}

int fail(int code, const std::string &reason) {
    try {
        host().last_error = reason;
    } catch (...) {
    }
    return code;
}

std::uint32_t new_serial() {
    std::uint32_t serial = host().next_serial++;
    if (host().next_serial == 0) host().next_serial = 1;  // 0 never names a live element
    return serial;
}

void assign_serials(Scene &scene) {
    for (Model &m : scene.models) m.serial = new_serial();
    for (Light &l : scene.lights) l.serial = new_serial();
    for (Camera &c : scene.cameras) c.serial = new_serial();
}

Scene *scene_of(const SAA_Scene *scene, int &status) {
    if (!scene) {
        status = fail(SAA_ERR_ARGUMENT, "no scene handle");
        return nullptr;
    }
    if (!names_current(scene->id, kCurrentSceneId)) {
        status = fail(SAA_ERR_NO_SCENE, "not the current scene");
        return nullptr;
    }
    return &host().scene;
}

Model *model_of(const SAA_Scene *scene, const SAA_Elem *element, int &status) {
    Scene *s = scene_of(scene, status);
    if (!s) return nullptr;
    if (!element) {
        status = fail(SAA_ERR_ARGUMENT, "no element handle");
        return nullptr;
    }
    if (element->kind != kElemModel || element->id >= s->models.size() ||
        !s->models[element->id].alive || s->models[element->id].serial != element->serial) {
        status = fail(SAA_ERR_INVALID, "not a model of the current scene");
        return nullptr;
    }
    return &s->models[element->id];
}

Light *light_of(const SAA_Scene *scene, const SAA_Elem *element, int &status) {
    Scene *s = scene_of(scene, status);
    if (!s) return nullptr;
    if (!element) {
        status = fail(SAA_ERR_ARGUMENT, "no element handle");
        return nullptr;
    }
    if (element->kind != kElemLight || element->id >= s->lights.size() ||
        s->lights[element->id].serial != element->serial) {
        status = fail(SAA_ERR_INVALID, "not a light of the current scene");
        return nullptr;
    }
    return &s->lights[element->id];
}

Camera *camera_of(const SAA_Scene *scene, const SAA_Elem *element, int &status) {
    Scene *s = scene_of(scene, status);
    if (!s) return nullptr;
    if (!element) {
        status = fail(SAA_ERR_ARGUMENT, "no element handle");
        return nullptr;
    }
    if (element->kind != kElemCamera || element->id >= s->cameras.size() ||
        s->cameras[element->id].serial != element->serial) {
        status = fail(SAA_ERR_INVALID, "not a camera of the current scene");
        return nullptr;
    }
    return &s->cameras[element->id];
}

SAA_Elem model_handle(const Scene &scene, std::size_t index) {
    return SAA_Elem{kElemModel, static_cast<unsigned>(index), 0, scene.models[index].serial};
}
SAA_Elem light_handle(const Scene &scene, std::size_t index) {
    return SAA_Elem{kElemLight, static_cast<unsigned>(index), 0, scene.lights[index].serial};
}
SAA_Elem camera_handle(const Scene &scene, std::size_t index) {
    return SAA_Elem{kElemCamera, static_cast<unsigned>(index), 0, scene.cameras[index].serial};
}

int copy_text(const std::string &text, int max_length, char *out) {
    if (!out || max_length < 1) return fail(SAA_ERR_ARGUMENT, "no room for the text");
    if (text.size() + 1 > static_cast<std::size_t>(max_length)) {
        std::memcpy(out, text.data(), static_cast<std::size_t>(max_length - 1));
        out[max_length - 1] = '\0';
        return fail(SAA_ERR_ARGUMENT, "text longer than the buffer");
    }
    std::memcpy(out, text.c_str(), text.size() + 1);
    return SAA_OK;
}

}  // namespace vellimor::saa

using namespace vellimor::saa;

// ---- start-up ----

extern "C" int SAA_InitInternal(const char *, int, const char *) {
    host();
    return SAA_OK;
}

extern "C" int SAA_sceneInitInternal(const char *) {
    host();
    return SAA_OK;
}

// ---- database and scene ----

extern "C" int SAA_databaseLoad(const char *path, SAA_Database *database) {
    if (!path || !database || !*path) return fail(SAA_ERR_ARGUMENT, "no database path");
    return guarded([&]() -> int {
        // Kept absolute: the designer changes the working directory while a file dialog is up.
        std::error_code ignored;
        std::string dir = std::filesystem::absolute(path, ignored).lexically_normal().string();
        if (dir.empty()) dir = path;
        while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
        if (!is_directory(dir)) return fail(SAA_ERR_NOT_FOUND, "database " + dir + ": no such directory");
        if (!is_directory(dir + "/SCENES"))
            return fail(SAA_ERR_NOT_FOUND, "database " + dir + ": no SCENES directory");
        host().database_path = dir;
        host().has_database = true;
        database->id = kCurrentDatabaseId;
        return SAA_OK;
    });
}

extern "C" int SAA_databaseGetCurrent(SAA_Database *database, int) {
    if (!database) return fail(SAA_ERR_ARGUMENT, "no database handle");
    if (!host().has_database) return fail(SAA_ERR_NOT_FOUND, "no database is open");
    database->id = kCurrentDatabaseId;
    return SAA_OK;
}

extern "C" int SAA_databaseGetPathLength(const SAA_Database *database, int *length) {
    if (int status = database_check(database)) return status;
    if (!length) return fail(SAA_ERR_ARGUMENT, "null length pointer");
    *length = static_cast<int>(host().database_path.size());
    return SAA_OK;
}

extern "C" int SAA_databaseGetPath(const SAA_Database *database, int max_length, char *path) {
    if (int status = database_check(database)) return status;
    return copy_text(host().database_path, max_length, path);
}

extern "C" int SAA_sceneLoad(const SAA_Database *database, const char *name, SAA_Scene *scene) {
    if (int status = database_check(database)) return status;
    if (!name || !scene) return fail(SAA_ERR_ARGUMENT, "no scene name");
    return guarded([&]() -> int {
        std::string plain;
        if (!scene_name_from(name, plain)) return fail(SAA_ERR_ARGUMENT, std::string("\"") + name + "\": not a plain scene name");
        std::string path = scene_path(plain);
        // What saves killed midway left beside the scene goes when the scene is next opened.
        remove_stale_temporaries(path);
        try {
            Scene loaded = read_scene_file(path);
            loaded.name = plain;
            install_scene(std::move(loaded));
        } catch (const SceneFileError &e) {
            return fail(e.code, path + ": " + e.what());
        }
        scene->id = kCurrentSceneId;
        return SAA_OK;
    });
}

extern "C" int SAA_sceneGetCurrent(SAA_Scene *scene) {
    if (!scene) return fail(SAA_ERR_ARGUMENT, "no scene handle");
    host();
    scene->id = kCurrentSceneId;
    return SAA_OK;
}

extern "C" int SAA_sceneSave(const SAA_Database *database, const SAA_Scene *scene) {
    if (int status = database_check(database)) return status;
    int status = SAA_OK;
    Scene *s = scene_of(scene, status);
    if (!s) return status;
    if (s->name.empty()) return fail(SAA_ERR_ARGUMENT, "the scene has no name to save under");
    return guarded([&]() -> int {
        std::string path = scene_path(s->name);
        try {
            write_file_atomically(path, scene_to_text(*s));
        } catch (const WriteError &e) {
            return fail(SAA_ERR_IO, e.what());
        }
        return SAA_OK;
    });
}

extern "C" int SAA_sceneClear(const SAA_Scene *scene) {
    int status = SAA_OK;
    if (!scene_of(scene, status)) return status;
    return guarded([&]() -> int {
        install_scene(empty_scene());
        return SAA_OK;
    });
}

extern "C" int SAA_sceneGetNameLength(const SAA_Scene *scene, int *length) {
    return get_value<int>(scene, length, [](const Scene &s) { return static_cast<int>(s.name.size()); });
}

extern "C" int SAA_sceneGetName(const SAA_Scene *scene, int max_length, char *name) {
    int status = SAA_OK;
    Scene *s = scene_of(scene, status);
    return s ? copy_text(s->name, max_length, name) : status;
}

extern "C" int SAA_sceneGetPrefixLength(const SAA_Scene *scene, int *length) {
    return get_value<int>(scene, length, [](const Scene &s) { return static_cast<int>(s.prefix.size()); });
}

extern "C" int SAA_sceneGetPrefix(const SAA_Scene *scene, int max_length, char *prefix) {
    int status = SAA_OK;
    Scene *s = scene_of(scene, status);
    return s ? copy_text(s->prefix, max_length, prefix) : status;
}

extern "C" int SAA_sceneSetPrefix(const SAA_Scene *scene, const char *prefix) {
    int status = SAA_OK;
    Scene *s = scene_of(scene, status);
    if (!s) return status;
    if (!prefix) return fail(SAA_ERR_ARGUMENT, "null prefix");
    return guarded([&]() -> int {
        s->prefix = prefix;
        return SAA_OK;
    });
}

// ---- play control, render control, time ----

extern "C" int SAA_sceneGetPlayCtrlStartFrame(const SAA_Scene *scene, int *frame) {
    return get_value<int>(scene, frame, [](const Scene &s) { return s.play.start; });
}
extern "C" int SAA_sceneGetPlayCtrlEndFrame(const SAA_Scene *scene, int *frame) {
    return get_value<int>(scene, frame, [](const Scene &s) { return s.play.end; });
}
extern "C" int SAA_sceneGetPlayCtrlFrameStep(const SAA_Scene *scene, int *step) {
    return get_value<int>(scene, step, [](const Scene &s) { return s.play.step; });
}
extern "C" int SAA_sceneGetPlayCtrlFrameRate(const SAA_Scene *scene, float *frames_per_second) {
    return get_value<float>(scene, frames_per_second,
                            [](const Scene &s) { return static_cast<float>(s.play.frame_rate); });
}
extern "C" int SAA_sceneGetPlayCtrlCurrentFrame(const SAA_Scene *scene, int *frame) {
    return get_value<int>(scene, frame, [](const Scene &s) { return s.play.current; });
}
extern "C" int SAA_sceneSetPlayCtrlCurrentFrame(const SAA_Scene *scene, int frame) {
    int status = SAA_OK;
    Scene *s = scene_of(scene, status);
    if (!s) return status;
    s->play.current = frame;
    return SAA_OK;
}
extern "C" int SAA_sceneGetRenCtrlXRes(const SAA_Scene *scene, int *xres) {
    return get_value<int>(scene, xres, [](const Scene &s) { return s.x_resolution; });
}
extern "C" int SAA_sceneGetRenCtrlYRes(const SAA_Scene *scene, int *yres) {
    return get_value<int>(scene, yres, [](const Scene &s) { return s.y_resolution; });
}

extern "C" int SAA_frame2Seconds(const SAA_Scene *scene, int frame, double *seconds) {
    int status = SAA_OK;
    Scene *s = scene_of(scene, status);
    if (!s) return status;
    if (!seconds) return fail(SAA_ERR_ARGUMENT, "null result pointer");
    *seconds = frame / s->play.frame_rate;
    return SAA_OK;
}

extern "C" int SAA_updatelistGet(const SAA_Scene *scene) {
    int status = SAA_OK;
    return scene_of(scene, status) ? SAA_OK : status;
}

extern "C" int SAA_updatelistEvalScene(const SAA_Scene *scene, double seconds) {
    int status = SAA_OK;
    Scene *s = scene_of(scene, status);
    if (!s) return status;
    if (!std::isfinite(seconds)) return fail(SAA_ERR_ARGUMENT, "time is not finite");
    host().eval_time = seconds;
    evaluate_scene(*s, seconds);
    return SAA_OK;
}

extern "C" int SAA_hostGetEvalTime(const SAA_Scene *scene, double *seconds) {
    int status = SAA_OK;
    if (!scene_of(scene, status)) return status;
    if (!seconds) return fail(SAA_ERR_ARGUMENT, "null result pointer");
    *seconds = host().eval_time;
    return SAA_OK;
}

// ---- contents ----

extern "C" int SAA_sceneGetNbModels(const SAA_Scene *scene, int *count) {
    return get_value<int>(scene, count, [](const Scene &s) { return live_model_count(s); });
}

extern "C" int SAA_sceneGetModels(const SAA_Scene *scene, int count, SAA_Elem *models) {
    int status = SAA_OK;
    Scene *s = scene_of(scene, status);
    if (!s) return status;
    if (count < 0 || count > live_model_count(*s) || (count > 0 && !models))
        return fail(SAA_ERR_ARGUMENT, "model count out of range");
    int filled = 0;
    for (std::size_t i = 0; i < s->models.size() && filled < count; ++i)
        if (s->models[i].alive) models[filled++] = model_handle(*s, i);
    return SAA_OK;
}

extern "C" int SAA_sceneGetNbLights(const SAA_Scene *scene, int *count) {
    return get_value<int>(scene, count, [](const Scene &s) { return static_cast<int>(s.lights.size()); });
}

extern "C" int SAA_sceneGetLights(const SAA_Scene *scene, int count, SAA_Elem *lights) {
    int status = SAA_OK;
    Scene *s = scene_of(scene, status);
    if (!s) return status;
    if (count < 0 || static_cast<std::size_t>(count) > s->lights.size() || (count > 0 && !lights))
        return fail(SAA_ERR_ARGUMENT, "light count out of range");
    for (int i = 0; i < count; ++i) lights[i] = light_handle(*s, static_cast<std::size_t>(i));
    return SAA_OK;
}

extern "C" int SAA_sceneGetNbCameras(const SAA_Scene *scene, int *count) {
    return get_value<int>(scene, count, [](const Scene &s) { return static_cast<int>(s.cameras.size()); });
}

extern "C" int SAA_sceneGetCameras(const SAA_Scene *scene, int count, SAA_Elem *cameras) {
    int status = SAA_OK;
    Scene *s = scene_of(scene, status);
    if (!s) return status;
    if (count < 0 || static_cast<std::size_t>(count) > s->cameras.size() || (count > 0 && !cameras))
        return fail(SAA_ERR_ARGUMENT, "camera count out of range");
    for (int i = 0; i < count; ++i) cameras[i] = camera_handle(*s, static_cast<std::size_t>(i));
    return SAA_OK;
}

extern "C" int SAA_hostGetLastError(int max_length, char *text) {
    if (!text || max_length < 1) return SAA_ERR_ARGUMENT;
    // Truncates quietly: reporting the truncation would overwrite the very text asked for.
    const std::string &reason = host().last_error;
    std::size_t n = std::min(reason.size(), static_cast<std::size_t>(max_length - 1));
    std::memcpy(text, reason.data(), n);
    text[n] = '\0';
    return SAA_OK;
}
