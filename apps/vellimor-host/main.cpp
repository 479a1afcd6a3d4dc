// vellimor-host COMMAND -d DATABASE -s SCENE [options]: the host driver program. Like a host, it
// loads the plug-in ($VELLIMOR_PLUGIN, else lib/libvellimor.so beside it) and hands it the
// command line; every command runs in the plug-in it loaded.
#include "apps/common/plugin_loader.h"

namespace {
constexpr int kExitFailure = 1;
}  // namespace

int main(int argc, char **argv) {
    return vellimor::app::call_plugin_main("vellimor-host", "vellimor_host_main", argc, argv, kExitFailure);
}
