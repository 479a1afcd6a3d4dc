// The work of the eight exported entry points (host/exports.cpp only forwards to these).
#pragma once

#include "host/batch_render.h"

namespace vellimor {

// Stand-alone: the command line names a database and scene; runs the designer or a batch render.
int run_init(int argc, const char *const *argv);
// What init does once its command line is read: the stand-alone start (noise tables, banner,
// message file, locations, host library, scene), then the designer or the batch render, whose
// frames go through `hooks`.
int run_stand_alone(const CommandLine &line, const BatchHooks &hooks = {});
// Internal mode: the designer on the host's current scene.
int run_init_internal(void *context);
int run_cleanup_internal(void *context);
// Persistent mode: a per-frame effect on the host's current scene.
int run_init_persistent(void *context);
int run_update_persistent(void *context);
int run_save_persistent(void *context);
int run_cleanup_persistent(void *context);
int run_edit_persistent(void *context);

}  // namespace vellimor
