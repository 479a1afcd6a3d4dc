// The host stand-in's state, as far as the scene file reader's surface checks reach it: no scene
// is installed, so no model is found, and failures only carry their code.
#include "saa/host_state.h"

namespace vellimor::saa {

int fail(int code, const std::string &) { return code; }

Model *model_of(const SAA_Scene *, const SAA_Elem *, int &status) {
    status = SAA_ERR_INVALID;
    return nullptr;
}

}  // namespace vellimor::saa
