#include "fcurve/fcurve_store.h"

#include "fcurve/stored_fields.h"

namespace vellimor {

namespace {

// "FCurve_<id>" record.
constexpr size_t kRecordId = 0, kRecordType = 4, kRecordNbCurves = 8, kRecordUse = 12,
                 kRecordLimits = 32, kRecordLink = 112;
// Limit record.
constexpr size_t kLimitHasMin = 0, kLimitHasMax = 2, kLimitMin = 4, kLimitMax = 8, kLimitLink = 12;
// "Herm" record; the two reserved sample tables between capacity and limit_flags stay zero.
constexpr size_t kHermLink = 0, kHermNbPoints = 4, kHermCapacity = 8, kHermLimitFlags = 8012,
                 kHermXMin = 8016, kHermXMax = 8020, kHermYMin = 8024, kHermYMax = 8028,
                 kHermColor = 8032, kHermNbSamples = 8044, kHermDirty = 8048;
// One key of the "herm" block.
constexpr size_t kPointX = 0, kPointY = 4, kPointInDx = 8, kPointInDy = 12, kPointOutDx = 16,
                 kPointOutDy = 20, kPointType = 24, kPointCoefX = 28, kPointCoefY = 44;

// The view a loaded curve starts with, whatever was stored.
constexpr float kLoadedXMin = 0, kLoadedXMax = 100, kLoadedYMin = 0, kLoadedYMax = 1;

void put_limit(StoredFieldWriter &w, size_t at, const FCurveLimit &limit) {
    w.put_i16(at + kLimitHasMin, limit.has_min);
    w.put_i16(at + kLimitHasMax, limit.has_max);
    w.put_f32(at + kLimitMin, limit.min);
    w.put_f32(at + kLimitMax, limit.max);
    w.put_i32(at + kLimitLink, 0);
}

}  // namespace

std::vector<uint8_t> encode_fcurve_record(const FCurve &fcurve, bool swap) {
    StoredFieldWriter w(kFCurveRecordSize, swap);
    w.put_i32(kRecordId, fcurve.id);
    w.put_i32(kRecordType, fcurve.type);
    w.put_i32(kRecordNbCurves, fcurve.nb_curves);
    for (int i = 0; i < kFCurveMaxComponents; ++i) {
        w.put_i32(kRecordUse + 4 * i, fcurve.use[i]);
        put_limit(w, kRecordLimits + kFCurveLimitRecordSize * i, fcurve.limits[i]);
    }
    w.put_i32(kRecordLink, 0);
    return w.take();
}

std::vector<uint8_t> encode_limit_record(const FCurveLimit &limit, bool swap) {
    StoredFieldWriter w(kFCurveLimitRecordSize, swap);
    put_limit(w, 0, limit);
    return w.take();
}

std::vector<uint8_t> encode_herm_record(const Herm &curve, bool swap) {
    StoredFieldWriter w(kHermRecordSize, swap);
    w.put_i32(kHermLink, 0);
    w.put_i32(kHermNbPoints, curve.nb_points());
    w.put_i32(kHermCapacity, curve.capacity());
    w.put_u32(kHermLimitFlags, curve.limit_flags);
    w.put_f32(kHermXMin, curve.x_min);
    w.put_f32(kHermXMax, curve.x_max);
    w.put_f32(kHermYMin, curve.y_min);
    w.put_f32(kHermYMax, curve.y_max);
    for (int c = 0; c < 3; ++c) w.put_f32(kHermColor + 4 * c, curve.color[c]);
    w.put_i32(kHermNbSamples, curve.nb_samples);
    w.put_i32(kHermDirty, curve.dirty);
    return w.take();
}

std::vector<uint8_t> encode_herm_points(const Herm &curve, bool swap) {
    StoredFieldWriter w(kHermPointRecordSize * curve.points.size(), swap);
    size_t at = 0;
    for (const HermKey &p : curve.points) {
        w.put_f32(at + kPointX, p.x);
        w.put_f32(at + kPointY, p.y);
        w.put_f32(at + kPointInDx, p.in_dx);
        w.put_f32(at + kPointInDy, p.in_dy);
        w.put_f32(at + kPointOutDx, p.out_dx);
        w.put_f32(at + kPointOutDy, p.out_dy);
        w.put_i32(at + kPointType, p.type);
        for (int c = 0; c < 4; ++c) {
            w.put_f32(at + kPointCoefX + 4 * c, p.coef_x[c]);
            w.put_f32(at + kPointCoefY + 4 * c, p.coef_y[c]);
        }
        at += kHermPointRecordSize;
    }
    return w.take();
}

bool decode_fcurve_record(std::span<const uint8_t> block, bool swap, FCurve &fcurve) {
    if (block.size() != kFCurveRecordSize) return false;
    const StoredFieldReader r(block, swap);
    const int32_t nb_curves = r.i32(kRecordNbCurves);
    if (nb_curves < 1 || nb_curves > kFCurveMaxComponents) return false;
    fcurve.id = r.i32(kRecordId);
    fcurve.type = r.i32(kRecordType);
    fcurve.nb_curves = nb_curves;
    for (int i = 0; i < kFCurveMaxComponents; ++i) fcurve.use[i] = r.i32(kRecordUse + 4 * i);
    return true;
}

bool decode_limit_record(std::span<const uint8_t> block, bool swap, FCurveLimit &limit) {
    if (block.size() != kFCurveLimitRecordSize) return false;
    const StoredFieldReader r(block, swap);
    limit.has_min = r.i16(kLimitHasMin);
    limit.has_max = r.i16(kLimitHasMax);
    limit.min = r.f32(kLimitMin);
    limit.max = r.f32(kLimitMax);
    return true;
}

std::unique_ptr<Herm> decode_herm_record(std::span<const uint8_t> block, bool swap, int &nb_points) {
    nb_points = 0;
    if (block.size() != kHermRecordSize) return nullptr;
    const StoredFieldReader r(block, swap);
    auto curve = std::make_unique<Herm>();
    curve->points.reserve(herm::kInitialCapacity);
    nb_points = r.i32(kHermNbPoints);
    curve->limit_flags = r.u32(kHermLimitFlags);
    for (int c = 0; c < 3; ++c) curve->color[c] = r.f32(kHermColor + 4 * c);
    curve->nb_samples = r.i32(kHermNbSamples);
    curve->x_min = kLoadedXMin;
    curve->x_max = kLoadedXMax;
    curve->y_min = kLoadedYMin;
    curve->y_max = kLoadedYMax;
    return curve;
}

bool decode_herm_points(std::span<const uint8_t> block, bool swap, int nb_points, Herm &curve) {
    // Compared in 64 bits so that a huge stored count cannot wrap onto the block's size.
    if (nb_points < 1 ||
        static_cast<uint64_t>(nb_points) * kHermPointRecordSize != static_cast<uint64_t>(block.size()))
        return false;
    const StoredFieldReader r(block, swap);
    curve.points.clear();
    curve.points.reserve(static_cast<size_t>(nb_points));
    for (size_t at = 0; at < block.size(); at += kHermPointRecordSize) {
        HermKey p;
        p.x = r.f32(at + kPointX);
        p.y = r.f32(at + kPointY);
        p.in_dx = r.f32(at + kPointInDx);
        p.in_dy = r.f32(at + kPointInDy);
        p.out_dx = r.f32(at + kPointOutDx);
        p.out_dy = r.f32(at + kPointOutDy);
        p.type = r.i32(at + kPointType);
        curve.points.push_back(p);
    }
    HermRecompute(curve);
    return true;
}

}  // namespace vellimor
