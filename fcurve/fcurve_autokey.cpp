#include "fcurve/fcurve_autokey.h"

#include <algorithm>
#include <cmath>

#include "fcurve/fcurve_list.h"
#include "host/status.h"

namespace vellimor {

namespace {

// A curve already within this of the new value needs no new key.
constexpr float kSameValue = 0.001f;

// The key that sits on `frame` (its x rounded to the nearest frame), or null.
HermKey *key_at_frame(Herm &curve, int frame) {
    for (HermKey &p : curve.points)
        if (std::trunc(p.x + 0.5f) == static_cast<double>(frame)) return &p;
    return nullptr;
}

// Adds a key where the pick hit the curve; returns its index or -1.
int insert_at_pick(Herm &curve, const HermPick &pick, float frame, float value) {
    const int n = curve.nb_points();
    if (n == 1 || pick.index == -1) return HermInsertPoint(curve, 0, frame, value);
    if (pick.index == n) return HermInsertPoint(curve, n, frame, value);
    const HermParameter at = HermNearestParameter(curve, frame);
    return HermSplit(curve, at.segment, at.t);
}

}  // namespace

int fcurve_autokey(int id, int frame, std::span<const float> values, int autokey_on) {
    FCurve *f = fcurve_find(id);
    if (!f) return 0;
    const int count = std::min({f->nb_curves, kFCurveMaxComponents, static_cast<int>(values.size())});
    const float x = static_cast<float>(frame);
    for (int i = 0; i < count; ++i) {
        Herm *curve = f->limits[i].curve.get();
        if (!f->use[i] || !curve) continue;
        if (HermKey *key = key_at_frame(*curve, frame)) {
            key->y = values[i];
            HermRecompute(*curve);
            continue;
        }
        if (!autokey_on) {
            status_message(kStatusWarning, "%s",
                           "Turn on autokeying or use the FCurve editor to edit frames with no "
                           "animation keys");
            return 0;
        }
        const float current = HermEvaluate(curve, x);
        if (std::fabs(current - values[i]) < kSameValue) continue;
        const HermPick pick = HermPickCurve(*curve, x, current);
        if (pick.index == herm::kNoHit) {
            status_message(kStatusWarning, "%s", "Can't preform autokeying");
            return 0;
        }
        const int k = insert_at_pick(*curve, pick, x, current);
        HermMoveHandle(*curve, herm::kPoint, k, x, values[i], pick.type);
        status_message(kStatusPlain, "%s", "FCurve has been autokeyed");
    }
    return 1;
}

}  // namespace vellimor
