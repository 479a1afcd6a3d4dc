// PIC files whose headers claim pictures far larger than their bytes (run-length packets make
// that a valid file): listing reads only the header, conversion to PNG holds one row, and readers
// that hold a whole picture refuse it with a reason instead of exhausting memory.
#include <gtest/gtest.h>
#include <png.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "support/test_env.h"
#include "render/pic_file.h"
#include "support/paths.h"

namespace vellimor {
namespace {

namespace fs = std::filesystem;

void put16(std::vector<uint8_t> &out, int v) {
    out.push_back(uint8_t(v >> 8));
    out.push_back(uint8_t(v));
}

// A width x height picture of one colour: every scanline one long run of a mixed packet.
std::vector<uint8_t> run_length_picture(int width, int height) {
    std::vector<uint8_t> out = {0x53, 0x80, 0xF6, 0x34, 0x40, 0x60, 0x01, 0xA3};
    out.resize(88, 0);
    for (char c : std::string("PICT")) out.push_back(uint8_t(c));
    put16(out, width);
    put16(out, height);
    for (int b : {0x3F, 0x80, 0x00, 0x00}) out.push_back(uint8_t(b));  // ratio 1.0
    put16(out, 0);
    put16(out, 0);
    for (uint8_t b : {uint8_t(0), uint8_t(8), kPicMixedRunLength, kPicMaskRgb}) out.push_back(b);
    for (int y = 0; y < height; ++y) {
        out.push_back(128);
        put16(out, width);
        for (int b : {200, 100, 50}) out.push_back(uint8_t(b));
    }
    return out;
}

class HostilePictures : public ::testing::Test {
protected:
    std::string write(const std::string &name, const std::vector<uint8_t> &bytes) {
        const std::string path = dir.path() + "/" + name;
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char *>(bytes.data()),
                                                    std::streamsize(bytes.size()));
        return path;
    }
    int run(const std::string &args) {
        const std::string command = test::build_dir() + "/bin/vellimor-pic " + args + " >" + dir.path() +
                                    "/out.txt 2>" + dir.path() + "/err.txt";
        const int raw = std::system(command.c_str());
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    }
    std::string out() const { return test::read_file(dir.path() + "/out.txt"); }
    std::string err() const { return test::read_file(dir.path() + "/err.txt"); }

    test::TempDir dir;
};

TEST_F(HostilePictures, WholePictureReadersRefusePicturesAboveTheLimit) {
    const std::string path = write("huge.pic", run_length_picture(32767, 32767));
    std::string error;
    EXPECT_EQ(pic_read_file(path, &error), nullptr);
    EXPECT_EQ(error, "a 32767 x 32767 picture is above the limit of 67108864 pixels");
    // At the limit a picture is read whole.
    const std::string largest = write("largest.pic", run_length_picture(8192, 8192));
    std::unique_ptr<PicImage> picture = pic_read_file(largest, &error);
    ASSERT_TRUE(picture) << error;
    EXPECT_EQ(picture->red()[8192u * 8192u - 1], 200);
}

TEST_F(HostilePictures, ToPngHoldsOneRowWhateverTheSize) {
    // 8000 x 8000 pixels: held whole this would take about 500 MB (planes and RGBA pixels).
    const std::string path = write("big.pic", run_length_picture(8000, 8000));
    const std::string png = dir.path() + "/big.png";
    ASSERT_EQ(run("to-png " + path + " " + png), 0) << err();
    rusage usage{};
    ASSERT_EQ(getrusage(RUSAGE_CHILDREN, &usage), 0);
    EXPECT_LT(usage.ru_maxrss, 200 * 1024) << "kilobytes";

    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&image, png.c_str())) << image.message;
    EXPECT_EQ(image.width, 8000u);
    EXPECT_EQ(image.height, 8000u);
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr));
    EXPECT_EQ(pixels[0], 200);
    EXPECT_EQ(pixels[pixels.size() - 2], 100);
}

TEST_F(HostilePictures, DamagedPicturesLeaveNoOutput) {
    std::vector<uint8_t> bytes = run_length_picture(100, 100);
    bytes.resize(108 + 10 * 6);  // ten of the hundred rows the header states
    const std::string path = write("short.pic", bytes);
    const std::string png = dir.path() + "/short.png";
    EXPECT_EQ(run("to-png " + path + " " + png), 1);
    EXPECT_NE(err().find("truncated PIC file"), std::string::npos) << err();
    EXPECT_FALSE(fs::exists(png));
    for (const auto &entry : fs::directory_iterator(dir.path()))
        EXPECT_EQ(entry.path().filename().string().find("short.png."), std::string::npos);
}

}  // namespace
}  // namespace vellimor
