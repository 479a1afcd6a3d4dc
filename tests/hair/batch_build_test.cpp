// The stand-alone program's batch path builds the hairs of every surface (with their dynamics)
// before it renders, and reports the same builds on every run.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include "furdata/fur_data.h"
#include "host/globals.h"
#include "host/scene.h"
#include "saa/saa.h"

namespace vellimor {
namespace {

struct RunResult {
    int status = -1;
    std::string output;
};

RunResult run(const std::string &command) {
    RunResult result;
    FILE *pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return result;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) result.output.append(buffer, n);
    const int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

// The build reports without their timings, in order, and what comes around them.
std::string build_reports(const std::string &output) {
    std::string reports;
    size_t start = 0;
    while (start < output.size()) {
        size_t end = output.find_first_of("\r\n", start);
        if (end == std::string::npos) end = output.size();
        const std::string line = output.substr(start, end - start);
        if (line.rfind("Building hairs on: ", 0) == 0) reports += line + "\n";
        if (line.rfind("Done building ", 0) == 0)
            reports += line.substr(0, line.find(" Time used:")) + "\n";
        start = end + 1;
    }
    return reports;
}

TEST(BatchBuild, EveryFurSurfaceIsBuiltBeforeTheRender) {
    const char *build = std::getenv("VELLIMOR_BUILD_DIR");
    const char *source = std::getenv("VELLIMOR_SOURCE_DIR");
    ASSERT_TRUE(build && source);
    const std::string command =
        std::string(build) + "/bin/vellimor -d " + source +
        "/examples/furball -s furball -b -n 1 1 1 -o /tmp/vellimor_hair_batch";
    const RunResult first = run(command);
    const RunResult second = run(command);
    ASSERT_EQ(first.status, 0) << first.output;
    const std::string reports = build_reports(first.output);
    // Whatever density the demo's fur records hold, each surface is built once, in table order.
    std::string shape = reports;
    for (size_t at = shape.find("building "); at != std::string::npos;
         at = shape.find("building ", at + 1)) {
        const size_t digits = shape.find_first_not_of("0123456789", at + 9);
        shape.replace(at + 9, digits - at - 9, "N");
    }
    EXPECT_EQ(shape,
              "Building hairs on: Sphere\nDone building N hairs on 0.\n"
              "Building hairs on: Ground\nDone building N hairs on 1.\n"
              "Building hairs on: Flag\nDone building N hairs on 2.\n")
        << first.output;
    EXPECT_EQ(build_reports(second.output), reports);
    // The builds come after the scene is read.
    EXPECT_LT(first.output.find("MY_read_scene"), first.output.find("Building hairs on: "));
}

// A copy of the demo database in which only the sphere stores switched-on dynamics.
std::filesystem::path demo_copy_with_dynamics(const std::string &source) {
    char pattern[] = "/tmp/vellimor_hair_batch_XXXXXX";
    if (!mkdtemp(pattern)) return {};
    const std::filesystem::path copy = std::filesystem::path(pattern) / "furball";
    std::filesystem::copy(source + "/examples/furball", copy,
                          std::filesystem::copy_options::recursive);
    run_state().run_mode = kRunModeStandAlone;
    SAA_InitInternal("", 0, "SDKv1.71.6");
    if (MY_read_scene("furball", copy.c_str()) != 0) return {};
    read_fur_data(1);
    for (auto &record : scene_state().patches) {
        const bool sphere = record->name == "Sphere";
        if (sphere) record->number_of_hairs_pr_square_unit = 300;
        record->velocity_scale.active = sphere;
        record->acceleration_scale.active = sphere;
    }
    const int saved = write_fur_data(1);
    free_all();
    reset_globals();
    return saved == 0 ? copy : std::filesystem::path();
}

TEST(BatchBuild, StoredDensityAndDynamicsAreBuiltInTheirPlace) {
    const char *build = std::getenv("VELLIMOR_BUILD_DIR");
    const char *source = std::getenv("VELLIMOR_SOURCE_DIR");
    ASSERT_TRUE(build && source);
    const std::filesystem::path database = demo_copy_with_dynamics(source);
    ASSERT_FALSE(database.empty());
    const RunResult result = run(std::string(build) + "/bin/vellimor -d " + database.string() +
                                 " -s furball -b -n 1 1 1 -o /tmp/vellimor_hair_batch");
    std::filesystem::remove_all(database.parent_path());
    ASSERT_EQ(result.status, 0) << result.output;
    const std::string &out = result.output;
    const size_t building = out.find("Building hairs on: Sphere");
    const size_t dynamics = out.find("    Calc dynamics\n", building);
    const size_t dynamics_done = out.find("    Calc dynamics Done\n", dynamics);
    const size_t done = out.find("Done building ", dynamics_done);
    ASSERT_NE(building, std::string::npos) << out;
    ASSERT_NE(dynamics, std::string::npos) << out;
    ASSERT_NE(dynamics_done, std::string::npos) << out;
    ASSERT_NE(done, std::string::npos) << out;
    EXPECT_GT(std::atoi(out.c_str() + done + 14), 0) << out;  // the stored density grew hairs
    // The ground keeps its dynamics off (the demo's moving flag has them on).
    const size_t ground = out.find("Building hairs on: Ground", done);
    const size_t ground_done = out.find("Done building ", ground);
    ASSERT_NE(ground_done, std::string::npos) << out;
    EXPECT_EQ(out.substr(ground, ground_done - ground).find("Calc dynamics"), std::string::npos) << out;
}

}  // namespace
}  // namespace vellimor
