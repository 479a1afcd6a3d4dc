// "info": what a scene holds, one line per camera, light and model, and one per fur surface.
#include <cstdio>
#include <string>
#include <vector>

#include "apps/vellimor-host/commands.h"
#include "apps/vellimor-host/fur_settings_scene.h"
#include "furdata/display_settings.h"
#include "host/scene.h"
#include "render/frame_render.h"
#include "saa/fur_side.h"

namespace vellimor::host_driver {

namespace {

constexpr int kNameLength = 1024;

std::string element_name(const SAA_Scene &scene, const SAA_Elem &element) {
    int length = 0;
    if (SAA_elementGetNameLength(&scene, &element, &length) != SAA_OK) return "?";
    std::vector<char> name(static_cast<std::size_t>(length) + 1);
    if (SAA_elementGetName(&scene, &element, length + 1, name.data()) != SAA_OK) return "?";
    return name.data();
}

std::vector<SAA_Elem> elements(const SAA_Scene &scene, int (*count_of)(const SAA_Scene *, int *),
                               int (*list)(const SAA_Scene *, int, SAA_Elem *)) {
    int count = 0;
    if (count_of(&scene, &count) != SAA_OK || count <= 0) return {};
    std::vector<SAA_Elem> out(static_cast<std::size_t>(count));
    if (list(&scene, count, out.data()) != SAA_OK) return {};
    return out;
}

void print_play_control(const SAA_Scene &scene) {
    int start = 0, end = 0, step = 0, current = 0, xres = 0, yres = 0;
    float rate = 0;
    SAA_sceneGetPlayCtrlStartFrame(&scene, &start);
    SAA_sceneGetPlayCtrlEndFrame(&scene, &end);
    SAA_sceneGetPlayCtrlFrameStep(&scene, &step);
    SAA_sceneGetPlayCtrlFrameRate(&scene, &rate);
    SAA_sceneGetPlayCtrlCurrentFrame(&scene, &current);
    SAA_sceneGetRenCtrlXRes(&scene, &xres);
    SAA_sceneGetRenCtrlYRes(&scene, &yres);
    std::printf("play range %d..%d step %d at %g fps, current frame %d\n", start, end, step, rate, current);
    std::printf("render %dx%d\n", xres, yres);
}

void print_camera(const SAA_Scene &scene, const SAA_Elem &camera) {
    float p[3] = {}, i[3] = {}, fov = 0, near_plane = 0, far_plane = 0, aspect = 0;
    SAA_cameraGetPosition(&scene, &camera, p);
    SAA_cameraGetInterest(&scene, &camera, i);
    SAA_cameraGetFieldOfView(&scene, &camera, &fov);
    SAA_cameraGetNear(&scene, &camera, &near_plane);
    SAA_cameraGetFar(&scene, &camera, &far_plane);
    SAA_cameraGetAspectRatio(&scene, &camera, &aspect);
    std::printf("camera %s position (%g %g %g) interest (%g %g %g) fov %g near %g far %g aspect %g\n",
                element_name(scene, camera).c_str(), p[0], p[1], p[2], i[0], i[1], i[2], fov, near_plane,
                far_plane, aspect);
}

void print_light(const SAA_Scene &scene, const SAA_Elem &light) {
    float p[3] = {}, c[3] = {}, shadow = 0, start = 0, end = 0;
    int type = 0;
    SAA_lightGetPosition(&scene, &light, p);
    SAA_lightGetColor(&scene, &light, c);
    SAA_lightGetShadow(&scene, &light, &shadow);
    SAA_lightGetShadowType(&scene, &light, &type);
    SAA_lightGetStart(&scene, &light, &start);
    SAA_lightGetEnd(&scene, &light, &end);
    std::printf("light %s position (%g %g %g) color (%g %g %g) shadow %g shadow type %d start %g end %g\n",
                element_name(scene, light).c_str(), p[0], p[1], p[2], c[0], c[1], c[2], shadow, type, start, end);
}

std::string user_data_list(const SAA_Scene &scene, const SAA_Elem &model) {
    int count = 0;
    SAA_modelGetNbUserData(&scene, &model, &count);
    if (count == 0) return "none";
    std::string out;
    for (int i = 0; i < count; ++i) {
        char name[kNameLength];
        int size = 0;
        if (SAA_modelGetUserDataInfo(&scene, &model, i, kNameLength, name, &size) != SAA_OK) continue;
        out += (out.empty() ? "" : ", ") + std::string(name) + " (" + std::to_string(size) + " bytes)";
    }
    return out;
}

void print_model(const SAA_Scene &scene, const SAA_Elem &model) {
    int type = -1, animated = 0;
    SAA_modelGetType(&scene, &model, &type);
    SAA_modelIsAnimated(&scene, &model, &animated);
    std::printf("model %s type %d %s user data: %s\n", element_name(scene, model).c_str(), type,
                animated ? "animated" : "static", user_data_list(scene, model).c_str());
}

// For every closed surface, the side its fur grows on, so that an inward coat shows before any
// render.
void print_fur_sides(const SAA_Scene &scene, const std::vector<SAA_Elem> &models) {
    for (const SAA_Elem &m : models) {
        int closed = 0, outward = 0;
        if (SAA_surfaceGetFurSide(&scene, &m, &closed, &outward) != SAA_OK || !closed) continue;
        std::printf("side %s: closed surface, fur grows %s\n", element_name(scene, m).c_str(),
                    outward ? "outward" : "inward (flip-surface turns it over)");
    }
}

// One line per fur surface; a surface that grows no hairs is also warned of on stderr.
void print_fur(const SceneState &s) {
    for (int i = 0; i < s.patch_count(); ++i) {
        const PatchData &record = *s.patches[static_cast<size_t>(i)];
        std::printf("fur %s: %d hairs per square unit, %zu texture keys, about %d hairs%s\n", record.name.c_str(),
                    record.number_of_hairs_pr_square_unit, record.texture_keys.size(), estimated_hair_count(i),
                    record.deleted ? " (deleted: not drawn)" : "");
        warn_if_no_hairs(i);
    }
}

// What a plain `render` of this scene gives, so that nobody is surprised by it: the size, the
// frames, the antialiasing level stored with the fur, and the alpha plane (never stored).
void print_render_defaults(const SAA_Scene &scene) {
    int start = 0, end = 0, step = 1, xres = 0, yres = 0;
    SAA_sceneGetPlayCtrlStartFrame(&scene, &start);
    SAA_sceneGetPlayCtrlEndFrame(&scene, &end);
    SAA_sceneGetPlayCtrlFrameStep(&scene, &step);
    SAA_sceneGetRenCtrlXRes(&scene, &xres);
    SAA_sceneGetRenCtrlYRes(&scene, &yres);
    const DisplaySettings *settings = display_settings();
    const int level = settings ? settings->antialias_level : 0;
    const int passes = antialias_passes(level);
    std::printf("render defaults: size %dx%d, frames %d-%d%s, antialiasing level %d (%s), alpha off\n", xres, yres,
                start, end, step > 1 ? ("x" + std::to_string(step)).c_str() : "", level,
                passes > 0 ? (std::to_string(passes) + " passes").c_str() : "off");
}

}  // namespace

int run_info(const CommandLine &line) {
    if (!line.args.empty()) {
        report_error("info takes no argument \"" + line.args.front() + "\"");
        return kExitUsage;
    }
    SAA_Database database;
    SAA_Scene scene;
    if (!open_scene(line, database, scene)) return kExitFailure;
    std::printf("scene %s\n", line.scene.c_str());
    print_play_control(scene);
    for (const SAA_Elem &c : elements(scene, SAA_sceneGetNbCameras, SAA_sceneGetCameras)) print_camera(scene, c);
    for (const SAA_Elem &l : elements(scene, SAA_sceneGetNbLights, SAA_sceneGetLights)) print_light(scene, l);
    for (const SAA_Elem &m : elements(scene, SAA_sceneGetNbModels, SAA_sceneGetModels)) print_model(scene, m);
    print_fur_sides(scene, elements(scene, SAA_sceneGetNbModels, SAA_sceneGetModels));
    std::fflush(stdout);
    if (!read_fur_records(line)) return kExitFailure;
    print_render_defaults(scene);
    print_fur(scene_state());
    return kExitSuccess;
}

}  // namespace vellimor::host_driver
