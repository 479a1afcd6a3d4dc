#include "fcurve/fcurve_user_data.h"

#include <gtest/gtest.h>

#include <array>
#include <random>
#include <string>
#include <tuple>

#include "fcurve/fcurve_autokey.h"
#include "fcurve/fcurve_list.h"
#include "fcurve/fcurve_store.h"
#include "support/temp_database.h"

namespace vellimor {
namespace {

using test::model_named;
using test::scene_with_models;
using test::TempDatabase;

class FCurveUserData : public ::testing::Test {
protected:
    void SetUp() override {
        fcurve_delete_all();
        ASSERT_EQ(db.load_text(scene_with_models(R"({"name": "Sphere", "type": 0},
                                                    {"name": "Other", "type": 0})")),
                  SAA_OK)
            << test::last_error();
        model = model_named(db.scene, "Sphere");
    }
    void TearDown() override { fcurve_delete_all(); }

    // A wind-colour-like curve: three used components with keys and limits, a fourth switched off.
    int animated_curve() {
        const float values[] = {0.25f, 0.5f, 0.75f, 9.0f};
        const int id = fcurve_create(4, 1, values);
        for (int i = 0; i < 3; ++i) {
            Herm &c = *fcurve_find(id)->limits[i].curve;
            HermInsertPoint(c, 1, 20, 0.1f * static_cast<float>(i + 1));
            HermInsertPoint(c, 2, 30, 0.9f);
            HermSetPointType(c, 1, herm::Break);
            fcurve_set_limits(id, i, 1, 1, 0, 1);
        }
        fcurve_set_use(id, 3, 0);
        return id;
    }

    int block_count() {
        int count = 0;
        SAA_modelGetNbUserData(&db.scene, &model, &count);
        return count;
    }

    void set_block(const std::string &name, const std::vector<uint8_t> &bytes) {
        ASSERT_EQ(SAA_modelSetUserData(&db.scene, &model, name.c_str(), static_cast<int>(bytes.size()), 0,
                                       bytes.data()),
                  SAA_OK);
    }

    std::vector<uint8_t> block(const std::string &name) {
        int size = 0;
        short swap = 0;
        void *data = nullptr;
        SAA_modelAllocUserData(&db.scene, &model, name.c_str(), &size, &swap, &data);
        const auto *bytes = static_cast<const uint8_t *>(data);
        return bytes ? std::vector<uint8_t>(bytes, bytes + size) : std::vector<uint8_t>{};
    }

    TempDatabase db;
    SAA_Elem model{};
};

void expect_same_curve(const FCurve &a, const FCurve &b) {
    ASSERT_EQ(a.nb_curves, b.nb_curves);
    EXPECT_EQ(a.type, b.type);
    auto component = [](const FCurve &f, int i) {
        const FCurveLimit &l = f.limits[i];
        return std::make_tuple(f.use[i], l.has_min, l.has_max, l.min, l.max, l.curve->limit_flags,
                               std::to_array(l.curve->color));
    };
    auto key = [](const HermKey &k) { return std::make_tuple(k.x, k.y, k.in_dx, k.out_dy, k.type, k.coef_y[0]); };
    for (int i = 0; i < a.nb_curves; ++i) {
        EXPECT_EQ(component(a, i), component(b, i)) << "component " << i;
        const Herm &p = *a.limits[i].curve, &q = *b.limits[i].curve;
        ASSERT_EQ(p.nb_points(), q.nb_points());
        for (int k = 0; k < p.nb_points(); ++k) EXPECT_EQ(key(p.points[k]), key(q.points[k])) << i << " key " << k;
    }
}

TEST_F(FCurveUserData, SavedCurveLoadsBackUnderItsIdThroughASceneSave) {
    const int id = animated_curve();
    const int frames[] = {-5, 1, 12, 25, 60};
    std::vector<std::array<float, 4>> expected;
    for (int frame : frames) {
        std::array<float, 4> v{};
        fcurve_query(id, frame, v);
        expected.push_back(v);
    }
    ASSERT_EQ(fcurve_save_user_data(&db.scene, &model, id), 0);
    const std::string base = "FCurve_" + std::to_string(id);
    EXPECT_EQ(std::make_tuple(block(base).size(), block(base + "_2").size(), block(base + "_3_Herm").size(),
                              block(base + "_0_herm").size(), block(base + "_3_herm").size()),
              std::make_tuple(116u, 16u, 8052u, 180u, 60u));
    EXPECT_EQ(block_count(), 1 + 4 * 3);

    ASSERT_EQ(SAA_sceneSave(&db.database, &db.scene), SAA_OK) << test::last_error();
    ASSERT_EQ(db.load("test"), SAA_OK);
    model = model_named(db.scene, "Sphere");

    auto saved = fcurve_alloc();
    std::swap(*saved, *fcurve_find(id));
    fcurve_delete_all();
    EXPECT_EQ(fcurve_load_user_data(&db.scene, &model, id), id);
    const FCurve *loaded = fcurve_find(id);
    ASSERT_NE(loaded, nullptr);
    expect_same_curve(*saved, *loaded);
    // The stored view limits give way to the editor's start values; the flags stay.
    EXPECT_EQ(loaded->limits[0].curve->y_max, 1.0f);
    EXPECT_EQ(loaded->limits[0].curve->x_max, 100.0f);
    for (size_t f = 0; f < std::size(frames); ++f) {
        std::array<float, 4> v{};
        fcurve_query(id, frames[f], v);
        EXPECT_EQ(v, expected[f]) << frames[f];
    }
}

TEST_F(FCurveUserData, BlocksFromTheOtherByteOrderAreSwapped) {
    const int id = animated_curve();
    const FCurve &f = *fcurve_find(id);
    const std::string base = "FCurve_" + std::to_string(id);
    set_block(base, encode_fcurve_record(f, true));
    for (int i = 0; i < f.nb_curves; ++i) {
        const std::string name = base + "_" + std::to_string(i);
        set_block(name, encode_limit_record(f.limits[i], true));
        set_block(name + "_Herm", encode_herm_record(*f.limits[i].curve, true));
        set_block(name + "_herm", encode_herm_points(*f.limits[i].curve, true));
    }
    for (int k = 0, n = 0; SAA_modelGetNbUserData(&db.scene, &model, &n) == SAA_OK && k < n; ++k) {
        char name[64];
        int size = 0;
        ASSERT_EQ(SAA_modelGetUserDataInfo(&db.scene, &model, k, sizeof name, name, &size), SAA_OK);
        ASSERT_EQ(SAA_modelSetUserDataOrder(&db.scene, &model, name, 1), SAA_OK);
    }
    const int loaded = fcurve_load_user_data(&db.scene, &model, id);
    ASSERT_NE(loaded, 0);
    EXPECT_NE(loaded, id);
    expect_same_curve(f, *fcurve_find(loaded));
}

TEST_F(FCurveUserData, MissingOrDamagedBlocksLoadAsNoCurve) {
    const int id = animated_curve();
    const std::string base = "FCurve_" + std::to_string(id);
    ASSERT_EQ(fcurve_save_user_data(&db.scene, &model, id), 0);
    const int curves = fcurve_count();
    auto expect_refused = [&](const char *what) {
        EXPECT_EQ(fcurve_load_user_data(&db.scene, &model, id), 0) << what;
        EXPECT_EQ(fcurve_count(), curves) << what;
        ASSERT_EQ(fcurve_save_user_data(&db.scene, &model, id), 0);
    };

    SAA_modelDestroyUserData(&db.scene, &model, (base + "_2_herm").c_str());
    expect_refused("no keys of the last component");
    auto herm = block(base + "_1_Herm");
    herm.pop_back();
    set_block(base + "_1_Herm", herm);
    expect_refused("curve record one byte short");
    auto keys = block(base + "_0_herm");
    keys.resize(keys.size() + 60);
    set_block(base + "_0_herm", keys);
    expect_refused("more keys than the curve record counts");
    auto record = block(base);
    record[8] = 6;  // six components
    set_block(base, record);
    expect_refused("too many components");
    auto huge = block(base + "_0_Herm");
    huge[4] = huge[5] = huge[6] = 0xff;
    huge[7] = 0x7f;
    set_block(base + "_0_Herm", huge);
    expect_refused("a huge key count");
    set_block(base + "_1", {1, 2, 3});
    expect_refused("limit record of 3 bytes");
}

TEST_F(FCurveUserData, RandomBlocksNeverCrashTheLoader) {
    std::mt19937 rng(99);
    const std::string base = "FCurve_7";
    int loaded = 0;
    for (int round = 0; round < 80; ++round) {
        const size_t sizes[] = {116, 16, 8052, 60, 120, 0, 3};
        auto random_block = [&](size_t size) {
            std::vector<uint8_t> b(size);
            for (auto &v : b) v = static_cast<uint8_t>(rng());
            return b;
        };
        auto record = random_block(116);
        record[8] = static_cast<uint8_t>(1 + rng() % 4);  // usually a plausible component count
        record[9] = record[10] = record[11] = 0;
        set_block(base, record);
        for (int i = 0; i < 4; ++i) {
            const std::string name = base + "_" + std::to_string(i);
            set_block(name, random_block(rng() % 8 ? 16 : sizes[rng() % 7]));
            auto herm = random_block(rng() % 8 ? 8052 : sizes[rng() % 7]);
            const int points = static_cast<int>(1 + rng() % 3);
            if (herm.size() == 8052 && rng() % 8) {
                herm[4] = static_cast<uint8_t>(points);
                herm[5] = herm[6] = herm[7] = 0;
            }
            set_block(name + "_Herm", herm);
            set_block(name + "_herm", random_block(rng() % 8 ? 60 * points : sizes[rng() % 7]));
        }
        if (rng() % 2)
            SAA_modelSetUserDataOrder(&db.scene, &model, (base + "_0_herm").c_str(), 1);
        const int id = fcurve_load_user_data(&db.scene, &model, 7);
        if (id) {
            ++loaded;
            float values[4] = {};
            fcurve_query(id, static_cast<int>(rng() % 100), values);
            fcurve_autokey(id, 5, values, 1);
        }
    }
    EXPECT_GT(loaded, 0) << "some random curves are well-formed enough to load";
}

}  // namespace
}  // namespace vellimor
