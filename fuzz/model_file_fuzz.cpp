// Model files (OBJ and USD text): read as both, turned into surfaces; every surface accepted must
// be one the scene file takes back as it was written.
#include <cstddef>
#include <cstdint>
#include <string>

#include "saa/model_import.h"
#include "saa/scene_file.h"

using namespace vellimor::saa;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string text(reinterpret_cast<const char *>(data), size);
    for (const char *name : {"fuzz.obj", "fuzz.usda"}) {
        try {
            ImportedModels models = import_model_text(text, name);
            Scene scene = empty_scene();
            for (Model &m : models.surfaces) merge_surface(scene, std::move(m));
            const Scene again = parse_scene_text(scene_to_text(scene));
            if (again.models.size() != scene.models.size()) __builtin_trap();
        } catch (const ModelFileError &) {
        }
    }
    return 0;
}
