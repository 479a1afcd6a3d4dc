#include "render/pic_file.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>
#include <optional>

#include "render/atomic_file.h"

namespace vellimor {
namespace {

constexpr char kProducerComment[] = "Vellimor fur renderer";
constexpr char kPicExtension[] = ".pic";
constexpr int kMaxLiteral = 128;       // pixels in one literal group of a mixed packet
constexpr int kMaxShortRun = 127;      // longest run written with a single count byte
constexpr int kMaxLongRun = 65535;     // longest run written with a 16-bit count
constexpr int kMaxPureRun = 255;       // longest run of a pure run-length packet

// Channel indices named by a packet mask, in pixel order red, green, blue, alpha.
struct ChannelList {
    int index[kPicChannelCount];
    int count = 0;
};

ChannelList channels_of(uint8_t mask) {
    ChannelList list;
    for (int c = 0; c < kPicChannelCount; ++c)
        if (mask & pic_channel_mask(c)) list.index[list.count++] = c;
    return list;
}

void set_error(std::string *error, const std::string &text) {
    if (error) *error = text;
}

// Bounds-checked big-endian reading from a byte range.
class ByteReader {
public:
    ByteReader(const uint8_t *data, size_t size) : data_(data), size_(size) {}

    size_t remaining() const { return size_ - pos_; }
    bool u8(uint8_t *v) {
        if (remaining() < 1) return false;
        *v = data_[pos_++];
        return true;
    }
    bool u16(uint16_t *v) {
        if (remaining() < 2) return false;
        *v = uint16_t(data_[pos_] << 8 | data_[pos_ + 1]);
        pos_ += 2;
        return true;
    }
    bool u32(uint32_t *v) {
        if (remaining() < 4) return false;
        *v = uint32_t(data_[pos_]) << 24 | uint32_t(data_[pos_ + 1]) << 16 | uint32_t(data_[pos_ + 2]) << 8 |
             uint32_t(data_[pos_ + 3]);
        pos_ += 4;
        return true;
    }
    // Points at the next n bytes and consumes them; null when fewer remain.
    const uint8_t *take(size_t n) {
        if (remaining() < n) return nullptr;
        const uint8_t *p = data_ + pos_;
        pos_ += n;
        return p;
    }

private:
    const uint8_t *data_;
    size_t size_;
    size_t pos_ = 0;
};

void put_u16(std::vector<uint8_t> &out, uint16_t v) {
    out.push_back(uint8_t(v >> 8));
    out.push_back(uint8_t(v));
}

void put_u32(std::vector<uint8_t> &out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(uint8_t(v >> shift));
}

// Reads header and chain. The stream is left at the first scanline.
bool parse_header(ByteReader &in, PicHeader *header, std::string *error) {
    const uint8_t *comment;
    if (!in.u32(&header->magic) || header->magic < kPicMagic || header->magic > kPicMagicLast) {
        set_error(error, "not a PIC file (wrong magic number)");
        return false;
    }
    if (!in.u32(&header->version_bits) || !(comment = in.take(kPicCommentSize))) {
        set_error(error, "truncated PIC header");
        return false;
    }
    header->comment.assign(reinterpret_cast<const char *>(comment), strnlen(reinterpret_cast<const char *>(comment), kPicCommentSize));
    if (!in.u32(&header->id)) {
        set_error(error, "truncated PIC header");
        return false;
    }
    if (header->id != kPicId) {
        set_error(error, "not a PIC picture (id is not PICT)");
        return false;
    }
    uint16_t width, height, fields, pad;
    uint32_t ratio_bits;
    if (!in.u16(&width) || !in.u16(&height) || !in.u32(&ratio_bits) || !in.u16(&fields) || !in.u16(&pad)) {
        set_error(error, "truncated PIC header");
        return false;
    }
    header->width = int16_t(width);
    header->height = int16_t(height);
    header->ratio = std::bit_cast<float>(ratio_bits);
    header->fields = int16_t(fields);
    header->packets.clear();
    for (;;) {
        PicPacket packet;
        if (!in.u8(&packet.chained) || !in.u8(&packet.size) || !in.u8(&packet.type) || !in.u8(&packet.channels)) {
            set_error(error, "truncated PIC packet chain");
            return false;
        }
        if (header->packets.size() == kPicMaxPackets) {
            set_error(error, "damaged PIC file (packet chain too long)");
            return false;
        }
        header->packets.push_back(packet);
        if (!packet.chained) break;
    }
    return true;
}

// The fewest bytes one scanline of a packet can take, for refusing sizes a file cannot hold.
size_t smallest_scanline(const PicPacket &packet, int width) {
    size_t channels = size_t(channels_of(packet.channels).count);
    switch (packet.type & 0x0F) {
    case kPicUncompressed: return size_t(width) * channels;
    case kPicPureRunLength: return size_t((width + kMaxPureRun - 1) / kMaxPureRun) * (1 + channels);
    default: return width <= kMaxShortRun + 1 ? 1 + channels : 3 + channels;
    }
}

bool check_picture_header(const PicHeader &header, size_t scanline_bytes, std::string *error) {
    if (header.width <= 0 || header.height <= 0) {
        set_error(error, "invalid PIC size " + std::to_string(header.width) + " x " + std::to_string(header.height));
        return false;
    }
    size_t smallest = 0;
    for (const PicPacket &packet : header.packets) {
        int type = packet.type & 0x0F;
        if (type > kPicMixedRunLength) {
            set_error(error, "unknown PIC packet encoding " + std::to_string(type));
            return false;
        }
        if (channels_of(packet.channels).count == 0) {
            set_error(error, "damaged PIC file (a packet names no channel)");
            return false;
        }
        smallest += smallest_scanline(packet, header.width);
    }
    if (smallest * size_t(header.height) > scanline_bytes) {
        set_error(error, "truncated PIC file (too short for a " + std::to_string(header.width) + " x " +
                             std::to_string(header.height) + " picture)");
        return false;
    }
    return true;
}

// Decodes one packet of one scanline into the rows at `row` of the given planes. False ends the
// whole decode: the data ran out or a count would overrun the scanline.
class ScanlineDecoder {
public:
    ScanlineDecoder(ByteReader &in, int width) : in_(in), width_(width) {}

    bool decode(const PicPacket &packet, uint8_t *const *rows, int channels) {
        rows_ = rows;
        channels_ = channels;
        switch (packet.type & 0x0F) {
        case kPicUncompressed: return literal(0, width_);
        case kPicPureRunLength: return pure_runs();
        default: return mixed_runs();
        }
    }

private:
    bool literal(int x, int count) {
        const uint8_t *bytes = in_.take(size_t(count) * size_t(channels_));
        if (!bytes) return false;
        for (int i = 0; i < count; ++i)
            for (int c = 0; c < channels_; ++c) rows_[c][x + i] = *bytes++;
        return true;
    }
    bool run(int x, int count) {
        const uint8_t *pixel = in_.take(size_t(channels_));
        if (!pixel) return false;
        for (int c = 0; c < channels_; ++c) std::memset(rows_[c] + x, pixel[c], size_t(count));
        return true;
    }
    bool pure_runs() {
        for (int x = 0; x < width_;) {
            uint8_t count;
            if (!in_.u8(&count)) return false;
            int n = std::min<int>(count, width_ - x);
            if (!run(x, n)) return false;
            x += n;
        }
        return true;
    }
    bool mixed_runs() {
        for (int x = 0; x < width_;) {
            uint8_t c;
            if (!in_.u8(&c)) return false;
            if (c < 128) {
                int n = c + 1;
                if (n > width_ - x || !literal(x, n)) return false;
                x += n;
                continue;
            }
            int n = c - 127;
            if (c == 128) {
                uint16_t long_count;
                if (!in_.u16(&long_count)) return false;
                n = long_count;
            }
            if (n > width_ - x || !run(x, n)) return false;
            x += n;
        }
        return true;
    }

    ByteReader &in_;
    int width_;
    uint8_t *const *rows_ = nullptr;
    int channels_ = 0;
};

// Pixels of one packet's channels for one scanline, interleaved.
void gather_scanline(const PicImage &picture, const ChannelList &list, int y, std::vector<uint8_t> &pixels) {
    size_t width = size_t(picture.width);
    pixels.assign(width * size_t(list.count), 0);
    for (int k = 0; k < list.count; ++k) {
        const std::vector<uint8_t> &plane = picture.planes[list.index[k]];
        if (plane.empty()) continue;  // a channel the picture lacks is written as zero
        const uint8_t *row = plane.data() + size_t(y) * width;
        for (size_t x = 0; x < width; ++x) pixels[x * size_t(list.count) + size_t(k)] = row[x];
    }
}

void encode_pure_scanline(const uint8_t *pixels, int width, int channels, std::vector<uint8_t> &out) {
    size_t bytes = size_t(channels);
    for (int x = 0; x < width;) {
        const uint8_t *pixel = pixels + size_t(x) * bytes;
        int n = 1;
        while (x + n < width && n < kMaxPureRun && std::memcmp(pixel, pixels + size_t(x + n) * bytes, bytes) == 0) ++n;
        out.push_back(uint8_t(n));
        out.insert(out.end(), pixel, pixel + bytes);
        x += n;
    }
}

void encode_scanline(uint8_t type, const uint8_t *pixels, int width, int channels, std::vector<uint8_t> &out) {
    switch (type) {
    case kPicUncompressed: out.insert(out.end(), pixels, pixels + size_t(width) * size_t(channels)); break;
    case kPicPureRunLength: encode_pure_scanline(pixels, width, channels, out); break;
    default: pic_encode_mixed_scanline(pixels, width, channels, out); break;
    }
}

bool valid_size(int width, int height) {
    return width > 0 && height > 0 && width <= kPicMaxDimension && height <= kPicMaxDimension;
}

}  // namespace

std::unique_ptr<PicImage> pic_create(int width, int height, bool with_alpha) {
    if (!valid_size(width, height)) return nullptr;
    try {
        auto picture = std::make_unique<PicImage>();
        picture->width = int16_t(width);
        picture->height = int16_t(height);
        for (int c = 0; c < kPicChannelCount; ++c)
            if (c != kPicAlpha || with_alpha) picture->planes[c].assign(picture->pixel_count(), 0);
        return picture;
    } catch (const std::bad_alloc &) {
        return nullptr;
    }
}

std::unique_ptr<PicImage> pic_from_framebuffer(const uint8_t *rgba_bottom_up, int width, int height,
                                               const uint8_t *alpha_top_down) {
    std::unique_ptr<PicImage> picture = pic_create(width, height, true);
    if (!picture) return nullptr;
    const size_t row_pixels = size_t(width);
    for (int y = 0; y < height; ++y) {
        const uint8_t *source = rgba_bottom_up + size_t(height - 1 - y) * row_pixels * 4;
        const size_t row = size_t(y) * row_pixels;
        for (size_t x = 0; x < row_pixels; ++x)
            for (int c = 0; c < kPicChannelCount; ++c) picture->planes[c][row + x] = source[x * 4 + size_t(c)];
    }
    if (alpha_top_down) std::memcpy(picture->alpha().data(), alpha_top_down, picture->pixel_count());
    return picture;
}

std::string pic_file_name(const std::string &name) {
    constexpr size_t extension_length = sizeof(kPicExtension) - 1;
    if (name.size() > extension_length && name.ends_with(kPicExtension)) return name;
    return name + kPicExtension;
}

struct PicRowReader::State {
    State(const uint8_t *data, size_t size) : in(data, size) {}
    ByteReader in;
    std::optional<ScanlineDecoder> decoder;
    PicHeader header;
    std::array<std::vector<uint8_t>, kPicChannelCount> rows;
    PicRow row{};
    bool decoding = true;
};

PicRowReader::PicRowReader() = default;
PicRowReader::~PicRowReader() = default;

bool PicRowReader::open(const uint8_t *data, size_t size, std::string *error) {
    state_ = std::make_unique<State>(data, size);
    State &s = *state_;
    if (!parse_header(s.in, &s.header, error) || !check_picture_header(s.header, s.in.remaining(), error)) {
        state_.reset();
        return false;
    }
    s.decoder.emplace(s.in, s.header.width);
    try {
        for (const PicPacket &packet : s.header.packets) {
            ChannelList list = channels_of(packet.channels);
            for (int k = 0; k < list.count; ++k) s.rows[size_t(list.index[k])].assign(size_t(s.header.width), 0);
        }
    } catch (const std::bad_alloc &) {
        set_error(error, "not enough memory for a row of " + std::to_string(s.header.width) + " pixels");
        state_.reset();
        return false;
    }
    for (int c = 0; c < kPicChannelCount; ++c)
        s.row[size_t(c)] = s.rows[size_t(c)].empty() ? nullptr : s.rows[size_t(c)].data();
    return true;
}

const PicHeader &PicRowReader::header() const {
    static const PicHeader none;
    return state_ ? state_->header : none;
}

const PicRow &PicRowReader::next() {
    static const PicRow none{};
    if (!state_) return none;
    State &s = *state_;
    // A scanline that runs out of data or overruns its width ends decoding; what was decoded so
    // far is kept and the rest of the picture is zero.
    for (std::vector<uint8_t> &r : s.rows) std::fill(r.begin(), r.end(), uint8_t(0));
    for (size_t p = 0; s.decoding && p < s.header.packets.size(); ++p) {
        ChannelList list = channels_of(s.header.packets[p].channels);
        uint8_t *packet_rows[kPicChannelCount];
        for (int k = 0; k < list.count; ++k) packet_rows[k] = s.rows[size_t(list.index[k])].data();
        s.decoding = s.decoder->decode(s.header.packets[p], packet_rows, list.count);
    }
    return s.row;
}

std::unique_ptr<PicImage> pic_decode(const uint8_t *data, size_t size, std::string *error) {
    ByteReader in(data, size);
    PicHeader header;
    if (!parse_header(in, &header, error)) return nullptr;
    const long long pixels = (long long)header.width * (long long)header.height;
    if (pixels > kPicMaxPixels) {
        set_error(error, "a " + std::to_string(header.width) + " x " + std::to_string(header.height) +
                             " picture is above the limit of " + std::to_string(kPicMaxPixels) + " pixels");
        return nullptr;
    }

    PicRowReader reader;
    if (!reader.open(data, size, error)) return nullptr;
    std::unique_ptr<PicImage> picture;
    try {
        picture = std::make_unique<PicImage>();
        picture->width = header.width;
        picture->height = header.height;
        picture->ratio = header.ratio;
        picture->fields = header.fields;
        for (const PicPacket &packet : header.packets) {
            ChannelList list = channels_of(packet.channels);
            for (int k = 0; k < list.count; ++k)
                if (picture->planes[list.index[k]].empty()) picture->planes[list.index[k]].assign(picture->pixel_count(), 0);
        }
    } catch (const std::bad_alloc &) {
        set_error(error, "not enough memory for a " + std::to_string(header.width) + " x " +
                             std::to_string(header.height) + " picture");
        return nullptr;
    }
    const size_t width = size_t(header.width);
    for (int y = 0; y < header.height; ++y) {
        const PicRow &row = reader.next();
        for (int c = 0; c < kPicChannelCount; ++c)
            if (row[size_t(c)]) std::memcpy(picture->planes[size_t(c)].data() + size_t(y) * width, row[size_t(c)], width);
    }
    return picture;
}

std::unique_ptr<PicImage> pic_read_file(const std::string &path, std::string *error) {
    std::vector<uint8_t> bytes;
    if (!read_whole_file(path, &bytes, error)) return nullptr;
    return pic_decode(bytes.data(), bytes.size(), error);
}

std::unique_ptr<PicImage> pic_load(const std::string &name) { return pic_read_file(pic_file_name(name)); }

bool pic_read_header_info(const std::string &path, PicHeader *header, std::string *error) {
    // Only the header and the longest chain a reader accepts: never the scanlines.
    // The file's size still tells whether it can hold the scanlines the header states.
    std::vector<uint8_t> bytes;
    size_t file_size = 0;
    if (!read_file_start(path, size_t(kPicHeaderSize) + 4 * kPicMaxPackets, &bytes, &file_size, error))
        return false;
    ByteReader in(bytes.data(), bytes.size());
    if (!parse_header(in, header, error)) return false;
    const size_t header_bytes = bytes.size() - in.remaining();
    return check_picture_header(*header, file_size - header_bytes, error);
}

std::vector<PicPacket> pic_default_packets(const PicImage &picture) {
    std::vector<PicPacket> packets;
    packets.push_back({0, 8, kPicMixedRunLength, kPicMaskRgb});
    if (picture.has_plane(kPicAlpha)) {
        packets.back().chained = 1;
        packets.push_back({0, 8, kPicMixedRunLength, kPicMaskAlpha});
    }
    return packets;
}

void pic_encode_mixed_scanline(const uint8_t *pixels, int width, int channels, std::vector<uint8_t> &out) {
    if (channels < 0 || channels > kPicChannelCount) return;
    const size_t bytes = size_t(channels);
    uint8_t buffer[kMaxLiteral * kPicChannelCount];
    auto slot = [&](int i) { return buffer + size_t(i) * bytes; };
    auto equal = [&](const uint8_t *a, const uint8_t *b) { return std::memcmp(a, b, bytes) == 0; };
    auto write_literal = [&](int count) {  // count pixels from the buffer's start
        out.push_back(uint8_t(count - 1));
        out.insert(out.end(), buffer, buffer + size_t(count) * bytes);
    };
    auto write_run = [&](int count) {  // count copies of the buffer's first pixel
        if (count < kMaxLiteral) {
            out.push_back(uint8_t(count + kMaxShortRun));
        } else {
            out.push_back(uint8_t(kMaxLiteral));
            put_u16(out, uint16_t(count));
        }
        out.insert(out.end(), buffer, buffer + bytes);
    };

    int n = 0;
    bool run = false;
    for (int i = 0; i < width; ++i) {
        const uint8_t *x = pixels + size_t(i) * bytes;
        if (n == 0) {
            std::memcpy(slot(0), x, bytes);
            n = 1;
            continue;
        }
        if (n == 1) {
            run = equal(x, slot(0));
            if (!run) std::memcpy(slot(1), x, bytes);
            n = 2;
            continue;
        }
        bool same = run ? equal(x, slot(0)) : equal(x, slot(n - 1));
        if (same == run) {
            if (!run) std::memcpy(slot(n), x, bytes);
            ++n;
            if (!run && n == kMaxLiteral) {
                write_literal(n);
                n = 0;
            } else if (run && n == kMaxLongRun) {
                write_run(n);
                n = 0;
            }
        } else if (!run) {
            // The literal stretch ends before its last pixel, which starts a run with x.
            write_literal(n - 1);
            std::memcpy(slot(0), x, bytes);
            n = 2;
            run = true;
        } else {
            write_run(n);
            std::memcpy(slot(0), x, bytes);
            n = 1;
        }
    }
    if (n == 0) return;
    if (n == 1 || !run)
        write_literal(n);
    else
        write_run(n);
}

std::vector<uint8_t> pic_encode(const PicImage &picture, const std::vector<PicPacket> *packets, const char *comment) {
    std::vector<uint8_t> out;
    if (!valid_size(picture.width, picture.height)) return out;
    for (const std::vector<uint8_t> &plane : picture.planes)
        if (!plane.empty() && plane.size() != picture.pixel_count()) return out;
    std::vector<PicPacket> chain = packets ? *packets : pic_default_packets(picture);
    if (chain.empty() || chain.size() > size_t(kPicMaxPackets)) return out;
    for (const PicPacket &packet : chain)
        if (packet.type > kPicMixedRunLength) return out;

    put_u32(out, kPicMagic);
    put_u32(out, kPicVersionBits);
    char text[kPicCommentSize] = {};
    std::strncpy(text, comment ? comment : kProducerComment, kPicCommentSize);
    out.insert(out.end(), text, text + kPicCommentSize);
    put_u32(out, kPicId);
    put_u16(out, uint16_t(picture.width));
    put_u16(out, uint16_t(picture.height));
    put_u32(out, std::bit_cast<uint32_t>(picture.ratio));
    put_u16(out, uint16_t(picture.fields));
    put_u16(out, 0);
    for (size_t i = 0; i < chain.size(); ++i) {
        // The chain flags are derived from the position, so a reader always finds the end.
        out.push_back(i + 1 < chain.size() ? 1 : 0);
        out.push_back(chain[i].size);
        out.push_back(chain[i].type);
        out.push_back(chain[i].channels);
    }
    std::vector<uint8_t> pixels;
    for (int y = 0; y < picture.height; ++y) {
        for (const PicPacket &packet : chain) {
            ChannelList list = channels_of(packet.channels);
            gather_scanline(picture, list, y, pixels);
            encode_scanline(packet.type, pixels.data(), picture.width, list.count, out);
        }
    }
    return out;
}

bool pic_write_file(const std::string &path, const PicImage &picture, const std::vector<PicPacket> *packets,
                    const char *comment, std::string *error) {
    std::vector<uint8_t> bytes;
    try {
        bytes = pic_encode(picture, packets, comment);
    } catch (const std::bad_alloc &) {
        set_error(error, "not enough memory to encode the picture");
        return false;
    }
    if (bytes.empty()) {
        set_error(error, "not a valid picture (size " + std::to_string(picture.width) + " x " +
                             std::to_string(picture.height) + ")");
        return false;
    }
    return write_file_atomically(path, bytes, error);
}

bool pic_save(const std::string &name, const PicImage &picture, const std::vector<PicPacket> *packets,
              const char *comment) {
    return pic_write_file(pic_file_name(name), picture, packets, comment);
}

}  // namespace vellimor
