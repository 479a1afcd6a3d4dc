// Where the tests find the source tree, the build tree and the demo database.
#pragma once

#include "support/test_prelude.h"

namespace vellimor::test {

inline std::string source_dir() {
    const char *dir = std::getenv("VELLIMOR_SOURCE_DIR");
    return dir ? dir : ".";
}

inline std::string build_dir() {
    const char *dir = std::getenv("VELLIMOR_BUILD_DIR");
    return dir ? dir : ".";
}

inline std::string demo_database() { return source_dir() + "/examples/furball"; }

}  // namespace vellimor::test
