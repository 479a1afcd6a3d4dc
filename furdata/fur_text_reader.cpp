// Reading the fur settings text file into a fur record: a small recursive-descent reader over
// the typed lines of the line reader. Unknown keys are ignored; malformed lines are reported.
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <string_view>

#include "furdata/field_bounds.h"
#include "furdata/fur_text_fields.h"
#include "furdata/fur_text_file.h"
#include "furdata/fur_text_line.h"
#include "hair/texture_picture.h"
#include "host/status.h"

namespace vellimor {
namespace {

// More texture keys than any surface is painted with: a larger count in a file is refused
// instead of allocating the keys.
constexpr int kMaxTextTextureKeys = 10000;
// Stored main colour key counts above this one are unusable.
constexpr int kMaxColorKeyCount = kMaxColorKeys - 1;

void store(const TextFieldRef &ref, const FurLine &line, const std::string &surface) {
    if (auto *i = std::get_if<int *>(&ref)) {
        **i = line.integer;
    } else if (auto *s = std::get_if<short *>(&ref)) {
        **s = narrowed_setting(surface, line.key, line.integer, **s);
    } else {
        *std::get<float *>(ref) = static_cast<float>(line.real);
    }
}

// Whether the writer emits the key, to be read back or for reference only.
template <class Record>
bool written_key(std::string_view key, std::span<const std::span<const TextField<Record>>> tables) {
    for (auto table : tables) {
        for (const TextField<Record> &f : table) {
            if (key == f.key) return true;
        }
    }
    return false;
}

// A value is a number when its leading number is all there is, blanks aside.
bool is_number(const std::string &text) {
    const char *start = text.c_str();
    char *stop = nullptr;
    std::strtod(start, &stop);
    if (stop == start) return false;
    for (; *stop; ++stop) {
        if (!std::isspace(static_cast<unsigned char>(*stop))) return false;
    }
    return true;
}

bool valid_color_type(int type) { return type >= 0 && type < kColorTypes; }
bool valid_color_index(int index) { return index >= 0 && index <= kMaxColorKeyCount; }

class FileReader {
public:
    FileReader(std::FILE *file, int &errors, std::vector<FurTextNotice> &notices, bool curve_links)
        : file_(file), errors_(errors), notices_(notices), curve_links_(curve_links) {}

    // The next line that is not a comment.
    FurLine next() {
        FurLine line;
        do {
            line = read_fur_line(file_, errors_);
            if (line.kind != kLineEndOfFile) ++line_number_;
        } while (line.kind == kLineComment);
        return line;
    }

    // Sets the field the setting names when one of the tables has it. Unknown keys and values
    // that are not numbers are read as ever (ignored, or as their leading number), and noted.
    template <class Record>
    void apply_setting(const FurLine &line, Record &record,
                       std::span<const std::span<const TextField<Record>>> tables) {
        if (const TextField<Record> *f = find_text_field<Record>(line.key, tables, curve_links_)) {
            store(f->field(record), line, surface_);
            if (!is_number(line.value_text)) notices_.push_back({line_number_, line.key, line.value_text});
        } else if (!written_key<Record>(line.key, tables)) {
            notices_.push_back({line_number_, line.key, ""});
        }
    }

    template <class Record>
    void apply_setting(const FurLine &line, Record &record,
                       std::initializer_list<std::span<const TextField<Record>>> tables) {
        apply_setting<Record>(line, record, std::span(tables.begin(), tables.size()));
    }

    template <class... Args>
    void error(const char *format, Args... args) {
        status_message(kStatusError, format, args...);
        ++errors_;
    }

    // PICTURE block: the picture, or none when its file can't be loaded. A picture without a
    // file name stays, without an image.
    std::unique_ptr<Picture> read_picture() {
        auto picture = std::make_unique<Picture>();
        for (FurLine line = next(); line.kind != kLineEnd && line.kind != kLineEndOfFile;
             line = next()) {
            if (line.kind != kLineSetting) continue;
            if (line.key == kTextureFilenameKey) {
                picture->texture_filename = line.value_text.substr(0, kMaxFurLineLength);
            } else {
                apply_setting(line, *picture, {picture_fields()});
            }
        }
        if (picture->texture_filename.empty()) return picture;
        PictureSequence none;
        if (!load_texture_picture(picture.get(), none)) return nullptr;
        return picture;
    }

    void read_color_key(ColorKey &key) {
        for (FurLine line = next(); line.kind != kLineEnd && line.kind != kLineEndOfFile;
             line = next()) {
            if (line.kind == kLineSetting) apply_setting(line, key, {color_key_fields()});
        }
    }

    void read_main_color_key(MainColorKey &key) {
        std::unique_ptr<Picture> picture;
        bool picture_read = false;
        for (FurLine line = next(); line.kind != kLineEnd && line.kind != kLineEndOfFile;
             line = next()) {
            if (line.kind == kLineSetting) {
                apply_setting(line, key, {main_color_key_head_fields(), main_color_key_tail_fields()});
            } else if (line.kind == kLinePicture) {
                picture = read_picture();
                picture_read = true;
            }
        }
        if (picture_read && picture && picture->image) {
            key.picture = std::move(*picture);
            key.this_key_uses_picture = 1;
        } else {
            key.this_key_uses_picture = 0;
        }
    }

    void read_texture_key(TextureKey &key) {
        for (FurLine line = next(); line.kind != kLineEnd && line.kind != kLineEndOfFile;
             line = next()) {
            switch (line.kind) {
            case kLineSetting:
                apply_setting(line, key, {texture_key_head_fields(), texture_key_group_fields()});
                break;
            case kLineColorKey:
                if (!valid_color_type(line.type)) {
                    error("COLORKEY color_type");
                    return;
                }
                if (!valid_color_index(line.index)) {
                    error("COLORKEY colorNr");
                    return;
                }
                read_color_key(key.color_keys[line.type][line.index]);
                break;
            default:
                error("Fetch TEXTURE wrong command %s, %d", line.first_word.c_str(),
                      static_cast<int>(line.kind));
            }
        }
    }

    // The content of an OBJECT block whose texture keys were created beforehand.
    void read_object(PatchData &record, int key_count) {
        surface_ = record.name;
        auto next_key = record.texture_keys.begin();
        for (FurLine line = next(); line.kind != kLineEnd && line.kind != kLineEndOfFile;
             line = next()) {
            switch (line.kind) {
            case kLineSetting:
                // "length_textures = ..." opens that channel's picture block as its header does.
                if (!read_channel_picture(line.key, record)) apply_setting(line, record, object_tables());
                break;
            case kLinePicture:
                if (!read_channel_picture(line.name, record)) notices_.push_back({line_number_, line.name, ""});
                break;
            case kLineMainColorKey:
                if (!valid_color_type(line.type)) {
                    error("MAIN_COLORKEY color_type");
                    return;
                }
                if (!valid_color_index(line.index)) {
                    error("MAIN_COLORKEY colorNr");
                    return;
                }
                read_main_color_key(record.main_color_keys[line.type][line.index]);
                break;
            case kLineTextureKey:
                if (line.index >= key_count || next_key == record.texture_keys.end()) {
                    error("TEXTUREKEY to many texture keys");
                    return;
                }
                read_texture_key(*next_key++);
                break;
            default:
                error("Fetch OBJECT wrong command %s, %d", line.first_word.c_str(),
                      static_cast<int>(line.kind));
            }
        }
    }

private:
    // Every table of object settings.
    static std::span<const std::span<const TextField<PatchData>>> object_tables() {
        static const std::span<const TextField<PatchData>> tables[] = {
            object_head_fields(),     object_middle_fields(),   object_channel_fields(0),
            object_channel_fields(1), object_channel_fields(2), object_channel_fields(3),
            object_channel_fields(4), object_channel_fields(5), object_channel_fields(6),
            object_tail_fields()};
        return tables;
    }

    // A PICTURE header inside an object names the channel whose picture follows; a header with
    // any other name is passed over (its settings are unknown keys of the object). False when
    // the name is no channel's.
    bool read_channel_picture(const std::string &name, PatchData &record) {
        for (int c = 0; c < kRecordChannels; ++c) {
            if (name == channel_picture_key(c)) {
                channel_picture(record, RecordChannel(c)).picture = read_picture();
                return true;
            }
        }
        return false;
    }

    std::FILE *file_;
    int &errors_;
    std::vector<FurTextNotice> &notices_;
    bool curve_links_;  // the file's function curves were restored: every fcurve_id is read
    std::string surface_;  // the name of the object being read, for warnings
    int line_number_ = 0;
};

// A new record for a fetched object: every default, the name and host geometry kept.
std::unique_ptr<PatchData> cleared_record(const PatchData &old, int key_count) {
    auto fresh = patch_new();
    fresh->name = old.name;
    fresh->surfacetype = old.surfacetype;
    fresh->nbPointsU = old.nbPointsU;
    fresh->nbPointsV = old.nbPointsV;
    for (int k = 1; k < key_count; ++k) fresh->texture_keys.push_back(texture_key_new());
    return fresh;
}

// Colour key counts the colour evaluation can't work with give that colour type its defaults.
void bound_color_key_counts(PatchData &record) {
    for (int t = 0; t < kColorTypes; ++t) {
        if (record.nbColorKeys[t] >= 0 && record.nbColorKeys[t] <= kMaxColorKeyCount) continue;
        status_message(kStatusWarning, "#Colorkeys out of range, deleting keys");
        main_color_keys_default(record, t);
    }
}

void mark_maps_dirty(PatchData &record) {
    for (auto &keys : record.main_color_keys)
        for (MainColorKey &key : keys) key.map_dirty = 1;
    record.length_map_dirty = record.curl_map_dirty = record.grow_map_dirty = 1;
    record.bend_map_dirty = record.segments_map_dirty = record.gravity_map_dirty = 1;
    record.density_map_dirty = 1;
}

struct FileCloser {
    void operator()(std::FILE *f) const { std::fclose(f); }
};

}  // namespace

FetchOutcome fetch_into_record(std::unique_ptr<PatchData> &slot, const std::string &path,
                               int any_name, const std::function<void()> &after_object, bool curve_links) {
    FetchOutcome outcome;
    std::unique_ptr<std::FILE, FileCloser> file(path.empty() ? nullptr
                                                             : std::fopen(path.c_str(), "r"));
    if (!file || !slot) {
        status_message(kStatusError, "Can't open save file: %s", path.c_str());
        outcome.errors = 1;
        return outcome;
    }
    FileReader reader(file.get(), outcome.errors, outcome.notices, curve_links);
    FurLine line = reader.next();
    for (; line.kind != kLineEndOfFile && line.kind != kLineError; line = reader.next()) {
        if (line.kind != kLineObject || (!any_name && line.name != fur_text_word(slot->name))) continue;
        const std::string message = "Fetch data for " + slot->name;
        status_line(message.c_str());
        if (line.count < 1) {
            reader.error("Fetch Error: No texturekeys");
            return outcome;
        }
        if (line.count > kMaxTextTextureKeys) {
            reader.error("Fetch Error: too many texturekeys: %d", line.count);
            return outcome;
        }
        slot = cleared_record(*slot, line.count);
        reader.read_object(*slot, line.count);
        bound_color_key_counts(*slot);
        bound_fur_record(*slot);
        mark_maps_dirty(*slot);
        ++outcome.objects;
        if (after_object) after_object();
    }
    outcome.ok = line.kind != kLineError;
    outcome.finished = true;
    return outcome;
}

}  // namespace vellimor
