// The curve groups' stored blocks: their layouts in either byte order, and saving them to and
// loading them from a model's user data, whole, swapped, damaged or random.
#include "fcurve/fcurve_store.h"

#include "support/test_prelude.h"

#include <random>

#include "fcurve/fcurve_autokey.h"
#include "fcurve/fcurve_list.h"
#include "fcurve/fcurve_user_data.h"
#include "support/temp_database.h"

namespace vellimor {
namespace {

// Field readers for checking a block at its offsets, in either byte order.
template <typename T>
T field(const std::vector<uint8_t> &b, size_t offset, bool swapped = false) {
    uint8_t raw[sizeof(T)];
    std::memcpy(raw, b.data() + offset, sizeof raw);
    if (swapped) std::reverse(raw, raw + sizeof raw);
    T v;
    std::memcpy(&v, raw, sizeof v);
    return v;
}

void expect_fields(const std::vector<uint8_t> &b, bool swapped, std::initializer_list<std::pair<size_t, int32_t>> ints,
                   std::initializer_list<std::pair<size_t, int16_t>> shorts,
                   std::initializer_list<std::pair<size_t, float>> floats) {
    for (const auto &[at, v] : ints) EXPECT_EQ(field<int32_t>(b, at, swapped), v) << "at " << at;
    for (const auto &[at, v] : shorts) EXPECT_EQ(field<int16_t>(b, at, swapped), v) << "at " << at;
    for (const auto &[at, v] : floats) EXPECT_EQ(field<float>(b, at, swapped), v) << "at " << at;
}

std::vector<uint8_t> random_bytes(std::mt19937 &rng, size_t size) {
    std::vector<uint8_t> bytes(size);
    for (auto &b : bytes) b = static_cast<uint8_t>(rng());
    return bytes;
}

// Id 77, three components, a value of its own in each use flag and in the second limit record.
std::unique_ptr<FCurve> sample_fcurve() {
    return std::make_unique<FCurve>(FCurve{77, 3, 3, {1, 0, 5, 0, 9}, {{}, {1, 2, -0.5f, 4.25f}}});
}

std::unique_ptr<Herm> sample_herm() {
    auto c = HermCreate(1.5f, -2.0f);
    HermInsertPoint(*c, 1, 11.0f, 3.0f);
    HermInsertPoint(*c, 2, 24.0f, 0.5f);
    c->points[1].type = herm::Break;
    c->points[1].in_dy = 0.75f;
    c->points[2].out_dx = 6.5f;
    HermRecompute(*c);
    HermSetLimit(*c, herm::kYMin, -3);
    HermSetLimit(*c, herm::kYMax, 7);
    std::ranges::copy(std::array{0.25f, 0.5f, 0.75f}, c->color);
    return c;
}

TEST(FCurveStore, RecordOf116BytesInEitherByteOrder) {
    const auto f = sample_fcurve();
    for (bool swapped : {false, true}) {
        const auto b = encode_fcurve_record(*f, swapped);
        ASSERT_EQ(b.size(), 116u);
        expect_fields(b, swapped, {{0, 77}, {4, 3}, {8, 3}, {12, 1}, {20, 5}, {28, 9}, {60, 0}, {112, 0}},
                      {{48, 1}, {50, 2}}, {{52, -0.5f}, {56, 4.25f}});

        FCurve back;
        ASSERT_TRUE(decode_fcurve_record(b, swapped, back));
        EXPECT_EQ(std::tie(back.id, back.type, back.nb_curves, back.use[2], back.use[4]), std::make_tuple(77, 3, 3, 5, 9));
        // The limit records inside are not read back: each component has its own block.
        EXPECT_EQ(back.limits[1].has_min, 0);
    }
}

TEST(FCurveStore, HermRecordOf8052BytesLoadsWithDefaultLimitValues) {
    const auto c = sample_herm();
    for (bool swapped : {false, true}) {
        const auto b = encode_herm_record(*c, swapped);
        ASSERT_EQ(b.size(), 8052u);
        EXPECT_TRUE(std::all_of(b.begin() + 12, b.begin() + 8012, [](uint8_t v) { return v == 0; }));
        expect_fields(b, swapped, {{0, 0}, {4, 3}, {8, 10}, {8012, 10}, {8044, 0}}, {},
                      {{8024, -3.0f}, {8028, 7.0f}, {8032, 0.25f}, {8040, 0.75f}});

        int nb_points = 0;
        auto back = decode_herm_record(b, swapped, nb_points);
        ASSERT_NE(back, nullptr);
        EXPECT_EQ(std::tie(nb_points, back->limit_flags, back->color[1]), std::make_tuple(3, 10u, 0.5f));
        // The flags stay; the values become the editor's defaults.
        EXPECT_EQ(std::tie(back->x_min, back->x_max, back->y_min, back->y_max), std::make_tuple(0.0f, 100.0f, 0.0f, 1.0f));
        EXPECT_EQ(back->capacity(), 10);
    }
}

TEST(FCurveStore, KeysOf60BytesEachAndCoefficientsRecomputed) {
    const auto c = sample_herm();
    for (bool swapped : {false, true}) {
        const auto b = encode_herm_points(*c, swapped);
        ASSERT_EQ(b.size(), 180u);
        expect_fields(b, swapped, {{60 + 24, herm::Break}}, {},
                      {{60 + 0, 11.0f}, {60 + 4, 3.0f}, {60 + 12, 0.75f}, {120 + 16, 6.5f},
                       {28, c->points[0].coef_x[0]}, {44 + 12, c->points[0].coef_y[3]}});

        // Stored coefficients are ignored: the loaded curve computes its own.
        auto damaged = b;
        std::fill(damaged.begin() + 28, damaged.begin() + 60, uint8_t{0x7f});
        Herm back;
        ASSERT_TRUE(decode_herm_points(damaged, swapped, 3, back));
        ASSERT_EQ(back.nb_points(), 3);
        for (int k = 0; k < 3; ++k) {
            const HermKey &p = back.points[k], &q = c->points[k];
            auto fields = [](const HermKey &h) {
                return std::make_tuple(h.x, h.y, h.in_dx, h.in_dy, h.out_dx, h.out_dy, h.type,
                                       std::to_array(h.coef_x), std::to_array(h.coef_y));
            };
            EXPECT_EQ(fields(p), fields(q)) << "key " << k;
        }
    }
}

TEST(FCurveStore, BlocksOfTheWrongSizeOrWithImpossibleCountsAreRefused) {
    const auto f = sample_fcurve();
    auto record = encode_fcurve_record(*f);
    FCurve back;
    EXPECT_FALSE(decode_fcurve_record(std::span(record).first(115), false, back));
    record.push_back(0);
    EXPECT_FALSE(decode_fcurve_record(record, false, back));
    record.pop_back();
    for (int32_t count : {0, 6, -1, 0x7fffffff}) {
        std::memcpy(record.data() + 8, &count, 4);
        EXPECT_FALSE(decode_fcurve_record(record, false, back)) << count;
    }
    FCurveLimit limit;
    EXPECT_FALSE(decode_limit_record({}, false, limit));

    const auto c = sample_herm();
    int nb_points = 0;
    const auto herm_record = encode_herm_record(*c);
    EXPECT_EQ(decode_herm_record(std::span(herm_record).first(8051), false, nb_points), nullptr);
    const auto points = encode_herm_points(*c);
    Herm target;
    EXPECT_FALSE(decode_herm_points(points, false, 2, target));
    EXPECT_FALSE(decode_herm_points(points, false, 4, target));
    EXPECT_FALSE(decode_herm_points({}, false, 0, target));
    EXPECT_FALSE(decode_herm_points(points, false, -3, target));
    // 60 times this count wraps to 180 in 32 bits.
    EXPECT_FALSE(decode_herm_points(points, false, 0x44444447, target));
    EXPECT_FALSE(decode_herm_points(points, false, 0x7fffffff, target));
}

TEST(FCurveStore, RandomBlocksNeverReadOutOfBounds) {
    std::mt19937 rng(1234);
    for (int round = 0; round < 400; ++round) {
        const size_t sizes[] = {0, 1, 15, 16, 60, 115, 116, 120, 180, 8052, rng() % 9000};
        const std::vector<uint8_t> bytes = random_bytes(rng, sizes[round % std::size(sizes)]);
        const bool swap = round & 1;
        FCurve f;
        FCurveLimit limit;
        int nb_points = 0;
        if (decode_fcurve_record(bytes, swap, f)) {
            EXPECT_GE(f.nb_curves, 1);
            EXPECT_LE(f.nb_curves, 5);
        }
        decode_limit_record(bytes, swap, limit);
        if (auto c = decode_herm_record(bytes, swap, nb_points)) {
            Herm target;
            decode_herm_points(bytes, swap, nb_points, target);
        }
        Herm target;
        if (decode_herm_points(bytes, swap, static_cast<int>(bytes.size() / 60), target)) {
            HermEvaluate(&target, 3.0f);
            HermNearestParameter(target, 5.0f);
            HermPickCurve(target, 1.0f, 1.0f);
        }
    }
}

class FCurveUserData : public ::testing::Test {
protected:
    void SetUp() override {
        fcurve_delete_all();
        ASSERT_EQ(db.load_text(test::scene_with_models(R"({"name": "Sphere", "type": 0},
                                                    {"name": "Other", "type": 0})")),
                  SAA_OK)
            << test::last_error();
        model = test::model_named(db.scene, "Sphere");
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

    test::TempDatabase db;
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
    model = test::model_named(db.scene, "Sphere");

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
        auto random_block = [&](size_t size) { return random_bytes(rng, size); };
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
