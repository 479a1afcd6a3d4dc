#include "fcurve/fcurve_store.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <random>
#include <tuple>

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

// Expects the fields at the offsets: 32-bit integers, 16-bit integers and floats.
void expect_fields(const std::vector<uint8_t> &b, bool swapped, std::initializer_list<std::pair<size_t, int32_t>> ints,
                   std::initializer_list<std::pair<size_t, int16_t>> shorts,
                   std::initializer_list<std::pair<size_t, float>> floats) {
    for (const auto &[at, v] : ints) EXPECT_EQ(field<int32_t>(b, at, swapped), v) << "at " << at;
    for (const auto &[at, v] : shorts) EXPECT_EQ(field<int16_t>(b, at, swapped), v) << "at " << at;
    for (const auto &[at, v] : floats) EXPECT_EQ(field<float>(b, at, swapped), v) << "at " << at;
}

std::unique_ptr<FCurve> sample_fcurve() {
    auto f = fcurve_alloc();
    f->id = 77;
    f->type = 3;
    f->nb_curves = 3;
    f->use[0] = 1;
    f->use[1] = 0;
    f->use[2] = 5;
    f->use[4] = 9;
    f->limits[1].has_min = 1;
    f->limits[1].has_max = 2;
    f->limits[1].min = -0.5f;
    f->limits[1].max = 4.25f;
    return f;
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
    c->color[0] = 0.25f;
    c->color[1] = 0.5f;
    c->color[2] = 0.75f;
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
        std::vector<uint8_t> bytes(sizes[round % std::size(sizes)]);
        for (auto &b : bytes) b = static_cast<uint8_t>(rng());
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

}  // namespace
}  // namespace vellimor
