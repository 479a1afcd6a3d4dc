#include "host/designer_link.h"

#include <optional>

namespace vellimor {
namespace {

std::optional<DesignerOutput> &connected() {
    static std::optional<DesignerOutput> output;
    return output;
}

}  // namespace

void designer_connect(DesignerOutput output) { connected() = std::move(output); }

void designer_disconnect() { connected().reset(); }

bool designer_up() { return connected().has_value(); }

const DesignerOutput &designer_output() { return *connected(); }

}  // namespace vellimor
