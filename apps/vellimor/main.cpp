// vellimor: the stand-alone program. Its command line is the plug-in's stand-alone command line:
//   vellimor -d DATABASE -s SCENE [-b] [options]
#include <cstdio>
#include <cstring>

#include "apps/common/plugin_loader.h"

namespace {

constexpr int kLoadFailure = 95;
// init's status after its usage text.
constexpr int kUsageStatus = 95;

bool asks_for_help(int argc, char **argv) {
    return argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0);
}

using InitFunction = int (*)(int, char **);

}  // namespace

int main(int argc, char **argv) {
    vellimor::app::set_host_environment();
    vellimor::app::Plugin plugin;
    auto init = reinterpret_cast<InitFunction>(plugin.symbol("init"));
    if (!init) {
        std::fprintf(stderr, "vellimor: %s\n", plugin.error().c_str());
        return kLoadFailure;
    }
    const int result = init(argc, argv);
    std::fflush(nullptr);
    // The usage text answers a question here, not a mistake.
    if (asks_for_help(argc, argv) && result == kUsageStatus) return 0;
    return result;
}
