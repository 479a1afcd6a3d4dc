// Fur settings text files, read into a surface's record with any object name; every value the
// reader keeps must lie within the settings' ranges. The function curves of hold files are read
// from the same input.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "fcurve/fcurve_list.h"
#include "fcurve/fcurve_text.h"
#include "furdata/field_bounds.h"
#include "furdata/fur_text_file.h"

using namespace vellimor;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    // The reader reads files: each input goes through one private file.
    static const std::string path = "/tmp/vellimor-fuzz-fur-" + std::to_string(::getpid()) + ".txt";
    std::FILE *file = std::fopen(path.c_str(), "wb");
    if (!file) return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);
    std::unique_ptr<PatchData> record = patch_new();
    record->name = "Sphere";
    fetch_into_record(record, path, 1);
    if (bound_fur_record(*record) != 0) __builtin_trap();  // the reader left a value out of range
    fetch_fcurves(path);
    for (int id : fcurve_ids()) {
        float values[kFCurveMaxComponents] = {};
        fcurve_query(id, 1, values);  // every curve read can be evaluated
    }
    fcurve_delete_all();
    return 0;
}
