#include "furdata/field_bounds.h"

#include <climits>
#include <cstdio>
#include <string>

#include "furdata/fur_text_fields.h"
#include "furdata/patch_data.h"
#include "host/status.h"

namespace vellimor {
namespace {

constexpr int kMaxColorKeyCount = kMaxColorKeys - 1;

constexpr FieldRange kFlag{0, 1};
constexpr FieldRange kAnyInteger{INT_MIN, INT_MAX};
constexpr FieldRange kAnyReal{-kMaxRealMagnitude, kMaxRealMagnitude};
// A relative random amount spreads a value between value·(1 - r) and value: a negative amount
// would raise it beyond every key's value (and so past the caps of segments and density).
constexpr FieldRange kRelativeRandom{0, 1};

// How a key of the table names the settings it covers.
enum class KeyMatch { kWhole, kPrefix, kSuffix };

struct NamedRange {
    std::string_view key;
    KeyMatch match;
    FieldRange range;
};

// Every setting's range; the first entry that matches a key gives it. Settings that are only kept
// with the record take any value of their type.
const NamedRange kRanges[] = {
    {"sub_res_u", KeyMatch::kWhole, {1, kMaxSubdivision}},
    {"sub_res_v", KeyMatch::kWhole, {1, kMaxSubdivision}},
    {"number_of_hairs_pr_square_unit", KeyMatch::kWhole, {0, kMaxHairDensity}},
    {"nbColorKeys[", KeyMatch::kPrefix, {0, kMaxColorKeyCount}},
    {"group", KeyMatch::kWhole, {0, SHRT_MAX}},
    {"max_number_of_segments", KeyMatch::kWhole, {0, kMaxHairSegments}},
    {"number_shadow_levels", KeyMatch::kWhole, {0, kMaxShadowLevels}},
    {"velocity_smooth", KeyMatch::kWhole, {1, kMaxSmoothFrames}},
    {"acceleration_smooth", KeyMatch::kWhole, {1, kMaxSmoothFrames}},
    {"color_interpolation_method", KeyMatch::kWhole, {0, 2}},
    {"render_mode", KeyMatch::kWhole, {2000, 2002}},
    {"Patch_display_mode", KeyMatch::kWhole, {0, 5}},
    {"key_mode", KeyMatch::kWhole, {0, 3}},
    {"segments.value", KeyMatch::kWhole, {-kMaxHairSegments, kMaxHairSegments}},
    {"segments_picture_scale.value", KeyMatch::kWhole, {-kMaxHairSegments, kMaxHairSegments}},
    {"length.random", KeyMatch::kWhole, kRelativeRandom},
    {"curl.random", KeyMatch::kWhole, kRelativeRandom},
    {"segments.random", KeyMatch::kWhole, kRelativeRandom},
    {"gravity.random", KeyMatch::kWhole, kRelativeRandom},
    {"density.random", KeyMatch::kWhole, kRelativeRandom},
    {"map_res", KeyMatch::kSuffix, {1, kMaxMapResolution}},
    {"sequence_offset", KeyMatch::kSuffix, {-kMaxSequenceOffset, kMaxSequenceOffset}},
    {"error_handling", KeyMatch::kSuffix, {0, 4}},
    {".active", KeyMatch::kSuffix, kFlag},
    {"use_sequence", KeyMatch::kSuffix, kFlag},
    {"picture_was_found", KeyMatch::kSuffix, kFlag},
    {"color_active[", KeyMatch::kPrefix, kFlag},
    {"presistant_rebuild", KeyMatch::kWhole, kFlag},
    {"deleted", KeyMatch::kWhole, kFlag},
    {"calc_velocity_smooth", KeyMatch::kWhole, kFlag},
    {"calc_acceleration_smooth", KeyMatch::kWhole, kFlag},
    {"wind_move_with_geometry", KeyMatch::kWhole, kFlag},
    {"TileU", KeyMatch::kWhole, kFlag},
    {"TileV", KeyMatch::kWhole, kFlag},
    {"allways_draw_hairs", KeyMatch::kWhole, kFlag},
    {"is_selected", KeyMatch::kWhole, kFlag},
    {"casts_shadow", KeyMatch::kWhole, kFlag},
    {"selected", KeyMatch::kWhole, kFlag},
    {"this_key_uses_picture", KeyMatch::kWhole, kFlag},
};

bool matches(const NamedRange &named, std::string_view key) {
    switch (named.match) {
    case KeyMatch::kWhole: return key == named.key;
    case KeyMatch::kPrefix: return key.starts_with(named.key);
    case KeyMatch::kSuffix: return key.ends_with(named.key);
    }
    return false;
}

std::string number_text(double x, bool is_real) {
    char text[64];
    if (is_real)
        std::snprintf(text, sizeof text, "%g", x);
    else
        std::snprintf(text, sizeof text, "%lld", static_cast<long long>(x));
    return text;
}

void report_refused(const std::string &surface, const std::string &field, double old_value, double new_value,
                    bool is_real) {
    status_message(kStatusWarning, "%s: %s = %s is out of range, %s used", surface.c_str(), field.c_str(),
                   number_text(old_value, is_real).c_str(), number_text(new_value, is_real).c_str());
}

// Walks the numeric fields of one record kind, comparing each with the same field of a record of
// defaults, and replaces what is out of range.
class Bounder {
public:
    explicit Bounder(const std::string &surface) : surface_(surface) {}

    template <class Record>
    void fields(Record &record, const Record &defaults,
                std::span<const TextField<Record>> table, const std::string &where) {
        for (const TextField<Record> &f : table) {
            const TextFieldRef ref = f.field(record);
            const TextFieldRef fallback = f.field(const_cast<Record &>(defaults));
            if (auto *i = std::get_if<int *>(&ref))
                integer(**i, *std::get<int *>(fallback), f.key, where);
            else if (auto *s = std::get_if<short *>(&ref))
                small_integer(**s, *std::get<short *>(fallback), f.key, where);
            else
                real(*std::get<float *>(ref), *std::get<float *>(fallback), f.key, where);
        }
    }

    int replaced() const { return replaced_; }

private:
    void report(const std::string &where, const char *key, double old_value, double new_value,
                bool is_real) {
        ++replaced_;
        report_refused(surface_, where.empty() ? key : where + " " + key, old_value, new_value, is_real);
    }

    void integer(int &value, int fallback, const char *key, const std::string &where) {
        const FieldRange r = field_range(key, false);
        if (value >= r.min && value <= r.max) return;
        report(where, key, value, fallback, false);
        value = fallback;
    }

    void small_integer(short &value, short fallback, const char *key, const std::string &where) {
        int wide = value;
        integer(wide, fallback, key, where);
        value = static_cast<short>(wide);
    }

    void real(float &value, float fallback, const char *key, const std::string &where) {
        const FieldRange r = field_range(key, true);
        if (value >= r.min && value <= r.max) return;  // false for a value that is no number
        report(where, key, value, fallback, true);
        value = fallback;
    }

    const std::string &surface_;
    int replaced_ = 0;
};

std::unique_ptr<Picture> *channel_picture_slot(PatchData &r, int channel) {
    std::unique_ptr<Picture> *slots[kRecordChannels] = {
        &r.length_picture,   &r.curl_picture,    &r.grow_picture,   &r.bend_picture,
        &r.segments_picture, &r.gravity_picture, &r.density_picture};
    return slots[channel];
}

std::string numbered(const char *block, int a, int b = -1) {
    std::string text = std::string(block) + " " + std::to_string(a);
    if (b >= 0) text += " " + std::to_string(b);
    return text;
}

}  // namespace

FieldRange field_range(std::string_view key, bool is_real) {
    for (const NamedRange &named : kRanges)
        if (matches(named, key)) return named.range;
    return is_real ? kAnyReal : kAnyInteger;
}

bool is_any_value_range(FieldRange range, bool is_real) {
    const FieldRange any = is_real ? kAnyReal : kAnyInteger;
    return range.min == any.min && range.max == any.max;
}

short narrowed_setting(const std::string &surface, std::string_view key, long long value, short current) {
    const FieldRange r = field_range(key, false);
    if (value >= r.min && value <= r.max) return static_cast<short>(value);
    report_refused(surface, std::string(key), double(value), current, false);
    return current;
}

bool map_resolution_in_range(int res) { return res >= 1 && res <= kMaxMapResolution; }

int sequence_file_number(long long sequence_offset, long long frame) {
    const long long n = sequence_offset + frame;
    return n < INT_MIN ? INT_MIN : n > INT_MAX ? INT_MAX : static_cast<int>(n);
}

int bound_fur_record(PatchData &record) {
    static const std::unique_ptr<PatchData> defaults = patch_new();
    static const TextureKey key_defaults = texture_key_new();
    static const Picture picture_defaults;
    Bounder bounder(record.name);

    bounder.fields(record, *defaults, object_head_fields(), "");
    bounder.fields(record, *defaults, object_middle_fields(), "");
    for (int c = 0; c < kRecordChannels; ++c) {
        bounder.fields(record, *defaults, object_channel_fields(c), "");
        if (Picture *picture = channel_picture_slot(record, c)->get())
            bounder.fields(*picture, picture_defaults, picture_fields(), channel_picture_key(c));
    }
    bounder.fields(record, *defaults, object_tail_fields(), "");

    for (int t = 0; t < kColorTypes; ++t) {
        for (int k = 0; k < kMaxColorKeys; ++k) {
            MainColorKey &key = record.main_color_keys[t][k];
            const MainColorKey &fallback = defaults->main_color_keys[t][k];
            const std::string where = numbered("MAIN_COLORKEY", t, k);
            bounder.fields(key, fallback, main_color_key_head_fields(), where);
            bounder.fields(key, fallback, main_color_key_tail_fields(), where);
            bounder.fields(key.picture, picture_defaults, picture_fields(), where + " picture");
        }
    }

    int index = 0;
    for (TextureKey &key : record.texture_keys) {
        const std::string where = numbered("TEXTUREKEY", index++);
        bounder.fields(key, key_defaults, texture_key_head_fields(), where);
        bounder.fields(key, key_defaults, texture_key_group_fields(), where);
        for (int t = 0; t < kColorTypes; ++t)
            for (int k = 0; k < kMaxColorKeys; ++k)
                bounder.fields(key.color_keys[t][k], key_defaults.color_keys[t][k],
                               color_key_fields(), where + " " + numbered("COLORKEY", t, k));
    }
    return bounder.replaced();
}

}  // namespace vellimor
