// Scene files: parsed and checked field by field; whatever is accepted is written and read again.
#include <cstddef>
#include <cstdint>
#include <string>

#include "saa/scene_file.h"

using namespace vellimor::saa;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string text(reinterpret_cast<const char *>(data), size);
    try {
        const Scene scene = parse_scene_text(text);
        const Scene again = parse_scene_text(scene_to_text(scene));
        if (again.models.size() != scene.models.size()) __builtin_trap();
    } catch (const SceneFileError &) {
    }
    return 0;
}
