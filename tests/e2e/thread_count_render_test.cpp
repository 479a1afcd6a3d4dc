// The demo scene rendered by the batch command line on one core and on several: hairs are grown
// and shaded on every core, and the pictures must not change by a single byte.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/test_env.h"
#include "support/run_program.h"
#include "support/paths.h"

namespace vellimor {
namespace {

namespace fs = std::filesystem;

class ThreadCountRender : public ::testing::Test {
protected:
    // The frame's file as written with FUR_MAX_PROC set to `cores`.
    std::string render(const std::string &cores, const std::string &antialias) {
        const std::string output = "cores" + cores + "aa" + antialias;
        const test::ProgramResult r = test::run_program(
            "vellimor",
            {"-b", "-d", database.string(), "-s", "furball", "-n", "1", "1", "1", "-S", "160",
             "120", "-j", antialias, "-o", output},
            {{"TEMP", work.path()}, {"SI_LOCATION", std::nullopt}, {"FUR_LOCATION", "/fur"},
             {"DISPLAY", std::nullopt}, {"VELLIMOR_PLUGIN", std::nullopt},
             {"FUR_MAX_PROC", cores}},
            work.path());
        EXPECT_EQ(r.status, 0) << r.err;
        return test::slurp(work.path() + "/" + output + ".1.pic");
    }

    void SetUp() override {
        database = fs::path(work.path()) / "furball";
        fs::copy(test::demo_database(), database, fs::copy_options::recursive);
    }

    test::TempDir work;
    fs::path database;
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
