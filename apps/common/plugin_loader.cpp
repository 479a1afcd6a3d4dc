#include "apps/common/plugin_loader.h"

#include <dlfcn.h>

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

}  // namespace vellimor::app
