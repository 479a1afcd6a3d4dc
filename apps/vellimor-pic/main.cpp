// vellimor-pic: looks into PIC pictures and converts them to and from PNG.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "render/atomic_file.h"
#include "render/pic_file.h"
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
                 "       %s --help | --version\n",
                 kProgram, kProgram, kProgram, kProgram);
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
    return usage();
}
