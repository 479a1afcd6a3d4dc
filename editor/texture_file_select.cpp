#include "editor/texture_file_select.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <utility>

#include "forms/forms.h"
#include "forms/toolkit_state.h"
#include "platform/clock.h"

namespace vellimor {

namespace fs = std::filesystem;

namespace {

constexpr float kWidth = 675, kHeight = 590;
constexpr const char *kDirectoryPrefix = "D ";
constexpr const char *kPicturePattern = "*.pic";
constexpr const char *kErrorChoices[] = {
    "Show error message, and use KeyArea", "Use next texture, Keyarea when fail",
    "Use previous texture, Keyarea when fail", "Next, then previous, Keyarea when fail",
    "Use Keyarea"};

enum Action { kWaiting, kReady, kCancel };

struct Selector {
    FmForm *form = nullptr;
    FmObject *title = nullptr, *directory_button = nullptr, *directory_text = nullptr;
    FmObject *pattern_button = nullptr, *pattern_text = nullptr;
    FmObject *list = nullptr, *name_field = nullptr, *ready = nullptr, *cancel = nullptr;
    FmObject *use_sequence = nullptr, *offset = nullptr, *read_error = nullptr;
    fs::path directory;
    std::string pattern = kPicturePattern;
    Action action = kWaiting;
    int last_line = 0;
    double last_time = -10.0;
};

Selector &selector() {
    static Selector s;
    return s;
}

void fill_list(Selector &s) {
    fm_freeze_form(s.form);
    fm_clear_browser(s.list);
    fm_set_object_label(s.directory_text, s.directory.c_str());
    fm_set_object_label(s.pattern_text, s.pattern.c_str());
    if (auto lines = fm_directory_lines(s.directory.string(), s.pattern)) {
        for (const std::string &line : *lines) fm_add_browser_line(s.list, line.c_str());
    } else {
        fm_show_message("Cannot open:", s.directory.c_str(), "for reading.");
    }
    s.last_line = 0;
    fm_unfreeze_form(s.form);
}

void enter_directory(Selector &s, const fs::path &dir) {
    std::error_code ec;
    const fs::path absolute = fs::weakly_canonical(fs::absolute(dir, ec), ec);
    s.directory = ec ? dir : absolute;
    fill_list(s);
}

void list_clicked(Selector &s) {
    const int n = fm_get_browser(s.list);
    const char *text = n > 0 ? fm_get_browser_line(s.list, n) : nullptr;
    if (!text) return;
    const std::string line = text;
    if (line.rfind(kDirectoryPrefix, 0) == 0) {
        enter_directory(s, s.directory / line.substr(std::strlen(kDirectoryPrefix)));
        return;
    }
    const double now = platform::seconds_since_start();
    const bool second = n == s.last_line && now - s.last_time <= kFmDoubleClickSeconds;
    s.last_line = n;
    s.last_time = now;
    fm_set_input(s.name_field, line.c_str());
    if (second) s.action = kReady;
}

void on_object(FmObject *obj, long) {
    Selector &s = selector();
    if (obj == s.list) {
        list_clicked(s);
    } else if (obj == s.ready || obj == s.name_field) {  // Return after a typed name: "Ready"
        if (*fm_get_input(s.name_field)) s.action = kReady;
    } else if (obj == s.cancel) {
        s.action = kCancel;
    } else if (obj == s.directory_button) {
        if (auto dir = fm_show_input("Enter new directory:", s.directory.c_str())) enter_directory(s, *dir);
    } else if (obj == s.pattern_button) {
        if (auto pattern = fm_show_input("Enter new pattern:", s.pattern.c_str())) {
            s.pattern = *pattern;
            fill_list(s);
        }
    }
}

void build(Selector &s) {
    FmForm *outer = std::exchange(fm_toolkit().defining, nullptr);
    s.form = fm_bgn_form(FM_UP_BOX, kWidth, kHeight);
    s.title = fm_add_text(0, 14, kHeight - 36, kWidth - 28, 26, "");
    fm_set_object_lstyle(s.title, FM_BOLD_STYLE);
    s.directory_button = fm_add_button(FM_NORMAL_BUTTON, 14, kHeight - 70, 96, 26, "Directory:");
    s.directory_text = fm_add_text(0, 116, kHeight - 70, kWidth - 130, 26, "");
    s.pattern_button = fm_add_button(FM_NORMAL_BUTTON, 14, kHeight - 102, 96, 26, "Pattern:");
    s.pattern_text = fm_add_text(0, 116, kHeight - 102, 160, 26, "");
    s.list = fm_add_browser(FM_SELECT_BROWSER, 14, 160, 420, kHeight - 276, "");
    s.name_field = fm_add_input(FM_NORMAL_INPUT, 100, 120, 334, 26, "File name:");
    s.use_sequence = fm_add_lightbutton(FM_TOGGLE_BUTTON, 450, 360, 210, 44, "Use texture\nsequence");
    s.offset = fm_add_counter(FM_NORMAL_COUNTER, 450, 300, 210, 26, "Frame number offset:");
    fm_set_object_align(s.offset, FM_ALIGN_TOP);
    fm_set_counter_step(s.offset, 1, 10);
    fm_set_counter_precision(s.offset, 0);
    fm_set_counter_bounds(s.offset, -100000, 100000);
    fm_set_counter_value(s.offset, 0);
    s.read_error = fm_add_choice(0, 450, 240, 210, 26, "Texture read error:");
    fm_set_object_align(s.read_error, FM_ALIGN_TOP);
    for (const char *entry : kErrorChoices) fm_addto_choice(s.read_error, entry);
    fm_set_choice(s.read_error, 1);
    s.ready = fm_add_button(FM_NORMAL_BUTTON, 450, 20, 100, 34, "Ready");
    s.cancel = fm_add_button(FM_NORMAL_BUTTON, 560, 20, 100, 34, "Cancel");
    fm_set_object_shortcut(s.cancel, kFmEscapeShortcut);
    fm_end_form();
    fm_set_form_close(s.form, s.cancel);
    fm_set_form_callback(s.form, on_object, 0);
    fm_set_object_focus(s.form, s.name_field);  // a name can be typed at once
    fm_toolkit().defining = outer;
}

Selector &built_selector() {
    Selector &s = selector();
    if (!s.form) {
        build(s);
        std::error_code ec;
        s.directory = fs::current_path(ec);
    }
    return s;
}

}  // namespace

TextureSelectorObjects texture_file_selector_objects() {
    fm_init();
    const Selector &s = built_selector();
    return {s.form, s.list, s.name_field, s.ready, s.cancel, s.use_sequence, s.offset, s.read_error};
}

std::optional<std::string> texture_file_select(const char *title, const char *pattern,
                                               const char *default_name) {
    fm_init();
    if (fm_headless()) return std::nullopt;
    Selector &s = built_selector();
    fm_set_object_label(s.title, title ? title : "");
    s.pattern = pattern && *pattern ? pattern : "*";
    fm_set_input(s.name_field, default_name ? default_name : "");
    s.action = kWaiting;
    enter_directory(s, s.directory);
    fm_deactivate_all_forms();
    fm_activate_form(s.form);
    fm_show_form(s.form, FM_PLACE_CENTER, 1, title && *title ? title : "Texture file");
    while (s.action == kWaiting) fm_process_events(true);
    fm_hide_form(s.form);
    fm_activate_all_forms();
    fm_deactivate_form(s.form);
    if (s.action != kReady) return std::nullopt;
    const std::string name = fm_get_input(s.name_field);
    if (fs::path(name).is_absolute()) return name;
    return (s.directory / name).string();
}

PictureChoice texture_file_options() {
    PictureChoice choice;
    const Selector &s = selector();
    if (!s.form) return choice;
    choice.use_sequence = fm_get_button(s.use_sequence) != 0;
    choice.sequence_offset = int(fm_get_counter_value(s.offset));
    choice.error_handling = std::max(fm_get_choice(s.read_error) - 1, 0);
    return choice;
}

bool texture_file_choose(const char *title, PictureChoice &choice) {
    const auto path = texture_file_select(title, kPicturePattern, "");
    if (!path) return false;
    choice = texture_file_options();
    choice.file_name = *path;
    return true;
}

bool texture_file_choose_output(const char *title, PictureChoice &choice) {
    const auto path = texture_file_select(title, kPicturePattern, "");
    if (!path) return false;
    choice = PictureChoice{};
    choice.file_name = *path;
    return true;
}

}  // namespace vellimor
