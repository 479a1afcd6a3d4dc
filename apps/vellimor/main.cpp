// vellimor: the stand-alone program. Its command line is the plug-in's stand-alone command line:
//   vellimor -d DATABASE -s SCENE [-b] [options]
#include <cstring>

#include "apps/common/plugin_loader.h"

namespace {

constexpr int kLoadFailure = 95;
constexpr int kNotLoaded = -1;  // told apart from init's own statuses
// init's status after its usage text.
constexpr int kUsageStatus = 95;

bool asks_for_help(int argc, char **argv) {
    return argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0);
}

}  // namespace

int main(int argc, char **argv) {
    vellimor::app::set_host_environment();
    const int result = vellimor::app::call_plugin_main("vellimor", "init", argc, argv, kNotLoaded);
    if (result == kNotLoaded) return kLoadFailure;
    // The usage text answers a question here, not a mistake.
    if (asks_for_help(argc, argv) && result == kUsageStatus) return 0;
    return result;
}
