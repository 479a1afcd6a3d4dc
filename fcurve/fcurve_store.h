// The stored form of function curves: the four kinds of blocks a curve is kept in (its record,
// and per component a limit record, a curve record and its keys), field by field at their offsets.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "fcurve/fcurve_list.h"

namespace vellimor {

inline constexpr size_t kFCurveRecordSize = 116;
inline constexpr size_t kFCurveLimitRecordSize = 16;
inline constexpr size_t kHermRecordSize = 8052;
inline constexpr size_t kHermPointRecordSize = 60;

// Encoders; `swap` writes the other byte order (the writer itself always uses its own).
std::vector<uint8_t> encode_fcurve_record(const FCurve &fcurve, bool swap = false);
std::vector<uint8_t> encode_limit_record(const FCurveLimit &limit, bool swap = false);
std::vector<uint8_t> encode_herm_record(const Herm &curve, bool swap = false);
std::vector<uint8_t> encode_herm_points(const Herm &curve, bool swap = false);

// Decoders take what a block carries into the record; false when the block has the wrong size or
// impossible contents (a component count outside 1..5, a curve without keys).
bool decode_fcurve_record(std::span<const uint8_t> block, bool swap, FCurve &fcurve);
bool decode_limit_record(std::span<const uint8_t> block, bool swap, FCurveLimit &limit);
// A new curve with the stored flags, colour and key count; the limit values are reset to the
// editor's defaults (x 0..100, y 0..1).
std::unique_ptr<Herm> decode_herm_record(std::span<const uint8_t> block, bool swap, int &nb_points);
bool decode_herm_points(std::span<const uint8_t> block, bool swap, int nb_points, Herm &curve);

}  // namespace vellimor
