// The host's interface services: status bar and custom-effect context.
#include <cstring>
#include <string>

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
