#include "editor/keymap_pictures.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include "editor/keymap_channels.h"
#include "hair/texture_picture.h"
#include "render/pic_file.h"

namespace vellimor {

namespace {

constexpr int kDefaultMapResolution = 50;
constexpr std::size_t kFileNameMax = 511;  // the stored name field holds 512 bytes

int picture_channel_count(const PicImage &image) {
    int count = 0;
    for (int c = 0; c < kPicChannelCount; ++c) count += image.has_plane(c) ? 1 : 0;
    return count;
}

bool valid_color_key(int t, int k) {
    return t >= 0 && t < kColorTypes && k >= 0 && k < kMaxColorKeys;
}

// Fills the picture's planes from a map of res x res cells; `bytes(cell)` gives the channel
// bytes of one cell. Map row j becomes picture row res - 1 - j.
template <class Bytes>
std::unique_ptr<PicImage> picture_of_map(int res, int channels, Bytes bytes) {
    auto image = std::make_unique<PicImage>();
    image->width = image->height = static_cast<int16_t>(res);
    for (int c = 0; c < channels; ++c) image->planes[c].assign(std::size_t(res) * res, 0);
    for (int j = 0; j < res; ++j) {
        for (int i = 0; i < res; ++i) {
            uint8_t out[kPicChannelCount] = {};
            bytes(std::size_t(j) * res + i, out);
            for (int c = 0; c < channels; ++c)
                image->planes[c][std::size_t(res - 1 - j) * res + i] = out[c];
        }
    }
    return image;
}

uint8_t byte_of(float x) { return static_cast<uint8_t>(std::clamp(x, 0.0f, 255.0f)); }

}  // namespace

std::optional<std::string> sequence_base_name(const std::string &file_name) {
    const std::size_t last = file_name.rfind('.');
    if (last == std::string::npos || last == 0) return std::nullopt;
    const std::size_t second = file_name.rfind('.', last - 1);
    if (second == std::string::npos) return std::nullopt;
    return file_name.substr(0, second);
}

PictureAttachOutcome attach_channel_picture(PatchData &record, int channel, int t, int k,
                                            const PictureChoice &choice) {
    std::string name = choice.file_name.substr(0, kFileNameMax);
    PictureSequence sequence;
    sequence.use_sequence = choice.use_sequence ? 1 : 0;
    sequence.sequence_offset = choice.sequence_offset;
    sequence.error_handling = choice.error_handling;
    if (choice.use_sequence) {
        const auto base = sequence_base_name(name);
        if (!base) {
            if (channel == kChannelColor && valid_color_key(t, k)) {
                MainColorKey &key = record.main_color_keys[t][k];
                key.seq_cont.use_sequence = 0;
                key.this_key_uses_picture = 0;
            } else if (channel != kChannelColor) {
                RecordChannelMap m = record_channel_map(record, channel);
                m.sequence.use_sequence = 0;
                m.picture_active = 0;
            }
            return kPictureNoFrameNumber;
        }
        name = *base;
    }

    if (channel == kChannelColor) {
        if (!valid_color_key(t, k)) return kPictureNotFound;
        MainColorKey &key = record.main_color_keys[t][k];
        key.picture.texture_filename = name;
        key.seq_cont.use_sequence = sequence.use_sequence;
        key.seq_cont.sequence_offset = sequence.sequence_offset;
        key.seq_cont.error_handling = sequence.error_handling;
        key.seq_cont.picture_was_found = load_texture_picture(&key.picture, key.seq_cont);
        key.map_dirty = 1;
        if (!key.picture.image) {
            key.this_key_uses_picture = 0;
            return kPictureNotFound;
        }
        const int channels = picture_channel_count(*key.picture.image);
        if (t != kColorThickness && channels != 3 && channels != 4) {
            key.picture.image.reset();
            key.this_key_uses_picture = 0;
            return kPictureWrongChannels;
        }
        key.picture_channels = channels;
        key.this_key_uses_picture = 1;
        return kPictureAttached;
    }

    RecordChannelMap m = record_channel_map(record, channel);
    if (!m.picture) m.picture = std::make_unique<Picture>();
    m.picture->texture_filename = name;
    m.sequence.use_sequence = sequence.use_sequence;
    m.sequence.sequence_offset = sequence.sequence_offset;
    m.sequence.error_handling = sequence.error_handling;
    m.sequence.picture_was_found = load_texture_picture(m.picture.get(), m.sequence);
    m.picture_active = 1;
    m.dirty = 1;
    return m.picture->image ? kPictureAttached : kPictureNotFound;
}

void remove_channel_picture(PatchData &record, int channel, int t, int k) {
    if (channel == kChannelColor) {
        if (!valid_color_key(t, k)) return;
        MainColorKey &key = record.main_color_keys[t][k];
        key.picture.image.reset();
        key.map_res = kDefaultMapResolution;
        key.this_key_uses_picture = 0;
        key.map_dirty = 1;
        return;
    }
    RecordChannelMap m = record_channel_map(record, channel);
    m.res = kDefaultMapResolution;
    m.picture_active = 0;
    m.picture.reset();
    m.dirty = 1;
}

bool channel_uses_picture(PatchData &record, int channel, int t, int k) {
    if (channel == kChannelColor)
        return valid_color_key(t, k) && record.main_color_keys[t][k].this_key_uses_picture;
    return record_channel_map(record, channel).picture_active != 0;
}

bool save_map_as_picture(PatchData &record, int channel, int t, int k, const std::string &path) {
    std::unique_ptr<PicImage> image;
    if (channel == kChannelColor) {
        if (!valid_color_key(t, k)) return false;
        const MainColorKey &key = record.main_color_keys[t][k];
        const int res = key.map_res;
        if (res < 1 || key.color_map.size() < std::size_t(res) * res) return false;
        if (t == kColorThickness) {
            float max = 0.0f;
            for (uint32_t bits : key.color_map) max = std::max(max, std::bit_cast<float>(bits));
            image = picture_of_map(res, 1, [&](std::size_t cell, uint8_t *out) {
                const float value = std::bit_cast<float>(key.color_map[cell]);
                out[0] = max > 0.0f ? byte_of(value / max * 255.0f) : 0;
            });
        } else {
            image = picture_of_map(res, 4, [&](std::size_t cell, uint8_t *out) {
                const uint32_t packed = key.color_map[cell];
                for (int c = 0; c < 4; ++c) out[c] = uint8_t(packed >> (24 - 8 * c));
            });
        }
    } else {
        RecordChannelMap m = record_channel_map(record, channel);
        const int res = m.res;
        const std::size_t cells = std::size_t(res > 0 ? res : 0) * std::size_t(res > 0 ? res : 0);
        if (res < 1 || m.map_a.size() < cells || (m.map_b && m.map_b->size() < cells)) return false;
        if (m.map_b) {
            float largest = 0.0f;
            for (std::size_t i = 0; i < cells; ++i)
                largest = std::max({largest, std::fabs(m.map_a[i]), std::fabs((*m.map_b)[i])});
            image = picture_of_map(res, 2, [&](std::size_t cell, uint8_t *out) {
                auto half = [&](float x) {
                    return largest > 0.0f ? byte_of(x / largest * 127.0f + 127.0f) : uint8_t(127);
                };
                out[0] = half(m.map_a[cell]);
                out[1] = half((*m.map_b)[cell]);
            });
        } else {
            float max = 0.0f;
            for (std::size_t i = 0; i < cells; ++i) max = std::max(max, m.map_a[i]);
            image = picture_of_map(res, 1, [&](std::size_t cell, uint8_t *out) {
                out[0] = max > 0.0f ? byte_of(m.map_a[cell] / max * 255.0f) : 0;
            });
        }
    }
    if (image->has_plane(kPicBlue)) return pic_write_file(path, *image);  // the usual RGBA chain
    std::vector<PicPacket> packets(1);
    for (int c = 0; c < kPicChannelCount; ++c)
        if (image->has_plane(c)) packets[0].channels |= pic_channel_mask(c);
    return pic_write_file(path, *image, &packets);
}

}  // namespace vellimor
