// Opening the database and scene that the common options name.
#include <cstdio>

#include "apps/vellimor-host/commands.h"

namespace vellimor::host_driver {

namespace {

constexpr const char *kSdkVersion = "SDKv1.71.6";
constexpr int kReasonLength = 1024;

}  // namespace

std::string last_host_error() {
    char reason[kReasonLength];
    SAA_hostGetLastError(kReasonLength, reason);
    return reason;
}

void report_error(const std::string &text) { std::fprintf(stderr, "%s: %s\n", kProgram, text.c_str()); }

bool open_scene(const CommandLine &line, SAA_Database &database, SAA_Scene &scene) {
    if (line.database.empty() || line.scene.empty()) {
        report_error(line.command + " needs -d DATABASE and -s SCENE");
        return false;
    }
    if (SAA_InitInternal("", 0, kSdkVersion) != SAA_OK || SAA_sceneInitInternal(kSdkVersion) != SAA_OK) {
        report_error("cannot start the host library: " + last_host_error());
        return false;
    }
    if (SAA_databaseLoad(line.database.c_str(), &database) != SAA_OK) {
        report_error("cannot open " + last_host_error());
        return false;
    }
    if (SAA_sceneLoad(&database, line.scene.c_str(), &scene) != SAA_OK) {
        report_error("cannot load scene " + last_host_error());
        return false;
    }
    return true;
}

}  // namespace vellimor::host_driver
