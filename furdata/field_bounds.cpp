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

struct NamedRange {
    std::string_view key;
    FieldRange range;
};

const NamedRange kRanges[] = {
    {"sub_res_u", {1, kMaxSubdivision}},
    {"sub_res_v", {1, kMaxSubdivision}},
    {"number_of_hairs_pr_square_unit", {0, kMaxHairDensity}},
    {"nbColorKeys[0]", {0, kMaxColorKeyCount}},
    {"nbColorKeys[1]", {0, kMaxColorKeyCount}},
    {"nbColorKeys[2]", {0, kMaxColorKeyCount}},
    {"nbColorKeys[3]", {0, kMaxColorKeyCount}},
    {"max_number_of_segments", {0, kMaxHairSegments}},
    {"number_shadow_levels", {0, kMaxShadowLevels}},
    {"velocity_smooth", {0, kMaxSmoothFrames}},
    {"acceleration_smooth", {0, kMaxSmoothFrames}},
    {"segments.value", {-kMaxHairSegments, kMaxHairSegments}},
    {"segments_picture_scale.value", {-kMaxHairSegments, kMaxHairSegments}},
};

bool ends_with(std::string_view text, std::string_view end) {
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

std::string number_text(double x, bool is_real) {
    char text[64];
    if (is_real)
        std::snprintf(text, sizeof text, "%g", x);
    else
        std::snprintf(text, sizeof text, "%lld", static_cast<long long>(x));
    return text;
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
        const std::string field = where.empty() ? key : where + " " + key;
        status_message(kStatusWarning, "%s: %s = %s is out of range, %s used", surface_.c_str(),
                       field.c_str(), number_text(old_value, is_real).c_str(),
                       number_text(new_value, is_real).c_str());
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
        if (named.key == key) return named.range;
    if (ends_with(key, "map_res")) return {1, kMaxMapResolution};
    if (ends_with(key, "sequence_offset")) return {-kMaxSequenceOffset, kMaxSequenceOffset};
    if (is_real) return {-kMaxRealMagnitude, kMaxRealMagnitude};
    return {INT_MIN, INT_MAX};
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
