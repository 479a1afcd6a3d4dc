#include "render/light_table.h"

#include "host/scene.h"
#include "saa/saa.h"

namespace vellimor {
namespace {

// Host shadow type 1 means the light casts no fur shadow.
constexpr int kHostShadowTypeNone = 1;

void read_light(const SceneState &s, const SAA_Elem &light, int frame, LightInfo &info) {
    info = LightInfo{};
    info.frame = frame;
    SAA_lightGetPosition(&s.scene, &light, info.position);
    SAA_lightGetColor(&s.scene, &light, info.color);
    float intensity = 0.0f;
    SAA_lightGetShadow(&s.scene, &light, &intensity);
    for (int c = 0; c < 3; ++c) info.shadow_color[c] = intensity * info.color[c];
    int type = 0;
    SAA_lightGetShadowType(&s.scene, &light, &type);
    info.shadow = type == kHostShadowTypeNone ? 0 : 1;
    SAA_lightGetStart(&s.scene, &light, &info.start);
    SAA_lightGetEnd(&s.scene, &light, &info.end);
}

LightInfo camera_light(const SceneState &s) {
    LightInfo info;
    info.frame = s.current_frame;
    SAA_cameraGetPosition(&s.scene, &s.camera, info.position);
    for (int c = 0; c < 3; ++c) {
        info.color[c] = kDefaultLightColor;
        info.shadow_color[c] = kDefaultLightShadowColor;
    }
    info.shadow = 1;
    info.start = kDefaultLightRange;
    info.end = kDefaultLightRange;
    return info;
}

bool table_is_current(const SceneState &s, int count) {
    if (int(s.light_cache.size()) != count) return false;
    for (const LightInfo &light : s.light_cache)
        if (light.frame != s.current_frame) return false;
    return true;
}

}  // namespace

void update_light_table() {
    SceneState &s = scene_state();
    int count = 0;
    SAA_sceneGetNbLights(&s.scene, &count);
    // The handles were read with the scene; a count the handles can't back is taken as it is.
    if (count > int(s.lights.size())) count = int(s.lights.size());
    if (count <= 0) {
        // The camera may have moved since the last drawing: the stand-in light follows it.
        s.light_cache.assign(1, camera_light(s));
        return;
    }
    if (table_is_current(s, count)) return;
    s.light_cache.assign(size_t(count), LightInfo{});
    for (int i = 0; i < count; ++i) read_light(s, s.lights[size_t(i)], s.current_frame, s.light_cache[size_t(i)]);
}

}  // namespace vellimor
