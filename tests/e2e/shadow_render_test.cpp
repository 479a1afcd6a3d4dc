// Batch renders of a furry square with and without fur shadows, compared region by region.
#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "furdata/fur_data.h"
#include "support/test_env.h"
#include "support/fur_square_scene.h"
#include "render/pic_file.h"
#include "support/run_program.h"

namespace vellimor {
namespace {

namespace fs = std::filesystem;

class ShadowRender : public ::testing::Test {
protected:
    // The furry square of the drawing tests, its fur stored casting shadows or not.
    fs::path write_scene(const std::string &name, bool casts_shadow) {
        const fs::path database = fs::path(work.path()) / name;
        testing::write_fur_scene(database, {});
        run_state().run_mode = kRunModeStandAlone;
        SAA_InitInternal("", 0, "SDKv1.71.6");
        EXPECT_EQ(MY_read_scene("fur", database.c_str()), 0);
        read_fur_data(1);
        scene_state().patches.at(0)->casts_shadow = casts_shadow ? 1 : 0;
        EXPECT_EQ(write_fur_data(1), 0);
        free_all();
        return database;
    }

    std::unique_ptr<PicImage> render(const fs::path &database, const std::string &output) {
        const test::ProgramResult r = test::run_program(
            "vellimor", {"-b", "-d", database.string(), "-s", "fur", "-n", "1", "1", "1", "-o", output},
            {{"TEMP", work.path()}, {"SI_LOCATION", std::nullopt}, {"FUR_LOCATION", "/fur"},
             {"DISPLAY", std::nullopt}, {"VELLIMOR_PLUGIN", std::nullopt}},
            work.path());
        EXPECT_EQ(r.status, 0) << r.err;
        return pic_read_file(work.path() + "/" + output + ".1.pic");
    }

    test::TempDir work;
};

TEST_F(ShadowRender, ShadowedFurIsDarkerWhereItIsDeep) {
    auto plain = render(write_scene("plain", false), "plain");
    auto shadowed = render(write_scene("shadowed", true), "shadowed");
    ASSERT_TRUE(plain && shadowed);
    ASSERT_EQ(plain->pixel_count(), shadowed->pixel_count());
    // Sums of red over the pixels that show fur in the plain render, row by row. The camera
    // looks down at the square: the far rows show tips, the near edge shows the fur's depth.
    std::vector<long> plain_rows, shadowed_rows;
    for (int y = 0; y < plain->height; ++y) {
        long p = 0, q = 0;
        for (int x = 0; x < plain->width; ++x) {
            const size_t i = size_t(y) * size_t(plain->width) + size_t(x);
            if (plain->red()[i] <= 40) continue;
            p += plain->red()[i];
            q += shadowed->red()[i];
        }
        if (p == 0) continue;
        plain_rows.push_back(p);
        shadowed_rows.push_back(q);
    }
    ASSERT_GE(plain_rows.size(), 9u);
    auto band = [](const std::vector<long> &rows, size_t from, size_t to) {
        long sum = 0;
        for (size_t r = from; r < to; ++r) sum += rows[r];
        return sum;
    };
    const size_t rows = plain_rows.size(), third = rows / 3;
    // Row 0 of a picture is its top row: the near edge, where the deep fur shows, comes last.
    const size_t near = rows - third;
    EXPECT_LT(band(shadowed_rows, near, rows), band(plain_rows, near, rows) * 8 / 10);
    EXPECT_LT(band(shadowed_rows, 0, rows), band(plain_rows, 0, rows) * 95 / 100);
    // The far rows, mostly tips, stay nearly as lit, and nothing turns black.
    EXPECT_GT(band(shadowed_rows, 0, third), band(plain_rows, 0, third) * 85 / 100);
    EXPECT_GT(band(shadowed_rows, near, rows), band(plain_rows, near, rows) / 4);
}

}  // namespace
}  // namespace vellimor
