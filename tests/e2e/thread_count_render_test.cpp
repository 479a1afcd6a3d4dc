// The demo scene rendered by the batch command line on one core and on several: hairs are grown
// and shaded on every core, and the pictures must not change by a single byte.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/program_test.h"
#include "support/paths.h"

namespace vellimor {
namespace {

namespace fs = std::filesystem;

class ThreadCountRender : public test::ProgramTest {
protected:
    // The frame's file as written with FUR_MAX_PROC set to `cores`.
    std::string render(const std::string &cores, const std::string &antialias) {
        const std::string output = "cores" + cores + "aa" + antialias;
        const test::ProgramResult r =
            on_scene("vellimor", "", test::demo_database(), "furball",
                     {"-b", "-n", "1", "1", "1", "-S", "160", "120", "-j", antialias, "-o", output},
                     {{"FUR_MAX_PROC", cores}});
        EXPECT_EQ(r.status, 0) << r.err;
        return test::read_file(path(output + ".1.pic"));
    }
};

TEST_F(ThreadCountRender, OneCoreAndSeveralDrawTheSameBytes) {
    for (const std::string antialias : {"0", "1"}) {
        const std::string one = render("1", antialias);
        ASSERT_GT(one.size(), 1000u) << "a picture with fur in it";
        EXPECT_TRUE(one == render("3", antialias)) << "antialiasing level " << antialias;
    }
}

}  // namespace
}  // namespace vellimor
