// The host's interface services: status bar, selection list and custom-effect context.
#include <cstring>
#include <string>

#include "saa/host_state.h"
#include "saa/saa.h"

namespace {
std::string &status_bar_text() {
    static std::string text;
    return text;
}
}  // namespace

extern "C" int SAA_statusBarSet(const char *text, int) {
    if (!text) return SAA_ERR_ARGUMENT;
    status_bar_text() = text;
    return SAA_OK;
}

extern "C" int SAA_statusBarGet(int max_length, char *text) {
    if (!text || max_length < 1) return SAA_ERR_ARGUMENT;
    std::strncpy(text, status_bar_text().c_str(), static_cast<size_t>(max_length - 1));
    text[max_length - 1] = '\0';
    return SAA_OK;
}

extern "C" int SAA_customContextGetState(const SAA_CustomContext *context, int *state) {
    if (!context || !state) return SAA_ERR_ARGUMENT;
    *state = context->state;
    return SAA_OK;
}

// ---- selection ----

using vellimor::saa::fail;
using vellimor::saa::host;
using vellimor::saa::scene_of;

extern "C" int SAA_selectlistClear(const SAA_Scene *scene) {
    int status = SAA_OK;
    if (!scene_of(scene, status)) return status;
    host().selection.clear();
    return SAA_OK;
}

// Replaces the selection with the given elements; stale handles are refused.
extern "C" int SAA_selectlistSetElements(const SAA_Scene *scene, int, int count, const SAA_Elem *elements) {
    int status = SAA_OK;
    if (!scene_of(scene, status)) return status;
    if (count < 0 || (count > 0 && !elements)) return fail(SAA_ERR_ARGUMENT, "bad selection count");
    for (int i = 0; i < count; ++i) {
        int valid = 0;
        if (SAA_elementIsValid(scene, &elements[i], &valid) != SAA_OK || !valid)
            return fail(SAA_ERR_INVALID, "selection names an element that is not in the scene");
    }
    return vellimor::saa::guarded([&]() -> int {
        host().selection.assign(elements, elements + count);
        return SAA_OK;
    });
}

extern "C" int SAA_selectlistGetElements(const SAA_Scene *scene, int max_count, SAA_Elem *elements, int *count) {
    int status = SAA_OK;
    if (!scene_of(scene, status)) return status;
    if (!count || max_count < 0 || (max_count > 0 && !elements)) return fail(SAA_ERR_ARGUMENT, "null argument");
    const auto &selection = host().selection;
    *count = static_cast<int>(selection.size());
    for (std::size_t i = 0; i < selection.size() && i < static_cast<std::size_t>(max_count); ++i)
        elements[i] = selection[i];
    return SAA_OK;
}
