// Writing the fur settings text file.
#include <cstdio>
#include <string>

#include "fcurve/fcurve_text.h"
#include "furdata/fur_text_fields.h"
#include "furdata/fur_text_file.h"
#include "furdata/fur_text_line.h"
#include "host/configuration.h"
#include "host/globals.h"
#include "host/scene.h"
#include "host/status.h"

namespace vellimor {
namespace {

// Builds the text of one block nesting level at a time: one tab per level.
class TextWriter {
public:
    explicit TextWriter(std::string &out) : out_(out) {}

    void header(int level, const char *keyword, const std::string &arguments) {
        indent(level);
        append("%s %s\n", keyword, arguments.c_str());
    }
    void end(int level) {
        indent(level);
        out_ += "END\n";
    }
    template <class Record>
    void settings(int level, std::span<const TextField<Record>> fields, const Record &record) {
        for (const TextField<Record> &f : fields) {
            // The table hands out mutable field references; writing only reads them.
            const TextFieldRef ref = f.field(const_cast<Record &>(record));
            indent(level);
            if (auto *i = std::get_if<int *>(&ref)) {
                append("%-30s = \t %d\n", f.key, **i);
            } else if (auto *s = std::get_if<short *>(&ref)) {
                append("%-30s = \t %d\n", f.key, static_cast<int>(**s));
            } else {
                append("%-30s = \t %f\n", f.key, static_cast<double>(*std::get<float *>(ref)));
            }
        }
    }
    void text_setting(int level, std::string_view key, const std::string &value) {
        indent(level);
        append("%-30s = \t %s\n", std::string(key).c_str(), fur_text_value(value).c_str());
    }

private:
    void indent(int level) { out_.append(static_cast<size_t>(level), '\t'); }
    template <class... Args>
    void append(const char *format, Args... args) {
        const int n = std::snprintf(nullptr, 0, format, args...);
        if (n <= 0) return;
        std::string piece(static_cast<size_t>(n) + 1, '\0');
        std::snprintf(piece.data(), piece.size(), format, args...);
        piece.resize(static_cast<size_t>(n));
        out_ += piece;
    }
    std::string &out_;
};

std::string numbers(int a, int b) { return std::to_string(a) + " " + std::to_string(b); }

void write_picture(TextWriter &w, int level, const char *name, const Picture &picture) {
    w.header(level, "PICTURE", name);
    w.text_setting(level + 1, kTextureFilenameKey, picture.texture_filename);
    w.settings(level + 1, picture_fields(), picture);
    w.end(level);
}

void write_main_color_key(TextWriter &w, int type, int index, const MainColorKey &key) {
    w.header(1, "MAIN_COLORKEY", numbers(type, index));
    w.settings(2, main_color_key_head_fields(), key);
    if (key.this_key_uses_picture) write_picture(w, 2, "picture", key.picture);
    w.settings(2, main_color_key_tail_fields(), key);
    w.end(1);
}

void write_texture_key(TextWriter &w, int position, const TextureKey &key, const PatchData &record) {
    w.header(1, "TEXTUREKEY", std::to_string(position));
    w.settings(2, texture_key_head_fields(), key);
    for (int t = 0; t < kColorTypes; ++t) {
        if (!key.color_active[t]) continue;
        for (int i = 0; i < record.nbColorKeys[t] && i < kMaxColorKeys; ++i) {
            w.header(2, "COLORKEY", numbers(t, i));
            w.settings(3, color_key_fields(), key.color_keys[t][i]);
            w.end(2);
        }
    }
    w.settings(2, texture_key_group_fields(), key);
    w.end(1);
}

// Channel pictures in record order.
constexpr std::unique_ptr<Picture> PatchData::*kChannelPictures[kRecordChannels] = {
    &PatchData::length_picture,   &PatchData::curl_picture,    &PatchData::grow_picture,
    &PatchData::bend_picture,     &PatchData::segments_picture, &PatchData::gravity_picture,
    &PatchData::density_picture};

bool hold_file_failure_reported = false;

// Replaces the file by the text: written beside it, then renamed over it.
bool replace_file(const std::string &path, const std::string &text) {
    const std::string temporary = path + ".tmp";
    std::FILE *file = std::fopen(temporary.c_str(), "w");
    if (!file) return false;
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed || std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

}  // namespace

std::string object_text(const PatchData &r) {
    std::string out;
    TextWriter w(out);
    w.header(0, "OBJECT", std::to_string(r.texture_keys.size()) + " " + fur_text_word(r.name));
    w.settings(1, object_head_fields(), r);
    for (int t = 0; t < kColorTypes; ++t) {
        for (int i = 0; i < r.nbColorKeys[t] && i < kMaxColorKeys; ++i) {
            write_main_color_key(w, t, i, r.main_color_keys[t][i]);
        }
    }
    w.settings(1, object_middle_fields(), r);
    for (int c = 0; c < kRecordChannels; ++c) {
        w.settings(1, object_channel_fields(c), r);
        if (const auto &picture = r.*kChannelPictures[c]) write_picture(w, 1, channel_picture_key(c), *picture);
    }
    w.settings(1, object_tail_fields(), r);
    int position = 0;
    for (const TextureKey &key : r.texture_keys) write_texture_key(w, position++, key, r);
    w.end(0);
    return out;
}

void write_object(std::FILE *file, int i) {
    const auto &patches = scene_state().patches;
    if (!file || i < 0 || i >= static_cast<int>(patches.size()) || !patches[i]) return;
    const std::string text = object_text(*patches[i]);
    std::fwrite(text.data(), 1, text.size(), file);
}

int write_hold_file() {
    if (!config().backup) return 0;
    const SceneState &scene = scene_state();
    std::string text;
    for (const auto &record : scene.patches) {
        if (record) text += object_text(*record);
    }
    // The animation: without its curves a restored session keeps only the keys' ids.
    text += fcurves_text();
    if (!replace_file(scene.hold_file_path, text)) {
        if (!hold_file_failure_reported) {
            status_message(kStatusError, "Can't open save file: %s", scene.hold_file_path.c_str());
            hold_file_failure_reported = true;
        }
        return 0;
    }
    return 1;
}

void hold_file_reset() { hold_file_failure_reported = false; }

}  // namespace vellimor
