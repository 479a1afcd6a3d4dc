#include "forms/dialogs.h"

#include "forms/attributes.h"
#include "forms/box_text.h"
#include "forms/button.h"
#include "forms/dispatch.h"
#include "forms/drawing.h"
#include "forms/form_definition.h"
#include "forms/form_display.h"
#include "forms/input.h"
#include "forms/toolkit.h"
#include "forms/toolkit_state.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace vellimor {
namespace {

constexpr float kDialogMinWidth = 400.0f;
constexpr float kLineHeight = 22.0f;
constexpr float kButtonWidth = 100.0f;
constexpr float kButtonHeight = 30.0f;
constexpr float kMargin = 14.0f;
constexpr const char *kAboutLines[] = {"VELLIMOR FORMS", "version 1.3", "by the Vellimor developers"};

struct Answer {
    int value = 0;  // 0 while waiting
};

void on_answer(FmObject *obj, long arg) {
    if (obj->objclass == FM_BUTTON) reinterpret_cast<Answer *>(arg)->value = static_cast<int>(obj->argument);
}

float dialog_width(std::initializer_list<const char *> lines) {
    float w = kDialogMinWidth;
    for (const char *line : lines)
        if (line) w = std::max(w, fm_text_width(line, kFmDefaultLabelSize, FM_BOLD_STYLE) + 2 * kMargin);
    return w;
}

// Starts a dialog form; objects are added until run_dialog ends it.
struct DialogForm {
    FmForm *form = nullptr;
    FmForm *outer = nullptr;
    Answer answer;

    DialogForm(float w, float h) {
        outer = std::exchange(fm_toolkit().defining, nullptr);
        form = fm_bgn_form(FM_UP_BOX, w, h);
        fm_set_form_callback(form, on_answer, reinterpret_cast<long>(&answer));
    }
    ~DialogForm() {
        fm_free_form(form);
        fm_toolkit().defining = outer;
    }
    DialogForm(const DialogForm &) = delete;
    DialogForm &operator=(const DialogForm &) = delete;

    FmObject *add_answer(float x, float y, const char *label, int value) {
        FmObject *b = fm_add_button(FM_NORMAL_BUTTON, x, y, kButtonWidth, kButtonHeight, label);
        b->argument = value;
        return b;
    }

    // The answer that changes nothing: Escape and the window manager's close give it.
    void set_cancel(FmObject *answer) {
        fm_set_object_shortcut(answer, kFmEscapeShortcut);
        fm_set_form_close(form, answer);
    }

    void add_text_line(float y, const char *text, bool emphasised) {
        if (!text || !*text) return;
        FmObject *t = fm_add_text(0, kMargin, y, form->w - 2 * kMargin, kLineHeight, text);
        fm_set_object_align(t, FM_ALIGN_CENTER);
        if (emphasised) fm_set_object_lstyle(t, FM_BOLD_STYLE);
    }

    int run(const char *title) {
        fm_end_form();
        fm_deactivate_all_forms();
        fm_show_form(form, FM_PLACE_CENTER, 1, title);
        while (answer.value == 0) fm_process_events(true);
        fm_hide_form(form);
        fm_activate_all_forms();
        return answer.value;
    }
};

float add_lines(DialogForm &dialog, float top, const char *l1, const char *l2, const char *l3) {
    const char *lines[] = {l1, l2, l3};
    float y = top;
    for (int i = 0; i < 3; ++i) {
        y -= kLineHeight;
        dialog.add_text_line(y, lines[i], i == 0);
    }
    return y;
}

}  // namespace

int fm_show_choice(const char *line1, const char *line2, const char *line3, int count, const char *answer1,
                   const char *answer2, const char *answer3, int cancel) {
    fm_init();
    count = std::clamp(count, 1, 3);
    cancel = std::clamp(cancel, 1, count);
    if (fm_headless()) return 1;
    const char *answers[] = {answer1, answer2, answer3};
    float w = std::max(dialog_width({line1, line2, line3}), count * (kButtonWidth + kMargin) + kMargin);
    float h = 3 * kLineHeight + kButtonHeight + 3 * kMargin;
    DialogForm dialog(w, h);
    add_lines(dialog, h - kMargin, line1, line2, line3);
    float spacing = (w - count * kButtonWidth) / (count + 1);
    for (int i = 0; i < count; ++i) {
        FmObject *b = dialog.add_answer(spacing + i * (kButtonWidth + spacing), kMargin,
                                        answers[i] ? answers[i] : "", i + 1);
        if (i == 0) fm_set_object_shortcut(b, "\r");
        if (i + 1 == cancel) dialog.set_cancel(b);
    }
    return dialog.run("Question");
}

int fm_show_question(const char *line1, const char *line2, const char *line3) {
    return fm_show_choice(line1, line2, line3, 2, "Yes", "No", nullptr, 2) == 1 ? 1 : 0;
}

void fm_show_message(const char *line1, const char *line2, const char *line3) {
    if (fm_headless()) {
        std::fprintf(stderr, "%s\n%s\n%s\n", line1 ? line1 : "", line2 ? line2 : "", line3 ? line3 : "");
        return;
    }
    fm_show_choice(line1, line2, line3, 1, "Ok", nullptr, nullptr);
}

std::optional<std::string> fm_show_input(const char *prompt, const char *default_text) {
    fm_init();
    if (fm_headless()) return std::nullopt;
    float w = dialog_width({prompt}), h = 2 * kLineHeight + kButtonHeight + 4 * kMargin;
    DialogForm dialog(w, h);
    dialog.add_text_line(h - kMargin - kLineHeight, prompt, true);
    FmObject *field = fm_add_input(FM_NORMAL_INPUT, kMargin, h - 2 * kMargin - 2 * kLineHeight,
                                   w - 2 * kMargin, kLineHeight + 4, "");
    fm_set_input(field, default_text);
    fm_set_object_focus(dialog.form, field);
    FmObject *ok = dialog.add_answer(w / 2 - kButtonWidth - kMargin / 2, kMargin, "Ok", 1);
    fm_set_object_shortcut(ok, "\r");
    dialog.set_cancel(dialog.add_answer(w / 2 + kMargin / 2, kMargin, "Cancel", 2));
    int answer = dialog.run("Input");
    if (answer != 1) return std::nullopt;
    return std::string(fm_get_input(field));
}

void fm_show_about() { fm_show_message(kAboutLines[0], kAboutLines[1], kAboutLines[2]); }

}  // namespace vellimor
