// The ranges of the fur settings. Every reader of a value (the stored blocks, the settings text
// file, the designer's controls) brings it into these ranges, so that no stored value can make a
// render exhaust the machine or read outside its buffers. The ranges hold every value a real
// groom uses; they are set by what the buffers built from a value cost.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vellimor {

struct PatchData;

// Segments of one hair: a hair of this many segments is already a smooth curve, and the
// drawing holds (segments + 1) points for every hair of the frame.
constexpr int kMaxHairSegments = 1000;
// Channel and colour map resolution: a float map of 2048² cells is 16 MB.
constexpr int kMaxMapResolution = 2048;
// Sub-patch cells per direction of a surface.
constexpr int kMaxSubdivision = 512;
// Roots one surface can hold (64 bytes each: 1 GB).
constexpr long long kMaxHairsPerSurface = 1LL << 24;
// Hair density per square unit; the roots of a surface are bounded above as well.
constexpr int kMaxHairDensity = 100000000;
// Shells of the shadow model: every level adds a grid of points and a shell of triangles.
constexpr int kMaxShadowLevels = 64;
// Frames averaged by the velocity and acceleration smoothing (each evaluates every root).
constexpr int kMaxSmoothFrames = 100;
// Frame offset of a picture sequence: frame numbers stay far from the integer limits.
constexpr int kMaxSequenceOffset = 100000000;
// Magnitude of any real setting: far beyond any scene's scale, far below float overflow in the
// arithmetic of hair geometry and shading.
constexpr float kMaxRealMagnitude = 1.0e6f;

// The inclusive range of one setting.
struct FieldRange {
    double min, max;
};

// The range of a setting, by its key as the settings text file spells it ("length_map_res",
// "segments.value", "map_res" of a main colour key, ...). Settings only kept with the record take
// any value: integers any int, reals any finite value within kMaxRealMagnitude.
FieldRange field_range(std::string_view key, bool is_real);

// True when the range is the one of settings without a range of their own.
bool is_any_value_range(FieldRange range, bool is_real);

// A 16-bit setting as read, before it is narrowed: the value when it lies in the setting's range
// (every 16-bit setting's range fits 16 bits), else `current` after the warning
// bound_fur_record gives, so that 65600 is refused instead of taken as 64.
short narrowed_setting(const std::string &surface, std::string_view key, long long value, short current);

// True when the map resolution can be built (1..kMaxMapResolution).
bool map_resolution_in_range(int res);

// The file number of a picture sequence at a frame, kept within the integers.
int sequence_file_number(long long sequence_offset, long long frame);

// Brings every numeric setting of the record, its texture keys and its main colour keys into its
// range: a value outside (a real that is no number included) is refused, that is replaced by the
// setting's default, and reported as a warning naming the surface and the setting. Damage is
// not taken as a request for the most a setting allows. Returns the number of values replaced.
int bound_fur_record(PatchData &record);

}  // namespace vellimor
