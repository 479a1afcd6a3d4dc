// "Help text" and "Status text": two windows that show lines of text.
#include <algorithm>
#include <fstream>
#include <string>

#include "editor/designer_callbacks.h"
#include "editor/designer_objects.h"
#include "editor/window_layout.h"
#include "editor/windows.h"
#include "forms/forms.h"
#include "furdata/display_settings.h"
#include "host/configuration.h"
#include "host/globals.h"

namespace vellimor {

void create_help_window() {
    HelpWindowObjects &h = designer_windows().help;
    h.form = fm_bgn_form(FM_UP_BOX, 480, 196);
    h.text = fm_add_browser(FM_NORMAL_BROWSER, 8, 40, 464, 148, "");
    h.close = layout_button(FM_NORMAL_BUTTON, 372, 8, 100, 26, "Close", close_window_callback, kWindowHelp);
    h.help_timer = layout_help_timer();
    fm_end_form();
}

void create_status_window() {
    StatusWindowObjects &s = designer_windows().status;
    s.form = fm_bgn_form(FM_UP_BOX, 620, 360);
    s.text = fm_add_browser(FM_NORMAL_BROWSER, 8, 40, 604, 312, "");
    fm_bgn_group();
    s.normal = layout_button(FM_RADIO_BUTTON, 8, 8, 90, 26, "Normal", status_level_callback, 1);
    s.more = layout_button(FM_RADIO_BUTTON, 102, 8, 90, 26, "More", status_level_callback, 2);
    s.debug = layout_button(FM_RADIO_BUTTON, 196, 8, 90, 26, "Debug", status_level_callback, 3);
    fm_end_group();
    s.close = layout_button(FM_NORMAL_BUTTON, 512, 8, 100, 26, "Close", close_window_callback, kWindowStatus);
    s.help_timer = layout_help_timer();
    fm_end_form();
}

void status_text_load() {
    StatusWindowObjects &s = designer_windows().status;
    fm_freeze_object(s.text);
    fm_clear_browser(s.text);
    std::ifstream file(config().message_file_path);
    if (!file) {
        fm_add_browser_line(s.text, "Can't load status file");
    } else {
        for (std::string line; std::getline(file, line);) fm_add_browser_line(s.text, line.c_str());
        const int lines = fm_get_browser_maxline(s.text);
        fm_set_browser_topline(s.text, std::max(1, lines - fm_get_browser_screenlines(s.text) + 1));
    }
    fm_unfreeze_object(s.text);
    const DisplaySettings *settings = display_settings();
    const int level = settings ? settings->debug_level : 1;
    fm_set_button(s.normal, level == 1);
    fm_set_button(s.more, level == 2);
    fm_set_button(s.debug, level == 3);
}

void status_level_callback(FmObject *, long level) {
    if (DisplaySettings *settings = display_settings()) settings->debug_level = int(level);
}

}  // namespace vellimor
