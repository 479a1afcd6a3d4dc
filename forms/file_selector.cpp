#include "forms/file_selector.h"

#include "forms/attributes.h"
#include "forms/box_text.h"
#include "forms/browser.h"
#include "forms/button.h"
#include "forms/choice.h"
#include "forms/dialogs.h"
#include "forms/dispatch.h"
#include "forms/form_definition.h"
#include "forms/form_display.h"
#include "forms/input.h"
#include "forms/toolkit.h"
#include "forms/toolkit_state.h"
#include "platform/clock.h"

#include <fnmatch.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <utility>

namespace vellimor {
namespace fs = std::filesystem;
namespace {

constexpr float kWidth = kFmFileSelectorWidth, kHeight = kFmFileSelectorHeight;
constexpr const char *kDirPrefix = "D ";
constexpr const char *kAllFiles = "All files (*.*)";

enum Action { kWaiting, kReady, kCancel };

struct Selector {
    FmForm *form = nullptr;
    FmObject *title = nullptr, *dir_field = nullptr, *pattern_field = nullptr, *filter = nullptr;
    FmObject *list = nullptr, *name_field = nullptr, *ready = nullptr, *cancel = nullptr;
    fs::path directory;
    bool open_mode = false;
    Action action = kWaiting;
    int last_click_line = 0;
    double last_click_time = -10;
};

std::string current_pattern(Selector &s) {
    if (fm_get_choice(s.filter) == 2) return "*";
    std::string p = fm_get_input(s.pattern_field);
    return p.empty() ? "*" : p;
}

void fill_list(Selector &s) {
    fm_freeze_form(s.form);
    fm_clear_browser(s.list);
    fm_set_input(s.dir_field, s.directory.c_str());
    if (auto lines = fm_directory_lines(s.directory.string(), current_pattern(s))) {
        for (const std::string &line : *lines) fm_add_browser_line(s.list, line.c_str());
    } else {
        fm_add_browser_line(s.list, "Cannot open:");
        fm_add_browser_line(s.list, s.directory.c_str());
        fm_add_browser_line(s.list, "for reading.");
    }
    s.last_click_line = 0;
    fm_unfreeze_form(s.form);
}

void enter_directory(Selector &s, const fs::path &dir) {
    std::error_code ec;
    fs::path absolute = fs::weakly_canonical(fs::absolute(dir, ec), ec);
    s.directory = ec ? dir : absolute;
    fill_list(s);
}

// "Ready": a name naming a directory enters it; otherwise the selection ends (an open dialog only
// with a file that exists).
void ready(Selector &s) {
    std::string name = fm_get_input(s.name_field);
    if (name.empty()) return;
    fs::path path = fs::path(name).is_absolute() ? fs::path(name) : s.directory / name;
    std::error_code ec;
    if (fs::is_directory(path, ec)) {
        fm_set_input(s.name_field, "");
        enter_directory(s, path);
        return;
    }
    if (s.open_mode && !fs::exists(path, ec)) return;
    s.action = kReady;
}

void list_clicked(Selector &s) {
    int n = fm_get_browser(s.list);
    const char *text = n > 0 ? fm_get_browser_line(s.list, n) : nullptr;
    if (!text) return;
    std::string line = text;
    if (line.rfind(kDirPrefix, 0) == 0) {
        enter_directory(s, s.directory / line.substr(std::strlen(kDirPrefix)));
        return;
    }
    if (line == "Cannot open:" || line == "for reading.") return;
    double now = platform::seconds_since_start();
    bool second_click = n == s.last_click_line && now - s.last_click_time <= kFmDoubleClickSeconds;
    s.last_click_line = n;
    s.last_click_time = now;
    fm_set_input(s.name_field, line.c_str());
    if (second_click) ready(s);
}

void on_object(FmObject *obj, long arg) {
    Selector &s = *reinterpret_cast<Selector *>(arg);
    if (obj == s.list) list_clicked(s);
    else if (obj == s.ready) ready(s);
    else if (obj == s.cancel) s.action = kCancel;
    else if (obj == s.dir_field) enter_directory(s, fm_get_input(s.dir_field));
    else if (obj == s.pattern_field || obj == s.filter) fill_list(s);
    else if (obj == s.name_field && std::strlen(fm_get_input(s.name_field)) > 0) ready(s);
}

void build(Selector &s, const char *message, const char *pattern, const char *default_name) {
    s.form = fm_bgn_form(FM_UP_BOX, kWidth, kHeight);
    s.title = fm_add_text(0, 14, kHeight - 36, kWidth - 28, 26, message);
    fm_set_object_lstyle(s.title, FM_BOLD_STYLE);
    s.dir_field = fm_add_input(FM_NORMAL_INPUT, 90, kHeight - 68, kWidth - 104, 24, "Directory:");
    s.pattern_field = fm_add_input(FM_NORMAL_INPUT, 90, kHeight - 100, 140, 24, "Pattern:");
    fm_set_input(s.pattern_field, pattern ? pattern : "");
    s.filter = fm_add_choice(0, 300, kHeight - 100, kWidth - 314, 24, "Show:");
    std::string filetype = std::string("Filetype (") + (pattern && *pattern ? pattern : "*") + ")";
    fm_addto_choice(s.filter, filetype.c_str());
    fm_addto_choice(s.filter, kAllFiles);
    s.list = fm_add_browser(FM_SELECT_BROWSER, kFmFileListX, kFmFileListY, kFmFileListW, kFmFileListH, "");
    s.name_field = fm_add_input(FM_NORMAL_INPUT, 90, 60, kWidth - 104, 24, "File name:");
    fm_set_input(s.name_field, default_name ? default_name : "");
    s.ready = fm_add_button(FM_NORMAL_BUTTON, kWidth - 238, 14, 106, 32, "Ready");
    s.cancel = fm_add_button(FM_NORMAL_BUTTON, kWidth - 120, 14, 106, 32, "Cancel");
    fm_set_object_shortcut(s.cancel, kFmEscapeShortcut);
    fm_end_form();
    fm_set_form_close(s.form, s.cancel);
    fm_set_form_callback(s.form, on_object, reinterpret_cast<long>(&s));
    // A name can be typed at once.
    fm_set_object_focus(s.form, s.name_field);
}

// Changes the current directory for the selector's lifetime.
class DirectoryScope {
public:
    explicit DirectoryScope(const char *directory) {
        std::error_code ec;
        saved_ = fs::current_path(ec);
        if (ec || !directory || !*directory) return;
        fs::current_path(directory, ec);
        changed_ = !ec;
    }
    ~DirectoryScope() {
        std::error_code ec;
        if (changed_) fs::current_path(saved_, ec);
    }
    DirectoryScope(const DirectoryScope &) = delete;
    DirectoryScope &operator=(const DirectoryScope &) = delete;

private:
    fs::path saved_;
    bool changed_ = false;
};

}  // namespace

std::optional<std::vector<std::string>> fm_directory_lines(const std::string &directory, const std::string &pattern) {
    std::error_code ec;
    fs::directory_iterator it(directory.empty() ? "." : directory, ec);
    if (ec) return std::nullopt;
    std::vector<std::string> dirs, files;
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec) break;
        std::string name = it->path().filename().string();
        if (name.empty() || name[0] == '.') continue;
        std::error_code type_ec;
        if (it->is_directory(type_ec))
            dirs.push_back(name);
        else if (fnmatch(pattern.empty() ? "*" : pattern.c_str(), name.c_str(), 0) == 0)
            files.push_back(name);
    }
    std::sort(dirs.begin(), dirs.end());
    std::sort(files.begin(), files.end());
    std::vector<std::string> lines{std::string(kDirPrefix) + ".."};
    for (const std::string &d : dirs) lines.push_back(kDirPrefix + d);
    lines.insert(lines.end(), files.begin(), files.end());
    return lines;
}

std::optional<std::string> fm_show_file_selector(const char *message, const char *directory,
                                                 const char *pattern, const char *default_name) {
    fm_init();
    if (fm_headless()) return std::nullopt;
    DirectoryScope scope(directory);
    Selector s;
    s.open_mode = message && (std::strstr(message, "Open") || std::strstr(message, "open"));
    FmForm *outer = std::exchange(fm_toolkit().defining, nullptr);
    build(s, message ? message : "", pattern, default_name);
    std::error_code ec;
    enter_directory(s, fs::current_path(ec));
    fm_deactivate_all_forms();
    fm_show_form(s.form, FM_PLACE_CENTER, 1, message && *message ? message : "File selector");
    while (s.action == kWaiting) fm_process_events(true);
    std::optional<std::string> result;
    if (s.action == kReady) {
        std::string name = fm_get_input(s.name_field);
        fs::path path = fs::path(name).is_absolute() ? fs::path(name) : s.directory / name;
        result = path.lexically_normal().string();
    }
    fm_hide_form(s.form);
    fm_activate_all_forms();
    fm_free_form(s.form);
    fm_toolkit().defining = outer;
    return result;
}

}  // namespace vellimor
