// vellimor-host COMMAND -d DATABASE -s SCENE [options]: the host driver program. Like a host, it
// loads the plug-in ($VELLIMOR_PLUGIN, else lib/libvellimor.so beside it) and hands it the
// command line; every command runs in the plug-in it loaded.
#include <cstdio>

#include "apps/common/plugin_loader.h"

namespace {

constexpr int kExitFailure = 1;
using HostMain = int (*)(int, char **);

}  // namespace

int main(int argc, char **argv) {
    vellimor::app::Plugin plugin;
    auto host_main = reinterpret_cast<HostMain>(plugin.symbol("vellimor_host_main"));
    if (!host_main) {
        std::fprintf(stderr, "vellimor-host: %s\n", plugin.error().c_str());
        return kExitFailure;
    }
    const int status = host_main(argc, argv);
    std::fflush(nullptr);
    return status;
}
