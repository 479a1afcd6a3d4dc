// The vellimor-pic utility, run as a user runs it.
#include <gtest/gtest.h>
#include <png.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "render/pic_file.h"

namespace vellimor {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

struct RunResult {
    int status = -1;
    std::string out, err;
};

std::string slurp(const fs::path &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class VellimorPicTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char *build = std::getenv("VELLIMOR_BUILD_DIR");
        ASSERT_NE(build, nullptr);
        program_ = fs::path(build) / "bin" / "vellimor-pic";
        ASSERT_TRUE(fs::exists(program_)) << program_;
        dir_ = fs::temp_directory_path() / ("vellimor_pic_" + std::to_string(::getpid()) + "_" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string path(const std::string &name) const { return (dir_ / name).string(); }

    RunResult run(const std::string &args) {
        std::string command = "'" + program_.string() + "' " + args + " >'" + path("stdout") + "' 2>'" + path("stderr") + "'";
        int raw = std::system(command.c_str());
        RunResult result;
        result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        result.out = slurp(path("stdout"));
        result.err = slurp(path("stderr"));
        fs::remove(path("stdout"));
        fs::remove(path("stderr"));
        return result;
    }

    void write_png(const std::string &name, int width, int height, bool alpha, const Bytes &pixels) {
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        image.width = width;
        image.height = height;
        image.format = alpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
        ASSERT_TRUE(png_image_write_to_file(&image, path(name).c_str(), 0, pixels.data(), 0, nullptr));
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

    fs::path program_, dir_;
};

Bytes pattern(int width, int height, int channels) {
    Bytes pixels(size_t(width * height * channels));
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = uint8_t((i * 7 / 5) % 256 / 32 * 32);
    return pixels;
}

TEST_F(VellimorPicTest, ConvertsRgbaBothWaysAndListsThePackets) {
    Bytes rgba = pattern(40, 7, 4);
    write_png("in.png", 40, 7, true, rgba);
    RunResult r = run("from-png '" + path("in.png") + "' '" + path("out.pic") + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");

    auto picture = pic_read_file(path("out.pic"));
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->width, 40);
    EXPECT_EQ(picture->height, 7);
    ASSERT_TRUE(picture->has_plane(kPicAlpha));
    EXPECT_EQ(picture->red()[41], rgba[41 * 4]);
    EXPECT_EQ(picture->alpha()[279], rgba[279 * 4 + 3]);

    r = run("info '" + path("out.pic") + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("size: 40 x 7\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("ratio: 1\nfields: 0\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("packet 1: type 2 (mixed run-length), size 8, channels 0xE0 (R G B)\n"), std::string::npos);
    EXPECT_NE(r.out.find("packet 2: type 2 (mixed run-length), size 8, channels 0x10 (A)\n"), std::string::npos);

    r = run("to-png '" + path("out.pic") + "' '" + path("back.png") + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    bool alpha = false;
    EXPECT_EQ(read_png_rgba("back.png", &alpha), rgba);
    EXPECT_TRUE(alpha);
}

TEST_F(VellimorPicTest, RgbPngGivesAPictureWithoutAlpha) {
    Bytes rgb = pattern(3, 130, 3);
    write_png("in.png", 3, 130, false, rgb);
    ASSERT_EQ(run("from-png '" + path("in.png") + "' '" + path("out.pic") + "'").status, 0);
    RunResult r = run("info '" + path("out.pic") + "'");
    EXPECT_EQ(r.out.find("packet 2"), std::string::npos) << r.out;
    ASSERT_EQ(run("to-png '" + path("out.pic") + "' '" + path("back.png") + "'").status, 0);
    bool alpha = true;
    Bytes back = read_png_rgba("back.png", &alpha);
    EXPECT_FALSE(alpha);
    for (size_t i = 0; i < 3 * 130; ++i) ASSERT_EQ(back[i * 4 + 1], rgb[i * 3 + 1]) << i;
}

TEST_F(VellimorPicTest, BadInputGivesOneErrorLineAndNoOutput) {
    std::ofstream(path("junk.png")) << "this is not an image";
    std::ofstream(path("junk.pic")) << "this is not an image either";
    Bytes header(kPicHeaderSize + 4, 0);
    header[0] = 0x53, header[1] = 0x80, header[2] = 0xF6, header[3] = 0x34;
    header[88] = 'P', header[89] = 'I', header[90] = 'C', header[91] = 'T';
    header[92] = 0x7F, header[93] = 0xFF, header[94] = 0x7F, header[95] = 0xFF;  // 32767 x 32767, no data
    std::ofstream(path("huge.pic"), std::ios::binary).write(reinterpret_cast<char *>(header.data()), long(header.size()));

    // A real PNG cut short in its image data.
    write_png("whole.png", 64, 64, false, pattern(64, 64, 3));
    std::string whole = slurp(dir_ / "whole.png");
    std::ofstream(path("cut.png"), std::ios::binary).write(whole.data(), long(whole.size() / 2));

    const std::string cases[] = {
        "from-png '" + path("cut.png") + "' '" + path("out.pic") + "'",
        "from-png '" + path("missing.png") + "' '" + path("out.pic") + "'",
        "from-png '" + path("junk.png") + "' '" + path("out.pic") + "'",
        "to-png '" + path("junk.pic") + "' '" + path("out.png") + "'",
        "to-png '" + path("huge.pic") + "' '" + path("out.png") + "'",
        "info '" + path("junk.pic") + "'",
        "info '" + path("huge.pic") + "'",
        "info '" + path("missing.pic") + "'",
    };
    for (const std::string &args : cases) {
        RunResult r = run(args);
        EXPECT_EQ(r.status, 1) << args;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_EQ(r.err.rfind("vellimor-pic: ", 0), 0u) << r.err;
    }
    EXPECT_FALSE(fs::exists(path("out.pic")));
    EXPECT_FALSE(fs::exists(path("out.png")));

    // An output place that cannot be written: an error, and nothing half-written anywhere.
    write_png("in.png", 2, 2, false, pattern(2, 2, 3));
    RunResult r = run("from-png '" + path("in.png") + "' '" + path("nodir/out.pic") + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;

    EXPECT_EQ(run("").status, 2);
    EXPECT_EQ(run("to-png only-one-argument").status, 2);
    EXPECT_EQ(run("convert a b").status, 2);
}

}  // namespace
}  // namespace vellimor
