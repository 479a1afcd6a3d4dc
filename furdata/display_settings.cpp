#include "furdata/display_settings.h"

#include <memory>

namespace vellimor {
namespace {

std::unique_ptr<DisplaySettings> &current() {
    static std::unique_ptr<DisplaySettings> record;
    return record;
}

}  // namespace

DisplaySettings *display_settings() { return current().get(); }

DisplaySettings &display_settings_create() {
    current() = std::make_unique<DisplaySettings>();
    return *current();
}

void display_settings_free() { current().reset(); }

}  // namespace vellimor
