// vellimor-pic: looks into PIC pictures, converts them to and from PNG, and compares two pictures.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <new>
#include <string>
#include <vector>

#include "render/atomic_file.h"
#include "render/pic_file.h"
#include "render/picture_difference.h"
#include "render/png_image.h"

namespace vellimor {
namespace {

constexpr char kProgram[] = "vellimor-pic";
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

void print_usage(std::FILE *out) {
    std::fprintf(out,
                 "usage: %s info FILE\n"
                 "       %s to-png IN.pic OUT.png\n"
                 "       %s from-png IN.png OUT.pic\n"
                 "       %s compare A B [SIDE_BY_SIDE.png]\n"
                 "       %s --help | --version\n",
                 kProgram, kProgram, kProgram, kProgram, kProgram);
}

int usage() {
    print_usage(stderr);
    return kExitUsage;
}

int fail(const std::string &path, const std::string &why) {
    std::fprintf(stderr, "%s: %s: %s\n", kProgram, path.c_str(), why.c_str());
    return kExitFailure;
}

const char *encoding_name(uint8_t type) {
    switch (type & 0x0F) {
    case kPicUncompressed: return "uncompressed";
    case kPicPureRunLength: return "pure run-length";
    case kPicMixedRunLength: return "mixed run-length";
    default: return "unknown";
    }
}

std::string channel_names(uint8_t mask) {
    static const char *const names[kPicChannelCount] = {"R", "G", "B", "A"};
    std::string text;
    for (int c = 0; c < kPicChannelCount; ++c) {
        if (!(mask & pic_channel_mask(c))) continue;
        if (!text.empty()) text += ' ';
        text += names[c];
    }
    return text.empty() ? "none" : text;
}

int show_info_unguarded(const std::string &path) {
    PicHeader header;
    std::string error;
    if (!pic_read_header_info(path, &header, &error)) return fail(path, error);
    std::printf("size: %d x %d\n", header.width, header.height);
    std::printf("ratio: %g\n", double(header.ratio));
    std::printf("fields: %d\n", header.fields);
    std::printf("comment: %s\n", header.comment.c_str());
    for (size_t i = 0; i < header.packets.size(); ++i) {
        const PicPacket &p = header.packets[i];
        std::printf("packet %zu: type %d (%s), size %d, channels 0x%02X (%s)\n", i + 1, p.type & 0x0F,
                    encoding_name(p.type), p.size, p.channels, channel_names(p.channels).c_str());
    }
    // Only the header is read: a listing costs the same for any size the header states.
    return 0;
}

// Converts row by row: memory holds the PIC file and one row, whatever size its header states.
int pic_to_png_unguarded(const std::string &in, const std::string &out) {
    std::string error;
    std::vector<uint8_t> file;
    if (!read_whole_file(in, &file, &error)) return fail(in, error);
    PicRowReader reader;
    if (!reader.open(file.data(), file.size(), &error)) return fail(in, error);
    const PicHeader &header = reader.header();
    bool has_alpha = false;
    for (const PicPacket &packet : header.packets) has_alpha |= (packet.channels & kPicMaskAlpha) != 0;
    const int channels = has_alpha ? 4 : 3;

    AtomicFileWriter output;
    if (!output.open(out, &error)) return fail(out, error);
    const auto fill_row = [&](int, uint8_t *row) {
        const PicRow &scanline = reader.next();
        for (int c = 0; c < channels; ++c) {
            const uint8_t *plane = scanline[size_t(c)];
            for (int x = 0; x < header.width; ++x)
                row[size_t(x) * size_t(channels) + size_t(c)] = plane ? plane[x] : 0;  // a channel the file lacks reads as zero
        }
        return true;
    };
    const auto write_bytes = [&output](const uint8_t *data, size_t size) { return output.write(data, size); };
    const bool encoded = png_write_rows(header.width, header.height, has_alpha, fill_row, write_bytes, &error);
    if (!encoded && !error.empty()) return fail(out, error);
    // A write that failed (a full disk) is the output's to tell.
    if (!output.commit(&error)) return fail(out, error);
    return 0;
}

int png_to_pic_unguarded(const std::string &in, const std::string &out) {
    std::string error;
    std::vector<uint8_t> file;
    if (!read_whole_file(in, &file, &error)) return fail(in, error);
    RgbaPixels pixels;
    if (!png_decode(file, kPicMaxDimension, &pixels, &error)) return fail(in, error);
    std::unique_ptr<PicImage> picture = pic_create(pixels.width, pixels.height, pixels.has_alpha);
    if (!picture) return fail(in, "not enough memory for the picture");
    size_t count = picture->pixel_count();
    for (int c = 0; c < kPicChannelCount; ++c) {
        if (!picture->has_plane(c)) continue;
        std::vector<uint8_t> &plane = picture->planes[c];
        for (size_t i = 0; i < count; ++i) plane[i] = pixels.rgba[i * 4 + size_t(c)];
    }
    if (!pic_write_file(out, *picture, nullptr, nullptr, &error)) return fail(out, error);
    return 0;
}

// A PNG (told by its signature) or PIC picture as RGBA pixels, top row first.
bool read_picture(const std::string &path, RgbaPixels *pixels, std::string *error) {
    std::vector<uint8_t> file;
    if (!read_whole_file(path, &file, error)) return false;
    static constexpr uint8_t kPngSignature[] = {0x89, 'P', 'N', 'G'};
    if (file.size() >= sizeof kPngSignature && std::equal(kPngSignature, std::end(kPngSignature), file.begin()))
        return png_decode(file, kPicMaxDimension, pixels, error);
    const std::unique_ptr<PicImage> picture = pic_decode(file.data(), file.size(), error);
    if (!picture) return false;
    pixels->width = picture->width;
    pixels->height = picture->height;
    pixels->rgba.assign(picture->pixel_count() * 4, 0);
    for (int c = 0; c < kPicChannelCount; ++c) {
        if (!picture->has_plane(c)) continue;
        const std::vector<uint8_t> &plane = picture->planes[c];
        for (size_t i = 0; i < picture->pixel_count(); ++i) pixels->rgba[i * 4 + size_t(c)] = plane[i];
    }
    return true;
}

// Amplifies differences so that a level or two shows.
constexpr int kDifferenceGain = 8;

// A beside B beside their difference (times kDifferenceGain), as an RGB PNG.
int write_side_by_side(const RgbaPixels &a, const RgbaPixels &b, const std::string &out) {
    std::string error;
    AtomicFileWriter output;
    if (!output.open(out, &error)) return fail(out, error);
    const auto fill_row = [&](int y, uint8_t *row) {
        for (int x = 0; x < a.width; ++x) {
            const size_t i = (size_t(y) * size_t(a.width) + size_t(x)) * 4;
            for (int c = 0; c < 3; ++c) {
                const int delta = std::abs(int(a.rgba[i + size_t(c)]) - int(b.rgba[i + size_t(c)]));
                row[size_t(x) * 3 + size_t(c)] = a.rgba[i + size_t(c)];
                row[size_t(a.width + x) * 3 + size_t(c)] = b.rgba[i + size_t(c)];
                row[size_t(2 * a.width + x) * 3 + size_t(c)] = uint8_t(std::min(255, delta * kDifferenceGain));
            }
        }
        return true;
    };
    const auto write_bytes = [&output](const uint8_t *data, size_t size) { return output.write(data, size); };
    if (!png_write_rows(3 * a.width, a.height, false, fill_row, write_bytes, &error) && !error.empty())
        return fail(out, error);
    if (!output.commit(&error)) return fail(out, error);
    return 0;
}

// Prints how far two pictures differ (and draws them side by side when asked); status 0 when
// they picture the same frame within the bounds.
int compare_unguarded(const std::string &a_path, const std::string &b_path, const std::string &side_by_side) {
    RgbaPixels a, b;
    std::string error;
    if (!read_picture(a_path, &a, &error)) return fail(a_path, error);
    if (!read_picture(b_path, &b, &error)) return fail(b_path, error);
    if (a.width != b.width || a.height != b.height)
        return fail(b_path, "is " + std::to_string(b.width) + " x " + std::to_string(b.height) + ", not " +
                                std::to_string(a.width) + " x " + std::to_string(a.height));
    const PictureDifference d = picture_difference(a.rgba, b.rgba, a.width, a.height);
    std::printf("mean absolute difference: R %.3f G %.3f B %.3f\n", d.mean[0], d.mean[1], d.mean[2]);
    std::printf("largest %dx%d block difference: R %.3f G %.3f B %.3f (block at %d, %d from the top left)\n",
                kDifferenceBlock, kDifferenceBlock, d.worst_block[0], d.worst_block[1], d.worst_block[2],
                d.worst_block_x, d.worst_block_y);
    if (!side_by_side.empty() && write_side_by_side(a, b, side_by_side) != 0) return kExitFailure;
    const bool same = d.equivalent();
    std::printf("%s (bounds: mean %.1f, block %.1f)\n", same ? "equivalent" : "different",
                kEquivalentMeanDifference, kEquivalentBlockDifference);
    return same ? 0 : kExitFailure;
}

// Memory that runs out anywhere in a command ends it with one line, never an abort.
template <class Command>
int guarded(const std::string &path, Command command) {
    try {
        return command();
    } catch (const std::bad_alloc &) {
        return fail(path, "not enough memory");
    }
}

int show_info(const std::string &path) {
    return guarded(path, [&] { return show_info_unguarded(path); });
}
int pic_to_png(const std::string &in, const std::string &out) {
    return guarded(in, [&] { return pic_to_png_unguarded(in, out); });
}
int png_to_pic(const std::string &in, const std::string &out) {
    return guarded(in, [&] { return png_to_pic_unguarded(in, out); });
}
int compare(const std::string &a, const std::string &b, const std::string &side_by_side) {
    return guarded(a, [&] { return compare_unguarded(a, b, side_by_side); });
}

}  // namespace
}  // namespace vellimor

int main(int argc, char **argv) {
    using namespace vellimor;
    std::vector<std::string> args(argv + 1, argv + argc);
    // Help asked of the program or of any of its commands.
    if (std::any_of(args.begin(), args.end(), [](const std::string &a) { return a == "--help" || a == "-h"; })) {
        print_usage(stdout);
        return 0;
    }
    if (args.size() == 1 && args[0] == "--version") {
        std::printf("%s (Vellimor) %s\n", kProgram, VELLIMOR_VERSION);
        return 0;
    }
    if (args.size() == 2 && args[0] == "info") return show_info(args[1]);
    if (args.size() == 3 && args[0] == "to-png") return pic_to_png(args[1], args[2]);
    if (args.size() == 3 && args[0] == "from-png") return png_to_pic(args[1], args[2]);
    if ((args.size() == 3 || args.size() == 4) && args[0] == "compare")
        return compare(args[1], args[2], args.size() == 4 ? args[3] : "");
    return usage();
}
