#include "hair/texture_picture.h"

#include <cstdio>
#include <vector>

#include "furdata/field_bounds.h"
#include "furdata/patch_data.h"
#include "host/globals.h"
#include "host/scene.h"
#include "host/status.h"
#include "render/pic_file.h"
#include "saa/saa.h"

namespace vellimor {
namespace {

bool file_is_readable(const std::string &path) {
    std::FILE *file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    std::fclose(file);
    return true;
}

std::optional<std::string> database_path() {
    const SAA_Database &database = scene_state().database;
    int length = 0;
    if (SAA_databaseGetPathLength(&database, &length) != SAA_OK || length < 0) return std::nullopt;
    std::vector<char> path(size_t(length) + 1, '\0');
    if (SAA_databaseGetPath(&database, length + 1, path.data()) != SAA_OK) return std::nullopt;
    return std::string(path.data());
}

std::string sequence_file_name(const std::string &base, int number) {
    return base + "." + std::to_string(number) + ".pic";
}

std::string formatted(const char *format, const std::string &name) {
    char text[1024];
    std::snprintf(text, sizeof text, format, name.c_str());
    return text;
}

// Tries the numbers first, first + step, ... (count of them) until a file exists. Every try
// records n as the number asked for. `last_tried` keeps the last name formed.
std::optional<std::string> search_sequence(const std::string &base, int n, int step, int count,
                                           int *loaded_frame_nr, std::string *last_tried) {
    for (int i = 0; i < count; ++i) {
        // The search ends at the ends of the integers rather than wrapping around.
        const long long number = static_cast<long long>(n) + static_cast<long long>(i) * step;
        if (number != sequence_file_number(number, 0)) break;
        *last_tried = sequence_file_name(base, static_cast<int>(number));
        std::optional<std::string> found = find_texture_file(*last_tried, kPicturesDirectory);
        *loaded_frame_nr = n;
        if (found) return *last_tried;
    }
    return std::nullopt;
}

// The name of the sequence file to use for number n under the error handling, or none.
std::optional<std::string> sequence_name_for(const std::string &base, int n, int error_handling,
                                             int *loaded_frame_nr) {
    const int range = config().texture_search_range > 0 ? config().texture_search_range : 1;
    std::string last_tried;
    std::optional<std::string> found;
    switch (error_handling) {
    case kTextureUseKeyArea:
        *loaded_frame_nr = n;  // the KeyMap stands for this number until the frame changes
        return std::nullopt;
    case kTextureNext: return search_sequence(base, n, 1, range, loaded_frame_nr, &last_tried);
    case kTexturePrevious: return search_sequence(base, n, -1, range, loaded_frame_nr, &last_tried);
    case kTextureNextThenPrevious:
        found = search_sequence(base, n, 1, range, loaded_frame_nr, &last_tried);
        return found ? found : search_sequence(base, n, -1, range, loaded_frame_nr, &last_tried);
    default:  // show the error; unknown modes too, so that a damaged record is not silent
        found = search_sequence(base, n, 1, 1, loaded_frame_nr, &last_tried);
        if (!found) status_error(formatted("Error loading texture: %s, KeyMap used", last_tried).c_str());
        return found;
    }
}

}  // namespace

std::optional<std::string> find_texture_file(const std::string &name, const std::string &directory) {
    if (file_is_readable(name)) return name;
    std::optional<std::string> database = database_path();
    if (!database) return std::nullopt;
    // Names written on other systems may use backslashes; either separator ends the directory.
    size_t separator = name.find_last_of("/\\");
    std::string base = separator == std::string::npos ? name : name.substr(separator + 1);
    std::string path = *database + "/" + directory + "/" + base;
    if (file_is_readable(path)) return path;
    return std::nullopt;
}

int load_texture_picture(Picture *picture, int use_sequence, int error_handling, int sequence_offset,
                         int *loaded_frame_nr) {
    if (!picture) return 0;
    picture->image.reset();
    std::string name = picture->texture_filename;
    if (use_sequence) {
        int ignored = 0;
        int *frame_nr = loaded_frame_nr ? loaded_frame_nr : &ignored;
        std::optional<std::string> found =
            sequence_name_for(picture->texture_filename,
                              sequence_file_number(sequence_offset, scene_state().current_frame),
                              error_handling, frame_nr);
        if (!found) return 0;
        name = *found;
    }
    std::optional<std::string> path = find_texture_file(name, kPicturesDirectory);
    if (!path) {
        status_error(formatted("Read texture error, file not found: %s\n", name).c_str());
        return 0;
    }
    // The file that was found is the file read (no ending is added to it).
    std::string reason;
    std::unique_ptr<PicImage> image = pic_read_file(*path, &reason);
    if (!image) {
        status_error(formatted("ERROR!!!! Read texture error, texture has been deleted. File %s\n", name).c_str());
        // Why: a damaged file, or one above the size a picture held whole may have.
        if (!reason.empty()) status_message(kStatusIndent, "%s", reason.c_str());
        return 0;
    }
    picture->image = std::move(image);
    status_line(formatted("Texture set to %s", name).c_str());
    return 1;
}

int load_texture_picture(Picture *picture, PictureSequence &sequence) {
    return load_texture_picture(picture, sequence.use_sequence, sequence.error_handling, sequence.sequence_offset,
                                &sequence.loaded_frame_nr);
}

}  // namespace vellimor
