#include "render/pic_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <tuple>

#include "support/test_env.h"

namespace vellimor {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

Bytes encode_mixed(const Bytes &pixels, int channels) {
    Bytes out;
    pic_encode_mixed_scanline(pixels.data(), int(pixels.size()) / channels, channels, out);
    return out;
}

// A header as the format lays it out, followed by the given packets (chain flags as given).
Bytes header_bytes(int width, int height, const std::vector<PicPacket> &packets, uint32_t magic = kPicMagic,
                   uint32_t id = kPicId) {
    Bytes out;
    auto u32 = [&](uint32_t v) { for (int s = 24; s >= 0; s -= 8) out.push_back(uint8_t(v >> s)); };
    auto u16 = [&](uint16_t v) { out.push_back(uint8_t(v >> 8)); out.push_back(uint8_t(v)); };
    u32(magic);
    u32(kPicVersionBits);
    out.resize(out.size() + kPicCommentSize, 0);
    u32(id);
    u16(uint16_t(width));
    u16(uint16_t(height));
    u32(0x3F800000);  // ratio 1.0
    u16(0);
    u16(0);
    for (const PicPacket &p : packets) out.insert(out.end(), {p.chained, p.size, p.type, p.channels});
    return out;
}

std::unique_ptr<PicImage> decode(const Bytes &bytes) { return pic_decode(bytes.data(), bytes.size()); }

TEST(PicWriter, MixedRunLengthGroupsMatchTheFormatExamples) {
    Bytes distinct(130);  // a full literal group of 128, then one of 2
    for (int i = 0; i < 130; ++i) distinct[i] = uint8_t(i);
    Bytes literals{127};
    literals.insert(literals.end(), distinct.begin(), distinct.begin() + 128);
    literals.insert(literals.end(), {1, 128, 129});
    const struct {
        Bytes pixels;
        int channels;
        Bytes expected;
    } cases[] = {
        {{10, 20, 30}, 3, {0, 10, 20, 30}},                    // one pixel: a literal of one
        {Bytes(300, 7), 1, {128, 0x01, 0x2C, 7}},              // a long run, 16-bit count
        {distinct, 1, literals},
        {{1, 2, 1, 2, 3, 4}, 2, {129, 1, 2, 0, 3, 4}},         // A A B
        {{1, 2, 3, 3, 3, 4}, 1, {1, 1, 2, 130, 3, 0, 4}},      // a literal hands its last pixel to a run
        {Bytes(127, 5), 1, {254, 5}},                          // 127 still fits a count byte
        {Bytes(128, 5), 1, {128, 0, 128, 5}},
        {{1, 2}, 1, {1, 1, 2}},                                // ends with a pending pair
        {{1, 1}, 1, {129, 1}},
    };
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(encode_mixed(cases[i].pixels, cases[i].channels), cases[i].expected) << "case " << i;
}

TEST(PicWriter, RefusesPicturesWithoutAValidSize) {
    PicImage empty;
    EXPECT_TRUE(pic_encode(empty).empty());
    auto picture = pic_create(3, 3, false);
    picture->red().resize(5);  // a plane of the wrong size
    EXPECT_TRUE(pic_encode(*picture).empty());
    EXPECT_FALSE(pic_create(0, 5, false));
    EXPECT_FALSE(pic_create(5, -1, false));
    EXPECT_FALSE(pic_create(40000, 5, false));
}

TEST(PicReader, ReadsAllThreeEncodingsWithAndWithoutAlpha) {
    // A 3 x 2 picture; row 0 red ramp, row 1 constant. Same content in every encoding.
    const Bytes red{10, 20, 30, 40, 40, 40};
    const Bytes alpha{255, 255, 0, 9, 9, 9};
    struct Case {
        uint8_t type;
        Bytes rows;  // scanlines: RGB packet then alpha packet, per row
    } cases[] = {
        {kPicUncompressed, {10, 0, 0, 20, 0, 0, 30, 0, 0, 255, 255, 0, 40, 0, 0, 40, 0, 0, 40, 0, 0, 9, 9, 9}},
        {kPicPureRunLength, {1, 10, 0, 0, 1, 20, 0, 0, 1, 30, 0, 0, 2, 255, 1, 0, 3, 40, 0, 0, 3, 9}},
        {kPicMixedRunLength, {2, 10, 0, 0, 20, 0, 0, 30, 0, 0, 128, 0, 2, 255, 0, 0, 130, 40, 0, 0, 130, 9}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(int(c.type));
        Bytes file = header_bytes(3, 2, {{1, 8, c.type, 0xE0}, {0, 8, c.type, 0x10}});
        file.insert(file.end(), c.rows.begin(), c.rows.end());
        auto picture = decode(file);
        ASSERT_TRUE(picture);
        EXPECT_EQ(std::tie(picture->width, picture->height, picture->ratio), std::make_tuple(3, 2, 1.0f));
        EXPECT_EQ(picture->red(), red);
        EXPECT_EQ(picture->green(), Bytes(6, 0));
        EXPECT_EQ(picture->alpha(), alpha);
    }
    // The same colour data without the alpha packet loads without an alpha plane.
    Bytes file = header_bytes(3, 2, {{0, 8, kPicUncompressed, 0xE0}});
    file.insert(file.end(), {10, 0, 0, 20, 0, 0, 30, 0, 0, 40, 0, 0, 40, 0, 0, 40, 0, 0});
    auto picture = decode(file);
    ASSERT_TRUE(picture);
    EXPECT_FALSE(picture->has_plane(kPicAlpha));
    EXPECT_EQ(picture->red(), red);
}

TEST(PicReader, OnlyTheLowFourBitsOfTheTypeCountAndPureRunsAreClippedToTheScanline) {
    Bytes file = header_bytes(2, 2, {{0, 8, 0xF1, 0x80}});
    file.insert(file.end(), {200, 7, 2, 9});  // the first count asks for 200 pixels of 2
    auto picture = decode(file);
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->red(), (Bytes{7, 7, 9, 9}));
    EXPECT_FALSE(picture->has_plane(kPicGreen));
}

TEST(PicReader, RoundTripsRandomPictures) {
    std::mt19937 random(1234);
    for (int trial = 0; trial < 40; ++trial) {
        int width = 1 + int(random() % 300), height = 1 + int(random() % 8);
        bool alpha = trial % 2;
        auto picture = pic_create(width, height, alpha);
        ASSERT_TRUE(picture);
        picture->ratio = 0.5f + float(trial);
        picture->fields = int16_t(trial % 4);
        // Few distinct values and long stretches give runs, literals and their borders.
        int levels = 1 + int(random() % 4);
        for (auto &plane : picture->planes) {
            for (size_t i = 0; i < plane.size(); ++i)
                plane[i] = (random() % 8 == 0 || i == 0) ? uint8_t(random() % levels) : plane[i - 1];
        }
        for (uint8_t type : {kPicUncompressed, kPicPureRunLength, kPicMixedRunLength}) {
            std::vector<PicPacket> packets = pic_default_packets(*picture);
            for (PicPacket &p : packets) p.type = type;
            auto back = decode(pic_encode(*picture, &packets));
            ASSERT_TRUE(back);
            EXPECT_EQ(std::tie(back->width, back->height, back->ratio, back->fields),
                      std::tie(picture->width, picture->height, picture->ratio, picture->fields));
            EXPECT_EQ(back->planes, picture->planes) << "trial " << trial << " type " << int(type);
        }
    }
}

TEST(PicReader, RefusesWrongMagicIdAndSizes) {
    Bytes body{0, 1, 2, 3};
    auto with_body = [&](Bytes file) { file.insert(file.end(), body.begin(), body.end()); return file; };
    std::string error;
    Bytes bad_magic = with_body(header_bytes(1, 1, {{0, 8, 2, 0xE0}}, 0x5380F647));
    EXPECT_FALSE(pic_decode(bad_magic.data(), bad_magic.size(), &error));
    EXPECT_NE(error.find("magic"), std::string::npos);
    Bytes last_magic = with_body(header_bytes(1, 1, {{0, 8, 2, 0xE0}}, kPicMagicLast));
    EXPECT_TRUE(decode(last_magic));
    EXPECT_FALSE(decode(with_body(header_bytes(1, 1, {{0, 8, 2, 0xE0}}, kPicMagic, 0x50494355))));
    EXPECT_FALSE(decode(with_body(header_bytes(0, 1, {{0, 8, 2, 0xE0}}))));
    EXPECT_FALSE(decode(with_body(header_bytes(1, 0, {{0, 8, 2, 0xE0}}))));
    EXPECT_FALSE(decode(with_body(header_bytes(-3, 1, {{0, 8, 2, 0xE0}}))));
    EXPECT_FALSE(decode(with_body(header_bytes(1, 1, {{0, 8, 3, 0xE0}}))));  // unknown encoding
    EXPECT_FALSE(decode(with_body(header_bytes(1, 1, {{1, 8, 2, 0xE0}, {0, 8, 0, 0x0F}}))));  // no channel
    // A packet chain that never ends.
    EXPECT_FALSE(decode(header_bytes(1, 1, std::vector<PicPacket>(100, {1, 8, 2, 0xE0}))));
    // The largest size a header can state, with almost no data: refused before allocation.
    EXPECT_FALSE(decode(with_body(header_bytes(32767, 32767, {{1, 8, 0, 0xE0}, {0, 8, 2, 0x10}}))));
    EXPECT_FALSE(decode(with_body(header_bytes(32767, 32767, {{0, 8, 2, 0xF0}}))));
}

TEST(PicReader, OverrunningCountsStopDecodingCleanly) {
    // Row 0 is fine; row 1 has a literal of 4 in a 3-wide scanline; row 2 is never reached.
    Bytes file = header_bytes(3, 3, {{0, 8, kPicMixedRunLength, 0x80}});
    file.insert(file.end(), {2, 1, 2, 3, 3, 9, 9, 9, 9, 130, 5});
    auto picture = decode(file);
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->red(), (Bytes{1, 2, 3, 0, 0, 0, 0, 0, 0}));
    // Runs that overrun, with a count byte and with a 16-bit count.
    for (Bytes rows : {Bytes{131, 4, 130, 5, 130, 6}, Bytes{128, 0, 4, 4, 130, 5, 130, 6}}) {
        Bytes f = header_bytes(3, 3, {{0, 8, kPicMixedRunLength, 0x80}});
        f.insert(f.end(), rows.begin(), rows.end());
        auto p = decode(f);
        ASSERT_TRUE(p);
        EXPECT_EQ(p->red(), Bytes(9, 0));
    }
}

TEST(PicReader, TruncationAtEveryOffsetGivesNullOrAPartialPicture) {
    std::mt19937 random(99);
    auto picture = pic_create(37, 5, true);
    for (auto &plane : picture->planes)
        for (auto &v : plane) v = uint8_t(random() % 3);
    for (uint8_t type : {kPicUncompressed, kPicPureRunLength, kPicMixedRunLength}) {
        std::vector<PicPacket> packets = pic_default_packets(*picture);
        for (PicPacket &p : packets) p.type = type;
        Bytes file = pic_encode(*picture, &packets);
        for (size_t size = 0; size < file.size(); ++size) {
            Bytes cut(file.begin(), file.begin() + long(size));
            auto back = decode(cut);
            if (size < kPicHeaderSize + 8) {
                EXPECT_FALSE(back) << size;
            }
            if (!back) continue;
            ASSERT_EQ(back->pixel_count(), picture->pixel_count());
            // Every pixel is either decoded right or never reached (zero).
            for (int c = 0; c < kPicChannelCount; ++c)
                for (size_t i = 0; i < picture->pixel_count(); ++i)
                    ASSERT_TRUE(back->planes[c][i] == picture->planes[c][i] || back->planes[c][i] == 0)
                        << "type " << int(type) << " size " << size << " channel " << c << " pixel " << i;
        }
        EXPECT_EQ(decode(file)->planes, picture->planes);
    }
}

TEST(PicReader, RandomBytesNeverCrash) {
    std::mt19937 random(7);
    Bytes valid = header_bytes(16, 16, {{1, 8, 2, 0xE0}, {0, 8, 1, 0x10}});
    for (int trial = 0; trial < 3000; ++trial) {
        Bytes file = valid;
        size_t tail = random() % 600;
        for (size_t i = 0; i < tail; ++i) file.push_back(uint8_t(random()));
        // Damage a few header bytes too, past the magic and id sometimes.
        for (int k = int(random() % 4); k > 0; --k) file[92 + random() % 16] = uint8_t(random());
        auto picture = decode(file);
        if (picture) {
            EXPECT_GT(picture->width, 0);
            EXPECT_GT(picture->height, 0);
        }
    }
}

TEST(PicFile, NamingRuleAppendsTheEndingUnlessPresent) {
    const test::TempDir dir;
    auto path = [&](const std::string &name) { return dir.path() + "/" + name; };
    EXPECT_EQ(pic_file_name("frame"), "frame.pic");
    EXPECT_EQ(pic_file_name("frame.pic"), "frame.pic");
    EXPECT_EQ(pic_file_name(".pic"), ".pic.pic");
    EXPECT_EQ(pic_file_name("x.PIC"), "x.PIC.pic");

    auto picture = pic_create(4, 3, false);
    picture->green()[5] = 77;
    ASSERT_TRUE(pic_save(path("render.12"), *picture));
    EXPECT_TRUE(fs::exists(path("render.12.pic")));
    ASSERT_TRUE(pic_save(path("plain.pic"), *picture));
    EXPECT_TRUE(fs::exists(path("plain.pic")));
    EXPECT_FALSE(fs::exists(path("plain.pic.pic")));
    auto back = pic_load(path("render.12"));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->green()[5], 77);
    EXPECT_TRUE(pic_load(path("plain.pic")));
    EXPECT_FALSE(pic_load(path("missing")));
    // Only the picture files are left: no temporaries.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 2);
}

}  // namespace
}  // namespace vellimor
