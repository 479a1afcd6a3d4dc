// The user documentation of the fur settings file names every key the file holds, with the range
// the readers hold it to, so that neither can fall behind the code.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <regex>
#include <sstream>

#include "furdata/field_bounds.h"
#include "furdata/fur_text_fields.h"
#include "support/test_env.h"
#include "support/paths.h"

namespace vellimor {
namespace {

constexpr const char *kChannelNames[kRecordChannels] = {"length",   "curl",    "grow",   "bend",
                                                        "segments", "gravity", "density"};

class FurSettingsDocs : public ::testing::Test {
protected:
    const std::string docs = test::read_file(test::source_dir() + "/docs/fur-settings.md");

    // The key as the docs spell it: in backquotes, the channel's name standing as CHANNEL in the
    // keys of the channel pictures.
    void expect_documented(std::string key, int channel = -1) const {
        if (channel >= 0) key = "CHANNEL" + key.substr(std::string(kChannelNames[channel]).size());
        EXPECT_NE(docs.find("`" + key + "`"), std::string::npos) << key;
    }
    template <class Record>
    void expect_documented(std::span<const TextField<Record>> fields, int channel = -1) const {
        for (const TextField<Record> &f : fields) expect_documented(f.key, channel);
    }

    // The "unit, range" cell of the table row that names the key (the key itself before its
    // CHANNEL form); nullopt when no row names it, "" when the row has no such cell.
    std::optional<std::string> range_cell(const std::string &key, int channel) const {
        std::vector<std::string> names = {key};
        if (channel >= 0) names.push_back("CHANNEL" + key.substr(std::string(kChannelNames[channel]).size()));
        for (const std::string &name : names) {
            std::istringstream lines(docs);
            for (std::string line; std::getline(lines, line);) {
                std::vector<std::string> cells;
                for (size_t start = 1, bar; line.starts_with("|") && (bar = line.find('|', start)) != std::string::npos;
                     start = bar + 1)
                    cells.push_back(line.substr(start, bar - start));
                if (cells.size() < 2 || cells[0].find("`" + name + "`") == std::string::npos) continue;
                return cells.size() >= 4 ? cells[2] : "";
            }
        }
        return std::nullopt;
    }

    // The ranges a cell states: "A..B" ("0..1 typical" is a hint, not a range), and 0..1 when it
    // says "flag" (with_flag).
    static std::vector<FieldRange> stated_ranges(std::string cell, bool with_flag) {
        for (size_t at; (at = cell.find("\u2212")) != std::string::npos;) cell.replace(at, 3, "-");
        std::vector<FieldRange> ranges;
        const std::regex range(R"((-?\d+(?:\.\d+)?)\.\.(-?\d+(?:\.\d+)?)( typical)?)");
        for (std::sregex_iterator m(cell.begin(), cell.end(), range), end; m != end; ++m)
            if (!(*m)[3].matched) ranges.push_back({std::stod((*m)[1]), std::stod((*m)[2])});
        if (with_flag && cell.find("flag") != std::string::npos) ranges.push_back({0, 1});
        return ranges;
    }

    // The docs state the range the readers hold the key to, and no other; a key kept with any
    // value of its type states none (a row naming it with a flag may say "flag").
    template <class Record>
    void expect_range_documented(std::span<const TextField<Record>> fields, int channel = -1) const {
        Record record{};
        for (const TextField<Record> &f : fields) {
            const bool is_real = std::holds_alternative<float *>(f.field(record));
            const FieldRange code = field_range(f.key, is_real);
            const std::optional<std::string> cell = range_cell(f.key, channel);
            ASSERT_TRUE(cell) << f.key;
            const bool any_value = is_any_value_range(code, is_real);
            const std::vector<FieldRange> stated = stated_ranges(*cell, !any_value);
            if (any_value) {
                EXPECT_TRUE(stated.empty()) << f.key << ": \"" << *cell << "\" states a range, the readers take any value";
                continue;
            }
            const bool all_equal = std::all_of(stated.begin(), stated.end(), [&](FieldRange r) {
                return r.min == code.min && r.max == code.max;
            });
            EXPECT_TRUE(!stated.empty() && all_equal)
                << f.key << ": \"" << *cell << "\" does not state " << code.min << ".." << code.max;
        }
    }
};

// Calls check(fields, channel) for every table of keys the file holds (channel -1 outside the
// channel tables).
template <class Check>
void for_each_table(Check check) {
    check(object_head_fields(), -1);
    check(object_middle_fields(), -1);
    check(object_tail_fields(), -1);
    for (int c = 0; c < kRecordChannels; ++c) check(object_channel_fields(c), c);
    check(main_color_key_head_fields(), -1);
    check(main_color_key_tail_fields(), -1);
    check(texture_key_head_fields(), -1);
    check(texture_key_group_fields(), -1);
    check(color_key_fields(), -1);
    check(picture_fields(), -1);
}

TEST_F(FurSettingsDocs, EveryKeyIsDocumentedWithTheRangeTheReadersHoldItTo) {
    ASSERT_FALSE(docs.empty());
    for_each_table([&](auto fields, int channel) {
        expect_documented(fields, channel);
        expect_range_documented(fields, channel);
    });
    for (int c = 0; c < kRecordChannels; ++c) {
        ASSERT_EQ(std::string(channel_picture_key(c)).rfind(kChannelNames[c], 0), 0u);
        expect_documented(channel_picture_key(c), c);
    }
    expect_documented(std::string(kTextureFilenameKey));
}

}  // namespace
}  // namespace vellimor
