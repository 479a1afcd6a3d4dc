#include "render/exr_image.h"

#include <ImfChannelList.h>
#include <ImfFrameBuffer.h>
#include <ImfHeader.h>
#include <ImfIO.h>
#include <ImfOutputFile.h>
#include <ImfStandardAttributes.h>
#include <half.h>

#include <cmath>
#include <cstring>
#include <exception>

namespace vellimor {
namespace {

constexpr const char *kChannelNames[4] = {"R", "G", "B", "A"};

// The file goes to memory first, so that it is written whole or not at all.
class MemoryStream : public Imf::OStream {
public:
    explicit MemoryStream(std::vector<uint8_t> &bytes) : Imf::OStream("memory"), bytes_(bytes) {}
    void write(const char c[], int n) override {
        if (position_ + uint64_t(n) > bytes_.size()) bytes_.resize(position_ + uint64_t(n));
        std::memcpy(bytes_.data() + position_, c, size_t(n));
        position_ += uint64_t(n);
    }
    uint64_t tellp() override { return position_; }
    void seekp(uint64_t position) override { position_ = position; }

private:
    std::vector<uint8_t> &bytes_;
    uint64_t position_ = 0;
};

}  // namespace

float srgb_to_linear(float value) {
    return value <= 0.04045f ? value / 12.92f : std::pow((value + 0.055f) / 1.055f, 2.4f);
}

bool exr_encode(const FloatPicture &picture, std::vector<uint8_t> *file, std::string *error) {
    const size_t pixels = size_t(picture.width) * size_t(picture.height);
    if (picture.width <= 0 || picture.height <= 0 || picture.rgba.size() != pixels * 4) {
        *error = "no picture to encode";
        return false;
    }
    try {
        std::vector<half> channels(pixels * 4);
        for (size_t i = 0; i < pixels; ++i) {
            for (int c = 0; c < 3; ++c) channels[i * 4 + c] = half(srgb_to_linear(picture.rgba[i * 4 + c]));
            channels[i * 4 + 3] = half(picture.rgba[i * 4 + 3]);
        }
        Imf::Header header(picture.width, picture.height);
        header.compression() = Imf::ZIP_COMPRESSION;
        Imf::addChromaticities(header, Imf::Chromaticities());  // Rec. 709 primaries, as sRGB's
        Imf::FrameBuffer frame;
        for (int c = 0; c < 4; ++c) {
            header.channels().insert(kChannelNames[c], Imf::Channel(Imf::HALF));
            frame.insert(kChannelNames[c], Imf::Slice(Imf::HALF, reinterpret_cast<char *>(channels.data() + c),
                                                      sizeof(half) * 4, sizeof(half) * 4 * size_t(picture.width)));
        }
        file->clear();
        MemoryStream stream(*file);
        {
            Imf::OutputFile out(stream, header);  // finishes the file when it goes
            out.setFrameBuffer(frame);
            out.writePixels(picture.height);
        }
        return true;
    } catch (const std::exception &e) {
        *error = std::string("cannot encode OpenEXR: ") + e.what();
        return false;
    }
}

}  // namespace vellimor
