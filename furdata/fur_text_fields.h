// The settings of the fur settings text file: for each kind of block, the keys in the order the
// writer emits them and the field each key names. The writer and the reader share these tables,
// so a key is spelt once.
#pragma once

#include <initializer_list>
#include <span>
#include <string_view>
#include <variant>

#include "furdata/patch_data.h"

namespace vellimor {

// A setting's field: 32-bit integers and reals, and the 16-bit fields written as integers.
using TextFieldRef = std::variant<int *, short *, float *>;

template <class Record>
struct TextField {
    const char *key;
    TextFieldRef (*field)(Record &);
    bool read_back = true;  // false: written for reference only, the reader ignores the key
};

// Object settings before the main colour keys (the record's own, the dynamics and wind groups,
// subdivision, density and the colour key counts).
std::span<const TextField<PatchData>> object_head_fields();
// Object settings between the main colour keys and the channel pictures.
std::span<const TextField<PatchData>> object_middle_fields();
// The sequence and picture scale settings of one channel (record order).
std::span<const TextField<PatchData>> object_channel_fields(int channel);
// Object settings after the channel pictures.
std::span<const TextField<PatchData>> object_tail_fields();
// The PICTURE block name of a channel's picture: "length_textures" .. "density_textures".
const char *channel_picture_key(int channel);

// Main colour key settings before its optional picture, and after it.
std::span<const TextField<MainColorKey>> main_color_key_head_fields();
std::span<const TextField<MainColorKey>> main_color_key_tail_fields();

// Texture key settings before its COLORKEY blocks, and the channel groups after them.
std::span<const TextField<TextureKey>> texture_key_head_fields();
std::span<const TextField<TextureKey>> texture_key_group_fields();

std::span<const TextField<ColorKey>> color_key_fields();

// Picture settings after `texture_filename`, the one text setting.
std::span<const TextField<Picture>> picture_fields();
constexpr std::string_view kTextureFilenameKey = "texture_filename";

// The field of a key among the tables given, only keys that are read back (with `written_too`,
// also those written for reference); nullptr when none.
template <class Record>
const TextField<Record> *find_text_field(std::string_view key,
                                         std::span<const std::span<const TextField<Record>>> tables,
                                         bool written_too = false) {
    for (auto table : tables) {
        for (const TextField<Record> &f : table) {
            if ((f.read_back || written_too) && key == f.key) return &f;
        }
    }
    return nullptr;
}

template <class Record>
const TextField<Record> *find_text_field(std::string_view key,
                                         std::initializer_list<std::span<const TextField<Record>>> tables) {
    return find_text_field<Record>(key, std::span(tables.begin(), tables.size()));
}

}  // namespace vellimor
