// forms-demo: one form with an object of every class, to try the toolkit by hand.
#include "demo_form.h"

#include <cstdio>

using namespace vellimor;

int main() {
    fm_init();
    if (fm_headless()) {
        std::fprintf(stderr, "forms-demo: no X display available\n");
        return 1;
    }
    DemoForm demo = make_demo_form();
    fm_set_timer(demo.timer, 30);
    fm_show_form(demo.form, FM_PLACE_CENTER, 1, "Vellimor forms demo");
    for (;;) {
        FmObject *obj = fm_do_forms();
        if (obj == demo.quit_button) break;
        if (obj == demo.file_button) {
            auto file = fm_show_file_selector("Open a file", nullptr, "*", "");
            std::printf("file: %s\n", file ? file->c_str() : "(cancelled)");
            std::fflush(stdout);
        } else if (obj == demo.question_button) {
            int answer = fm_show_choice("Exit program?", "", "", 3, "Exit", "Continue", "Save+Exit");
            if (answer != 2) break;
        }
    }
    fm_hide_form(demo.form);
    return 0;
}
