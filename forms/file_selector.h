// The file selector, which also serves as the system's open and save dialogs: a directory field,
// a pattern field with a file type filter, a list of directories ("D name") and matching files,
// a file name field, "Ready" and "Cancel". A click on a file puts its name in the field, a second
// click on it within 0.4 s counts as "Ready"; a click on a directory enters it.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vellimor {

constexpr double kFmDoubleClickSeconds = 0.4;

// The selector's size and where its list sits (form units, origin lower left).
constexpr float kFmFileSelectorWidth = 520, kFmFileSelectorHeight = 480;
constexpr float kFmFileListX = 14, kFmFileListY = 100;
constexpr float kFmFileListW = kFmFileSelectorWidth - 28, kFmFileListH = kFmFileSelectorHeight - 212;

// `message` is the title line; one containing "Open" or "open" asks for an existing file. While
// the selector is up the current directory is `directory` (when given) and is restored after.
// Returns the absolute path of the chosen file, or nothing when cancelled.
std::optional<std::string> fm_show_file_selector(const char *message, const char *directory,
                                                 const char *pattern, const char *default_name);

// The list lines for a directory: "D " entries for the subdirectories (".." first), then the
// files matching `pattern` ("*" when empty), each sorted by name. Nothing when unreadable.
std::optional<std::vector<std::string>> fm_directory_lines(const std::string &directory,
                                                           const std::string &pattern);

}  // namespace vellimor
