// Runs one test of the current test program in a fresh process, for results that must repeat
// across processes (tables and fur built from the same seeds).
#pragma once

#include "support/run_program.h"
#include "support/test_prelude.h"

namespace vellimor::test_support {

// The child side: the file the parent asked for in `variable`, or nullptr when not in a child.
inline const char *child_output_path(const char *variable) { return std::getenv(variable); }

// The parent side: runs the test named by `filter` in a new process of this program with
// `variable` naming a file of a temporary folder, and returns what the child wrote there. Fails
// the calling test when the child does not exit cleanly.
inline std::string output_of_child_test(const char *filter, const char *variable) {
    const test::TempDir dir;
    const std::string path = dir.path() + "/output";
    const test::ProgramResult child = test::run_executable(
        "/proc/self/exe", {std::string("--gtest_filter=") + filter}, {{variable, path}}, dir.path());
    EXPECT_EQ(child.status, 0) << "child test " << filter << "\n" << child.out << child.err;
    return test::read_file(path);
}

}  // namespace vellimor::test_support
