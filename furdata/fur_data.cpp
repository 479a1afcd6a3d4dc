#include "furdata/fur_data.h"

#include <string>
#include <vector>

#include "furdata/display_settings.h"
#include "furdata/patch_data.h"
#include "hair/channel_maps.h"
#include "host/configuration.h"
#include "host/scene.h"

namespace vellimor {
namespace {

constexpr size_t kMaxNameLength = 89;  // the stored name holds 90 bytes with its terminator

std::string model_name(const SAA_Scene &scene, const SAA_Elem &model) {
    int length = 0;
    if (SAA_elementGetNameLength(&scene, &model, &length) != 0 || length < 0) return {};
    std::vector<char> buffer(static_cast<size_t>(length) + 1, '\0');
    if (SAA_elementGetName(&scene, &model, length + 1, buffer.data()) != 0) return {};
    std::string name(buffer.data());
    if (name.size() > kMaxNameLength) name.resize(kMaxNameLength);
    return name;
}

}  // namespace

void read_fur_data(int with_user_data) {
    (void)with_user_data;  // stored blocks are not read yet: every record keeps its defaults
    display_settings_create();
    SceneState &s = scene_state();
    if (s.patch_count() == 0) return;
    read_fur_switches();
    s.patches.clear();
    s.patches.resize(s.models.size());
    for (int i = 0; i < s.patch_count(); ++i) {
        s.patches[i] = patch_new();
        s.patches[i]->name = model_name(s.scene, s.models[i]);
        patch_geometry(i);
        update_channel_maps(i);
    }
}

}  // namespace vellimor
