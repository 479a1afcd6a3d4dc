// How the programs play the host: the environment a host would give the plug-in, and loading
// libvellimor.so to call its entry points by name.
#pragma once

#include <string>

namespace vellimor::app {

// The installation root: the directory above the one holding the running program.
std::string installation_root();

// Sets SI_LOCATION to the installation root and TEMP to $TMPDIR or /tmp, each only when the user
// has not set it.
void set_host_environment();

// The loaded plug-in; unloaded when destroyed.
class Plugin {
public:
    // Loads $VELLIMOR_PLUGIN, else <installation root>/lib/libvellimor.so. On failure error()
    // says why.
    Plugin();
    ~Plugin();
    Plugin(const Plugin &) = delete;
    Plugin &operator=(const Plugin &) = delete;

    bool loaded() const { return handle_ != nullptr; }
    const std::string &error() const { return error_; }
    // The exported function of that name, or nullptr (error() then says why).
    void *symbol(const char *name);

private:
    void *handle_ = nullptr;
    std::string error_;
};

// Loads the plug-in and hands the command line to its exported `entry`(argc, argv), whose status
// it returns; when the plug-in or the entry is missing, one line "PROGRAM: why" on stderr and
// `failure`.
int call_plugin_main(const char *program, const char *entry, int argc, char **argv, int failure);

}  // namespace vellimor::app
