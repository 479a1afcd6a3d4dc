// One surface's fur settings to and from a text file ("I" and "O" beside the object browser), and
// the background image choice of the display settings ("Browser").
#pragma once

#include <optional>
#include <string>

#include "forms/object.h"

namespace vellimor {

// The one selected surface, or nothing after the "Only one surface can be selected" alert (and
// the selection warnings).
std::optional<int> single_selected_surface();

// Reads the file into the selected surface's record; false after its alert.
bool load_surface_settings(const std::string &path);
// Writes the selected surface's record to the file, whole or not at all; false after its alert.
bool save_surface_settings(const std::string &path);
// The chosen background image (nothing or an empty name clears it) into the display settings
// and the "Background image" field when one is given.
void choose_background_image(const std::optional<std::string> &chosen, FmObject *field);

// The callbacks: each asks for the file with the file selector first.
void load_settings_callback(FmObject *, long);
void save_settings_callback(FmObject *, long);
// The "Background image" field goes in the argument.
void background_browser_callback(FmObject *, long field);

}  // namespace vellimor
