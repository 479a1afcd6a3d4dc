// vellimor: the stand-alone program. Its command line is the plug-in's stand-alone command line:
//   vellimor -d DATABASE -s SCENE [-b] [options]
#include <cstdio>

#include "apps/common/plugin_loader.h"

namespace {

constexpr int kLoadFailure = 95;

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
    return result;
}
