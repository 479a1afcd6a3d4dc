// The vellimor-pic utility, run as a user runs it, and PIC files whose headers claim pictures far
// larger than their bytes (run-length packets make that a valid file): listing reads only the
// header, conversion to PNG holds one row, and readers that hold a whole picture refuse it with a
// reason instead of exhausting memory.
#include <gtest/gtest.h>
#include <png.h>
#include <sys/resource.h>

#include <filesystem>
#include <fstream>

#include "render/pic_file.h"
#include "support/program_test.h"

namespace vellimor {
namespace {

using Bytes = std::vector<uint8_t>;

class VellimorPic : public test::ProgramTest {
protected:
    test::ProgramResult pic(const std::vector<std::string> &args) { return run("vellimor-pic", args); }

    void write_png(const std::string &name, int width, int height, bool alpha, const Bytes &pixels) {
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        image.width = width;
        image.height = height;
        image.format = alpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
        ASSERT_TRUE(png_image_write_to_file(&image, path(name).c_str(), 0, pixels.data(), 0, nullptr));
    }
    std::string write(const std::string &name, const Bytes &bytes) {
        std::ofstream(path(name), std::ios::binary).write(reinterpret_cast<const char *>(bytes.data()), long(bytes.size()));
        return path(name);
    }

    Bytes read_png_rgba(const std::string &name, bool *had_alpha) {
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        EXPECT_TRUE(png_image_begin_read_from_file(&image, path(name).c_str()));
        *had_alpha = image.format & PNG_FORMAT_FLAG_ALPHA;
        image.format = PNG_FORMAT_RGBA;
        Bytes pixels(PNG_IMAGE_SIZE(image));
        EXPECT_TRUE(png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr));
        return pixels;
    }
};

void put16(Bytes &out, int v) { out.insert(out.end(), {uint8_t(v >> 8), uint8_t(v)}); }

// A width x height picture of one colour: every scanline one long run of a mixed packet.
Bytes run_length_picture(int width, int height) {
    Bytes out = {0x53, 0x80, 0xF6, 0x34, 0x40, 0x60, 0x01, 0xA3};
    out.resize(88, 0);
    out.insert(out.end(), {'P', 'I', 'C', 'T'});
    put16(out, width);
    put16(out, height);
    out.insert(out.end(), {0x3F, 0x80, 0x00, 0x00, 0, 0, 0, 0, 0, 8, kPicMixedRunLength, kPicMaskRgb});  // ratio 1
    for (int y = 0; y < height; ++y) {
        out.push_back(128);
        put16(out, width);
        out.insert(out.end(), {200, 100, 50});
    }
    return out;
}

Bytes pattern(int width, int height, int channels) {
    Bytes pixels(size_t(width * height * channels));
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = uint8_t((i * 7 / 5) % 256 / 32 * 32);
    return pixels;
}

TEST_F(VellimorPic, ConvertsBothWaysWithAndWithoutAlphaAndListsThePackets) {
    Bytes rgba = pattern(40, 7, 4);
    write_png("in.png", 40, 7, true, rgba);
    test::ProgramResult r = pic({"from-png", path("in.png"), path("out.pic")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    auto picture = pic_read_file(path("out.pic"));
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->width, 40);
    EXPECT_EQ(picture->height, 7);
    ASSERT_TRUE(picture->has_plane(kPicAlpha));
    EXPECT_EQ(picture->red()[41], rgba[41 * 4]);
    EXPECT_EQ(picture->alpha()[279], rgba[279 * 4 + 3]);

    r = pic({"info", path("out.pic")});
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char *line : {"size: 40 x 7\n", "ratio: 1\nfields: 0\n",
                             "packet 1: type 2 (mixed run-length), size 8, channels 0xE0 (R G B)\n",
                             "packet 2: type 2 (mixed run-length), size 8, channels 0x10 (A)\n"})
        EXPECT_TRUE(test::contains(r.out, line)) << r.out;
    ASSERT_EQ(pic({"to-png", path("out.pic"), path("back.png")}).status, 0);
    bool alpha = false;
    EXPECT_EQ(read_png_rgba("back.png", &alpha), rgba);
    EXPECT_TRUE(alpha);

    // An RGB PNG gives a picture without the alpha packet, and back.
    Bytes rgb = pattern(3, 130, 3);
    write_png("rgb.png", 3, 130, false, rgb);
    ASSERT_EQ(pic({"from-png", path("rgb.png"), path("rgb.pic")}).status, 0);
    EXPECT_FALSE(test::contains(pic({"info", path("rgb.pic")}).out, "packet 2"));
    ASSERT_EQ(pic({"to-png", path("rgb.pic"), path("rgb-back.png")}).status, 0);
    Bytes back = read_png_rgba("rgb-back.png", &alpha);
    EXPECT_FALSE(alpha);
    for (size_t i = 0; i < 3 * 130; ++i) ASSERT_EQ(back[i * 4 + 1], rgb[i * 3 + 1]) << i;
}

// The judge of equivalent pictures the benchmarks and peers rely on: identical and one-level
// pictures pass, a block ten levels off fails and shows in the side-by-side difference.
TEST_F(VellimorPic, CompareJudgesPicturesByTheBoundsAndDrawsThemSideBySide) {
    const Bytes a = pattern(32, 32, 4);
    Bytes one_level = a, block = a;
    for (size_t i = 0; i < a.size(); i += 4) one_level[i] = uint8_t(a[i] + 1);
    for (int y = 16; y < 32; ++y)
        for (int x = 16; x < 32; ++x) block[size_t(y * 32 + x) * 4] = uint8_t(a[size_t(y * 32 + x) * 4] + 10);
    write_png("a.png", 32, 32, true, a);
    write_png("one.png", 32, 32, true, one_level);
    write_png("block.png", 32, 32, true, block);
    ASSERT_EQ(pic({"from-png", path("a.png"), path("a.pic")}).status, 0);

    test::ProgramResult r = pic({"compare", path("a.png"), path("a.pic")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(test::contains(r.out, "mean absolute difference: R 0.000 G 0.000 B 0.000\n")) << r.out;
    r = pic({"compare", path("a.png"), path("one.png")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(test::contains(r.out, "R 1.000 G 0.000 B 0.000\n") && test::contains(r.out, "equivalent")) << r.out;

    r = pic({"compare", path("a.png"), path("block.png"), path("side.png")});
    EXPECT_EQ(r.status, 1);
    for (const char *line : {"mean absolute difference: R 2.500 G 0.000 B 0.000\n",
                             "largest 16x16 block difference: R 10.000 G 0.000 B 0.000 (block at 16, 16",
                             "different (bounds: mean 1.0, block 6.0)\n"})
        EXPECT_TRUE(test::contains(r.out, line)) << r.out;
    bool alpha = true;
    const Bytes side = read_png_rgba("side.png", &alpha);
    ASSERT_EQ(side.size(), size_t(96 * 32 * 4));
    EXPECT_FALSE(alpha);
    for (const auto &[x, y] : std::vector<std::pair<int, int>>{{3, 5}, {20, 20}, {31, 16}}) {
        const size_t row = size_t(y) * 96 * 4, i = size_t(y * 32 + x) * 4;
        const int delta = x >= 16 && y >= 16 ? 80 : 0;  // ten levels, eight times
        EXPECT_EQ(side[row + size_t(x) * 4], a[i]) << x << "," << y;
        EXPECT_EQ(side[row + size_t(32 + x) * 4], block[i]) << x << "," << y;
        EXPECT_EQ(side[row + size_t(64 + x) * 4], delta) << x << "," << y;
        EXPECT_EQ(side[row + size_t(64 + x) * 4 + 1], 0) << x << "," << y;
    }

    // Pictures of different sizes are not compared, and nothing is drawn.
    write_png("small.png", 3, 130, false, pattern(3, 130, 3));
    r = pic({"compare", path("a.png"), path("small.png"), path("none.png")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "vellimor-pic: " + path("small.png") + ": is 3 x 130, not 32 x 32\n");
    EXPECT_FALSE(std::filesystem::exists(path("none.png")));
}

TEST_F(VellimorPic, BadInputGivesOneErrorLineAndNoOutput) {
    std::ofstream(path("junk.png")) << "this is not an image";
    std::ofstream(path("junk.pic")) << "this is not an image either";
    Bytes header(kPicHeaderSize + 4, 0);
    header[0] = 0x53, header[1] = 0x80, header[2] = 0xF6, header[3] = 0x34;
    header[88] = 'P', header[89] = 'I', header[90] = 'C', header[91] = 'T';
    header[92] = 0x7F, header[93] = 0xFF, header[94] = 0x7F, header[95] = 0xFF;  // 32767 x 32767, no data
    std::ofstream(path("huge.pic"), std::ios::binary).write(reinterpret_cast<char *>(header.data()), long(header.size()));
    // A real PNG cut short in its image data.
    write_png("whole.png", 64, 64, false, pattern(64, 64, 3));
    const std::string whole = test::read_file(path("whole.png"));
    std::ofstream(path("cut.png"), std::ios::binary).write(whole.data(), long(whole.size() / 2));
    write_png("in.png", 2, 2, false, pattern(2, 2, 3));

    const std::vector<std::string> cases[] = {
        {"from-png", path("cut.png"), path("out.pic")},  {"from-png", path("missing.png"), path("out.pic")},
        {"from-png", path("junk.png"), path("out.pic")}, {"to-png", path("junk.pic"), path("out.png")},
        {"to-png", path("huge.pic"), path("out.png")},   {"info", path("junk.pic")},
        {"info", path("huge.pic")},                      {"info", path("missing.pic")},
        // An output place that cannot be written.
        {"from-png", path("in.png"), path("nodir/out.pic")},
    };
    for (const auto &args : cases) {
        const test::ProgramResult r = pic(args);
        EXPECT_EQ(r.status, 1) << args[1];
        EXPECT_EQ(test::count(r.err, "\n"), 1u) << r.err;
        EXPECT_EQ(r.err.rfind("vellimor-pic: ", 0), 0u) << r.err;
    }
    EXPECT_FALSE(std::filesystem::exists(path("out.pic")));
    EXPECT_FALSE(std::filesystem::exists(path("out.png")));
    EXPECT_EQ(pic({}).status, 2);
    EXPECT_EQ(pic({"to-png", "only-one-argument"}).status, 2);
    EXPECT_EQ(pic({"convert", "a", "b"}).status, 2);
}

TEST_F(VellimorPic, WholePictureReadersRefusePicturesAboveTheLimit) {
    std::string error;
    EXPECT_EQ(pic_read_file(write("huge.pic", run_length_picture(32767, 32767)), &error), nullptr);
    EXPECT_EQ(error, "a 32767 x 32767 picture is above the limit of 67108864 pixels");
    // At the limit a picture is read whole.
    std::unique_ptr<PicImage> picture = pic_read_file(write("largest.pic", run_length_picture(8192, 8192)), &error);
    ASSERT_TRUE(picture) << error;
    EXPECT_EQ(picture->red()[8192u * 8192u - 1], 200);
}

TEST_F(VellimorPic, ToPngHoldsOneRowWhateverTheSize) {
    // 8000 x 8000 pixels: held whole this would take about 500 MB (planes and RGBA pixels).
    const test::ProgramResult r = pic({"to-png", write("big.pic", run_length_picture(8000, 8000)), path("big.png")});
    ASSERT_EQ(r.status, 0) << r.err;
    rusage usage{};
    ASSERT_EQ(getrusage(RUSAGE_CHILDREN, &usage), 0);
    EXPECT_LT(usage.ru_maxrss, 200 * 1024) << "kilobytes";
    bool alpha = true;
    const Bytes pixels = read_png_rgba("big.png", &alpha);
    ASSERT_EQ(pixels.size(), 8000u * 8000u * 4);
    EXPECT_EQ(pixels[0], 200);
    EXPECT_EQ(pixels[pixels.size() - 3], 100);

    // A picture cut short leaves no output, not even a temporary.
    Bytes cut = run_length_picture(100, 100);
    cut.resize(108 + 10 * 6);  // ten of the hundred rows the header states
    const test::ProgramResult damaged = pic({"to-png", write("short.pic", cut), path("short.png")});
    EXPECT_EQ(damaged.status, 1);
    EXPECT_TRUE(test::contains(damaged.err, "truncated PIC file")) << damaged.err;
    for (const std::string &name : files_in(work.path())) EXPECT_EQ(name.find("short.png"), std::string::npos) << name;
}

}  // namespace
}  // namespace vellimor
