#include "apps/common/plugin_loader.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace vellimor::app {

std::string installation_root() {
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return ".";
    return exe.parent_path().parent_path().string();
}

void set_host_environment() {
    setenv("SI_LOCATION", installation_root().c_str(), 0);
    const char *tmpdir = std::getenv("TMPDIR");
    setenv("TEMP", tmpdir && *tmpdir ? tmpdir : "/tmp", 0);
}

Plugin::Plugin() {
    const char *configured = std::getenv("VELLIMOR_PLUGIN");
    const std::string path = configured && *configured
                                 ? std::string(configured)
                                 : installation_root() + "/lib/libvellimor.so";
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) {
        const char *why = dlerror();
        error_ = "Can't load the plug-in " + path + ": " + (why ? why : "unknown error");
    }
}

Plugin::~Plugin() {
    if (handle_) dlclose(handle_);
}

void *Plugin::symbol(const char *name) {
    if (!handle_) return nullptr;
    dlerror();
    void *address = dlsym(handle_, name);
    if (!address) {
        const char *why = dlerror();
        error_ = std::string("The plug-in has no entry point ") + name + ": " +
                 (why ? why : "null symbol");
    }
    return address;
}

int call_plugin_main(const char *program, const char *entry, int argc, char **argv, int failure) {
    Plugin plugin;
    using Main = int (*)(int, char **);
    auto main = reinterpret_cast<Main>(plugin.symbol(entry));
    if (!main) {
        std::fprintf(stderr, "%s: %s\n", program, plugin.error().c_str());
        return failure;
    }
    const int status = main(argc, argv);
    std::fflush(nullptr);
    return status;
}

}  // namespace vellimor::app
