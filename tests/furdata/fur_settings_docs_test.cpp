// The user documentation of the fur settings file names every key the file holds, so that the
// list cannot fall behind the writer.
#include <gtest/gtest.h>

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
};

TEST_F(FurSettingsDocs, EveryKeyTheFileHoldsIsDocumented) {
    ASSERT_FALSE(docs.empty());
    expect_documented(object_head_fields());
    expect_documented(object_middle_fields());
    expect_documented(object_tail_fields());
    for (int c = 0; c < kRecordChannels; ++c) {
        ASSERT_EQ(std::string(channel_picture_key(c)).rfind(kChannelNames[c], 0), 0u);
        expect_documented(object_channel_fields(c), c);
        expect_documented(channel_picture_key(c), c);
    }
    expect_documented(main_color_key_head_fields());
    expect_documented(main_color_key_tail_fields());
    expect_documented(texture_key_head_fields());
    expect_documented(texture_key_group_fields());
    expect_documented(color_key_fields());
    expect_documented(picture_fields());
    expect_documented(std::string(kTextureFilenameKey));
}

}  // namespace
}  // namespace vellimor
