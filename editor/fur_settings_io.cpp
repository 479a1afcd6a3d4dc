#include "editor/fur_settings_io.h"

#include <cstdint>
#include <vector>

#include "editor/command_hooks.h"
#include "editor/designer_objects.h"
#include "forms/forms.h"
#include "furdata/display_settings.h"
#include "furdata/fur_text_file.h"
#include "host/scene.h"
#include "host/status.h"
#include "render/atomic_file.h"

namespace vellimor {
namespace {

void only_one_surface_alert() {
    fm_show_message("Only one surface can be selected", "when loading or saving", "fur data");
}

std::string settings_directory() { return database_subdirectory(""); }

std::optional<std::string> choose_file(const char *title) {
    const std::string dir = settings_directory();
    return fm_show_file_selector(title, dir.empty() ? nullptr : dir.c_str(), "", "");
}

}  // namespace

std::optional<int> single_selected_surface() {
    int first = -1;
    if (count_selected(1, 1, &first, 1) != 1) {
        only_one_surface_alert();
        return std::nullopt;
    }
    return first;
}

bool load_surface_settings(const std::string &path) {
    const std::optional<int> patch = single_selected_surface();
    if (!patch) return false;
    const bool ok = fetch_fur_data(*patch, path.c_str(), 1);
    if (!ok) fm_show_message("Error loading data from file", path.c_str(), "Please check file and permissions (Use jot)");
    run_hook(command_hooks().refresh_controls);
    run_hook(command_hooks().redraw_graphics);
    return ok;
}

bool save_surface_settings(const std::string &path) {
    const std::optional<int> patch = single_selected_surface();
    if (!patch) return false;
    const std::string text = object_text(*scene_state().patches[*patch]);
    const std::vector<uint8_t> bytes(text.begin(), text.end());
    const bool ok = write_file_atomically(path, bytes);
    if (!ok) {
        fm_show_message("Can't write to file", path.c_str(), "Please check diskspace and permissions");
        run_hook(command_hooks().activate_main);
    }
    run_hook(command_hooks().redraw_graphics);
    return ok;
}

void choose_background_image(const std::optional<std::string> &chosen, FmObject *field) {
    const std::string name = chosen ? *chosen : "";
    DisplaySettings *settings = display_settings();
    if (!settings) settings = &display_settings_create();
    settings->background_image_name = name;
    if (field) fm_set_input(field, name.c_str());
}

void load_settings_callback(FmObject *, long) {
    if (!single_selected_surface()) return;
    if (std::optional<std::string> chosen = choose_file("Open hair object settings file"))
        load_surface_settings(*chosen);
}

void save_settings_callback(FmObject *, long) {
    if (!single_selected_surface()) return;
    if (std::optional<std::string> chosen = choose_file("Save hair object settings file"))
        save_surface_settings(*chosen);
}

void background_browser_callback(FmObject *, long field) {
    const std::string dir = database_subdirectory("PICTURES");
    const std::optional<std::string> chosen = fm_show_file_selector(
        "Open background image filename", dir.empty() ? nullptr : dir.c_str(), "*.pic", "");
    choose_background_image(chosen, reinterpret_cast<FmObject *>(field));
    run_hook(command_hooks().redraw_graphics);
}

}  // namespace vellimor
