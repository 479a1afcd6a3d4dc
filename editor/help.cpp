// Hover help: while the help window is shown, the text of the control under the pointer.
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "editor/designer_callbacks.h"
#include "editor/designer_objects.h"
#include "editor/windows.h"
#include "forms/forms.h"

namespace vellimor {
namespace {

constexpr std::size_t kLineLimit = 56;  // lines hold fewer characters than this
constexpr std::size_t kShortestText = 3;
constexpr const char *kNoHelp = "No help for this object";

std::vector<std::pair<const FmObject *, std::string>> &table() {
    static std::vector<std::pair<const FmObject *, std::string>> entries;
    return entries;
}

const FmObject *&last_shown() {
    static const FmObject *obj = nullptr;
    return obj;
}

FmForm *timer_form(FmObject *timer) { return timer ? timer->form : nullptr; }

}  // namespace

void help_set(const FmObject *obj, const char *text) {
    if (!obj || !text) return;
    for (auto &entry : table()) {
        if (entry.first == obj) {
            entry.second = text;
            return;
        }
    }
    table().emplace_back(obj, text);
}

const char *help_text(const FmObject *obj) {
    for (const auto &entry : table())
        if (entry.first == obj) return entry.second.c_str();
    return nullptr;
}

std::vector<std::string> help_wrap(const char *text) {
    std::vector<std::string> lines;
    std::string line;
    auto flush = [&] {
        lines.push_back(line);
        line.clear();
    };
    const std::string s = text ? text : "";
    std::size_t i = 0;
    while (i < s.size()) {
        if (s[i] == '\n') {
            flush();
            ++i;
            continue;
        }
        if (s[i] == ' ') {
            ++i;
            continue;
        }
        std::size_t end = i;
        while (end < s.size() && s[end] != ' ' && s[end] != '\n') ++end;
        std::string word = s.substr(i, end - i);
        i = end;
        // A word too long for any line is cut into pieces that fit.
        while (word.size() >= kLineLimit) {
            if (!line.empty()) flush();
            line = word.substr(0, kLineLimit - 1);
            word.erase(0, kLineLimit - 1);
            flush();
        }
        if (word.empty()) continue;
        const std::size_t needed = line.empty() ? word.size() : line.size() + 1 + word.size();
        if (needed >= kLineLimit) flush();
        if (!line.empty()) line += ' ';
        line += word;
    }
    if (!line.empty()) flush();
    return lines;
}

void help_show(const char *text) {
    FmObject *list = designer_windows().help.text;
    if (!list) return;
    fm_freeze_object(list);
    fm_clear_browser(list);
    if (!text || std::strlen(text) < kShortestText) {
        fm_add_browser_line(list, kNoHelp);
    } else {
        for (const std::string &line : help_wrap(text)) fm_add_browser_line(list, line.c_str());
    }
    fm_unfreeze_object(list);
}

void help_timer_callback(FmObject *timer, long) {
    fm_set_timer(timer, kHelpInterval);
    const FmForm *help = designer_windows().help.form;
    if (!help || !help->visible) return;
    FmForm *form = timer_form(timer);
    if (!form || !form->visible) return;
    FmObject *obj = fm_object_under_mouse(form);
    if (!obj || obj == last_shown() || !obj->visible) return;
    last_shown() = obj;
    help_show(help_text(obj));
}

void help_fill() {
    help_fill_main();
    help_fill_settings();
}

}  // namespace vellimor
