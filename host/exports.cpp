// The plug-in's exported entry points: plain C symbols that the host looks up by name.
#include "host/entry_points.h"

#define VELLIMOR_EXPORT extern "C" __attribute__((visibility("default")))

VELLIMOR_EXPORT int init(int argc, char **argv) { return vellimor::run_init(argc, argv); }
VELLIMOR_EXPORT int initInt(void *context) { return vellimor::run_init_internal(context); }
VELLIMOR_EXPORT int cleanupInt(void *context) { return vellimor::run_cleanup_internal(context); }
VELLIMOR_EXPORT int initPer(void *context) { return vellimor::run_init_persistent(context); }
VELLIMOR_EXPORT int updatePer(void *context) { return vellimor::run_update_persistent(context); }
VELLIMOR_EXPORT int savePer(void *context) { return vellimor::run_save_persistent(context); }
VELLIMOR_EXPORT int cleanupPer(void *context) { return vellimor::run_cleanup_persistent(context); }
VELLIMOR_EXPORT int editPer(void *context) { return vellimor::run_edit_persistent(context); }
