// Stages that other subsystems supply, standing in until they exist: each reports once that it
// is not available yet and does nothing else. Delete a stand-in when its stage is implemented.
#include <set>
#include <string>

#include "editor/main_loop.h"
#include "host/status.h"

namespace vellimor {
namespace {

void not_available(const char *stage) {
    static std::set<std::string> reported;
    if (!reported.insert(stage).second) return;
    status_message(kStatusPlain, "%s is not available yet", stage);
}

}  // namespace

void designer_start() { not_available("designer_start"); }

}  // namespace vellimor
