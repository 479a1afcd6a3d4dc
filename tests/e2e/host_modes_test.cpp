// The host driver's run-mode commands end to end: the plug-in loaded by a host program.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/program_test.h"

namespace vellimor {
namespace {

using test::ProgramResult;

size_t count(const std::string &text, const std::string &what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

class HostModes : public test::ProgramTest {
protected:
    ProgramResult run(const std::vector<std::string> &args) {
        return on_scene("vellimor-host", args[0], test::demo_database(), "furball", {args.begin() + 1, args.end()});
    }
};

TEST_F(HostModes, PersistentRunsItsFrameLoopAndCleansUp) {
    const ProgramResult r = run({"persistent", "--frames", "1", "3"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(count(r.err, "Fur build: 2000"), 1u);
    EXPECT_EQ(r.err.find("Fur internal version"), std::string::npos);
    const std::string file = messages();
    EXPECT_EQ(count(file, "Update Persistent\n"), 3u);
    EXPECT_GE(count(file, "Save Persistent\n"), 3u);
    EXPECT_NE(file.find("Cleanup Persistent\n"), std::string::npos);
    EXPECT_LT(file.rfind("Save Persistent\n"), file.find("Cleanup Persistent\n"));
}

// Both open the designer; without an X display it can't open, which they say and report.
TEST_F(HostModes, InternalAndEditWithoutADisplayFail) {
    const std::string no_display = "Can't open a window: no X display available\n";
    const ProgramResult internal = run({"internal"});
    EXPECT_NE(internal.status, 0) << internal.err;
    EXPECT_EQ(internal.err.rfind("Fur internal version\nFur build: 2000", 0), 0u);
    EXPECT_EQ(count(internal.err, no_display), 1u) << internal.err;
    const ProgramResult edit = run({"edit"});
    EXPECT_NE(edit.status, 0) << edit.err;
    EXPECT_EQ(count(edit.err, no_display), 1u) << edit.err;
    EXPECT_NE(messages().find("Edit Persistent\n"), std::string::npos);
}

}  // namespace
}  // namespace vellimor
