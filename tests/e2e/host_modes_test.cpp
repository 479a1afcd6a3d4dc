// The host driver's run-mode commands end to end: the plug-in loaded by a host program.
#include <gtest/gtest.h>

#include <filesystem>

#include "host/test_env.h"
#include "support/run_program.h"

namespace vellimor {
namespace {

namespace fs = std::filesystem;
using test::ProgramResult;

std::string furball() { return test::demo_database(); }

class HostModes : public testing::Test {
protected:
    ProgramResult run(std::vector<std::string> args, const std::string &database = furball()) {
        args.insert(args.end(), {"-d", database, "-s", "furball"});
        return test::run_program("vellimor-host", args,
                                 {{"TEMP", work.path()}, {"DISPLAY", std::nullopt},
                                  {"SI_LOCATION", std::nullopt}, {"FUR_LOCATION", "/fur"},
                                  {"VELLIMOR_PLUGIN", std::nullopt}},
                                 work.path());
    }
    std::string message_file() { return test::read_file(work.path() + "/fur_message"); }
    size_t count(const std::string &text, const std::string &what) {
        size_t n = 0;
        for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
        return n;
    }

    test::TempDir work;
};

TEST_F(HostModes, PersistentRunsItsFrameLoopAndCleansUp) {
    const ProgramResult r = run({"persistent", "--frames", "1", "3"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(count(r.err, "Fur build: 2000"), 1u);
    EXPECT_EQ(r.err.find("Fur internal version"), std::string::npos);
    const std::string file = message_file();
    EXPECT_EQ(count(file, "Update Persistent\n"), 3u);
    EXPECT_GE(count(file, "Save Persistent\n"), 3u);
    EXPECT_NE(file.find("Cleanup Persistent\n"), std::string::npos);
    EXPECT_LT(file.rfind("Save Persistent\n"), file.find("Cleanup Persistent\n"));
}

TEST_F(HostModes, PersistentSaveWritesTheScene) {
    const std::string db = work.path() + "/db";
    fs::copy(furball(), db, fs::copy_options::recursive);
    const std::string scene = db + "/SCENES/furball.dsc";
    fs::last_write_time(scene, fs::file_time_type::clock::now() - std::chrono::hours(1));
    const auto before = fs::last_write_time(scene);
    const ProgramResult r = run({"persistent", "--frames", "2", "2", "--save"}, db);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_GT(fs::last_write_time(scene), before);
    const ProgramResult unsaved = run({"persistent", "--frames", "2", "2"}, db);
    EXPECT_EQ(unsaved.status, 0);
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
    EXPECT_NE(message_file().find("Edit Persistent\n"), std::string::npos);
}

TEST_F(HostModes, BadOptionsAreRefused) {
    for (std::vector<std::string> args :
         {std::vector<std::string>{"persistent", "--frames", "3"},
          {"persistent", "--frames", "5", "1"},
          {"persistent", "--frames", "1", "x"},
          {"persistent", "--bogus"},
          {"internal", "extra"}}) {
        const ProgramResult r = run(args);
        EXPECT_NE(r.status, 0) << args[1];
        EXPECT_EQ(r.err.rfind("vellimor-host: ", 0), 0u) << r.err;
    }
    const ProgramResult missing = run({"internal"}, work.path() + "/no_database");
    EXPECT_NE(missing.status, 0);
}

}  // namespace
}  // namespace vellimor
