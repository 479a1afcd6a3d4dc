// The texture file selector: a modal window in which a picture file is chosen, together with the
// texture options that go with it (a numbered sequence, its frame offset, what to do when a
// frame's file is missing).
#pragma once

#include <optional>
#include <string>

#include "editor/keymap_pictures.h"
#include "forms/object.h"

namespace vellimor {

// Shows the selector with the title line and pattern, starting with `default_name` in the file
// name field. Returns directory + "/" + file name, or none when cancelled (or without a display).
// The texture options stay readable after it returns.
std::optional<std::string> texture_file_select(const char *title, const char *pattern,
                                               const char *default_name);
// The texture options as last left in the selector.
PictureChoice texture_file_options();

// The selector's window and controls, built on first use (tests drive them with the pointer).
struct TextureSelectorObjects {
    FmForm *form = nullptr;
    FmObject *list = nullptr, *name_field = nullptr, *ready = nullptr, *cancel = nullptr;
    FmObject *use_sequence = nullptr, *offset = nullptr, *read_error = nullptr;
};
TextureSelectorObjects texture_file_selector_objects();

// The "T" buttons' choosers: "Open texture file" with "*.pic", and the name for a map saved as
// a picture ("Output filename"). False when cancelled.
bool texture_file_choose(const char *title, PictureChoice &choice);
bool texture_file_choose_output(const char *title, PictureChoice &choice);

}  // namespace vellimor
