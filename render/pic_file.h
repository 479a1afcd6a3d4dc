// PIC image files: a big-endian header, a chain of channel packets, then run-length encoded
// scanlines from the top row down. Rendered frames are written in this format and texture and
// background pictures are read from it.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vellimor {

// Channel order within a pixel and the packet mask bit of each channel.
enum PicChannel { kPicRed = 0, kPicGreen = 1, kPicBlue = 2, kPicAlpha = 3 };
constexpr int kPicChannelCount = 4;
constexpr uint8_t kPicMaskRed = 0x80;
constexpr uint8_t kPicMaskGreen = 0x40;
constexpr uint8_t kPicMaskBlue = 0x20;
constexpr uint8_t kPicMaskAlpha = 0x10;
constexpr uint8_t kPicMaskRgb = kPicMaskRed | kPicMaskGreen | kPicMaskBlue;

constexpr uint8_t pic_channel_mask(int channel) { return uint8_t(0x80 >> channel); }

// Packet encodings.
constexpr uint8_t kPicUncompressed = 0;
constexpr uint8_t kPicPureRunLength = 1;
constexpr uint8_t kPicMixedRunLength = 2;

constexpr uint32_t kPicMagic = 0x5380F634;
constexpr uint32_t kPicMagicLast = 0x5380F646;  // readers accept magics up to this one
constexpr uint32_t kPicVersionBits = 0x406001A3;
constexpr uint32_t kPicId = 0x50494354;  // "PICT"
constexpr int kPicCommentSize = 80;
constexpr int kPicHeaderSize = 104;       // up to the first packet
constexpr int kPicMaxDimension = 32767;   // width and height are signed 16-bit
constexpr int kPicMaxPackets = 16;        // longer chains are damage, not pictures

// Whether a picture can have this size.
constexpr bool pic_size_valid(int width, int height) {
    return width > 0 && height > 0 && width <= kPicMaxDimension && height <= kPicMaxDimension;
}

// One channel packet of the chain.
struct PicPacket {
    uint8_t chained = 0;   // non-zero when another packet follows
    uint8_t size = 8;      // bits per channel
    uint8_t type = kPicMixedRunLength;
    uint8_t channels = 0;  // mask of kPicMask* bits
};

// A picture in memory. Planes hold width x height bytes, row-major, row 0 at the top; an empty
// plane means the file has no such channel.
struct PicImage {
    int16_t width = 0;
    int16_t height = 0;
    float ratio = 1.0f;
    int16_t fields = 0;
    std::array<std::vector<uint8_t>, kPicChannelCount> planes;

    std::vector<uint8_t> &red() { return planes[kPicRed]; }
    std::vector<uint8_t> &green() { return planes[kPicGreen]; }
    std::vector<uint8_t> &blue() { return planes[kPicBlue]; }
    std::vector<uint8_t> &alpha() { return planes[kPicAlpha]; }
    const std::vector<uint8_t> &alpha() const { return planes[kPicAlpha]; }
    bool has_plane(int channel) const { return !planes[channel].empty(); }
    size_t pixel_count() const { return size_t(width) * size_t(height); }
};

// Header fields as stored, for inspection without decoding.
struct PicHeader {
    uint32_t magic = 0;
    uint32_t version_bits = 0;
    std::string comment;
    uint32_t id = 0;
    int16_t width = 0;
    int16_t height = 0;
    float ratio = 0.0f;
    int16_t fields = 0;
    std::vector<PicPacket> packets;
};

// A picture of the given size with red, green and blue planes (and alpha when asked), all zero;
// null when the size is not a valid picture size or memory is short.
std::unique_ptr<PicImage> pic_create(int width, int height, bool with_alpha);

// The file name a picture name stands for: ".pic" is appended unless the name is longer than
// four characters and already ends in ".pic" (case matters).
std::string pic_file_name(const std::string &name);

// Reads the picture of the given name (naming rule applied); null when the file is missing or
// is not a readable picture.
std::unique_ptr<PicImage> pic_load(const std::string &name);
// Reads exactly the given path. On failure returns null and, when asked, says why.
std::unique_ptr<PicImage> pic_read_file(const std::string &path, std::string *error = nullptr);
// Pictures held whole in memory (textures, backgrounds, pic_read_file) have at most this many
// pixels (8192 x 8192, 256 MB in four planes); larger ones are refused. Row by row readers
// (pic_decode_rows) take any size a file can state.
constexpr long long kPicMaxPixels = 8192LL * 8192LL;

// Decodes a whole file held in memory; null (with the reason) for a damaged file or one above
// kPicMaxPixels.
std::unique_ptr<PicImage> pic_decode(const uint8_t *data, size_t size, std::string *error = nullptr);

// One decoded scanline: a row of width bytes per channel, null for a channel the file lacks.
using PicRow = std::array<const uint8_t *, kPicChannelCount>;

// Decodes a file held in memory scanline by scanline, holding one row per channel, for readers
// that need not hold the whole picture (any size a header can state).
class PicRowReader {
public:
    PicRowReader();
    ~PicRowReader();
    PicRowReader(const PicRowReader &) = delete;
    PicRowReader &operator=(const PicRowReader &) = delete;

    // Reads and checks header and packets; false (with the reason) when the file can't be read
    // as a picture. `data` must outlive the reader.
    bool open(const uint8_t *data, size_t size, std::string *error = nullptr);
    const PicHeader &header() const;
    // The next scanline from the top (rows after damaged data are zero). Call height times.
    const PicRow &next();

private:
    struct State;
    std::unique_ptr<State> state_;
};
// Parses header and packet chain only (for listings).
bool pic_read_header_info(const std::string &path, PicHeader *header, std::string *error = nullptr);

// The writer's default chain: one mixed run-length packet for red, green and blue, and one for
// alpha when the picture has an alpha plane.
std::vector<PicPacket> pic_default_packets(const PicImage &picture);

// Encodes a picture. With no packets given, the default chain is used; a null comment writes the
// fixed producer text. Empty result when the picture has no valid size or a plane of the wrong size.
std::vector<uint8_t> pic_encode(const PicImage &picture, const std::vector<PicPacket> *packets = nullptr,
                                const char *comment = nullptr);

// Saves under the given name (naming rule applied). The file appears complete or not at all;
// false when it could not be written.
bool pic_save(const std::string &name, const PicImage &picture,
              const std::vector<PicPacket> *packets = nullptr, const char *comment = nullptr);
// Saves to exactly the given path, atomically.
bool pic_write_file(const std::string &path, const PicImage &picture,
                    const std::vector<PicPacket> *packets = nullptr, const char *comment = nullptr,
                    std::string *error = nullptr);

// A picture from pixels read back from OpenGL (RGBA bytes, bottom row first), rows flipped so
// that row 0 is the top. The alpha plane comes from `alpha_top_down` (width x height bytes, row 0
// at the top) when given, else from the pixels. Null when the size is invalid or memory is short.
std::unique_ptr<PicImage> pic_from_framebuffer(const uint8_t *rgba_bottom_up, int width, int height,
                                               const uint8_t *alpha_top_down);

// Appends one scanline of `width` pixels in mixed run-length form. `pixels` holds width pixels of
// `channels` bytes each.
void pic_encode_mixed_scanline(const uint8_t *pixels, int width, int channels, std::vector<uint8_t> &out);

}  // namespace vellimor
