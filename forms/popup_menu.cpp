#include "forms/popup_menu.h"

#include "forms/dispatch.h"
#include "forms/drawing.h"
#include "forms/form_definition.h"
#include "forms/form_display.h"
#include "forms/toolkit.h"
#include "forms/toolkit_state.h"
#include "platform/window_system.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace vellimor {
namespace {

constexpr float kTextPad = 10.0f;

struct PopupData : FmClassData {
    std::vector<std::string> entries;
    int current = 0;
    int highlighted = 0;
    int picked = -1;  // -1 while open, 0 cancelled
};

int entry_at(const FmObject *obj, const PopupData *d, float mx, float my) {
    if (mx < obj->x || mx > obj->x + obj->w) return 0;
    int row = static_cast<int>(std::floor((obj->y + obj->h - kFmPopupMargin - my) / kFmPopupLineHeight));
    return row >= 0 && row < static_cast<int>(d->entries.size()) ? row + 1 : 0;
}

void draw_popup(FmObject *obj, const PopupData *d) {
    fm_draw_box(FM_BORDER_BOX, obj->x, obj->y, obj->w, obj->h, FM_FIELD_COL);
    for (std::size_t i = 0; i < d->entries.size(); ++i) {
        float y = obj->y + obj->h - kFmPopupMargin - (i + 1) * kFmPopupLineHeight;
        int n = static_cast<int>(i) + 1;
        if (n == d->highlighted) fm_rectf(obj->x + 1, y, obj->w - 2, kFmPopupLineHeight, FM_SELECT_COL);
        int col = n == d->highlighted ? FM_WHITE : FM_BLACK;
        fm_draw_text(FM_ALIGN_LEFT, obj->x + kTextPad, y, obj->w - 2 * kTextPad, kFmPopupLineHeight, col,
                     obj->lsize, n == d->current ? FM_BOLD_STYLE : FM_NORMAL_STYLE, d->entries[i]);
    }
}

int handle_popup(FmObject *obj, int event, float mx, float my, int key) {
    auto *d = fm_data<PopupData>(obj);
    switch (event) {
    case FM_DRAW:
        draw_popup(obj, d);
        return 0;
    case FM_ENTER:
    case FM_MOVE:
    case FM_MOUSE:
    case FM_LEAVE: {
        int n = event == FM_LEAVE ? 0 : entry_at(obj, d, mx, my);
        if (n != d->highlighted) {
            d->highlighted = n;
            fm_redraw_form(obj->form);
        }
        return 0;
    }
    case FM_RELEASE:
        d->picked = entry_at(obj, d, mx, my);
        return 0;
    default:
        return 0;
    }
}

bool is_press(const FmDeviceEvent &ev) {
    return ev.value == 1 && ev.code >= FM_DEV_LEFTMOUSE && ev.code <= FM_DEV_RIGHTMOUSE;
}

}  // namespace

int fm_popup_menu(const std::vector<std::string> &entries, int current, int x, int y, float min_width) {
    fm_init();
    FmToolkit &tk = fm_toolkit();
    if (tk.headless || entries.empty()) return 0;
    float w = min_width;
    for (const std::string &e : entries) w = std::max(w, fm_text_width(e, kFmDefaultLabelSize, FM_BOLD_STYLE) + 2 * kTextPad);
    float h = entries.size() * kFmPopupLineHeight + 2 * kFmPopupMargin;

    FmForm *outer = std::exchange(tk.defining, nullptr);
    FmForm *form = fm_bgn_form(FM_NO_BOX, w, h);
    auto obj = fm_make_object(FM_FREE, 0, 0, 0, w, h, "", handle_popup);
    auto data = std::make_unique<PopupData>();
    data->entries = entries;
    data->current = data->highlighted = current;
    PopupData *d = data.get();
    obj->spec = std::move(data);
    fm_add_object(form, std::move(obj));
    fm_end_form();
    tk.defining = outer;

    fm_deactivate_all_forms();
    fm_set_form_position(form, x, y);
    fm_show_form(form, FM_PLACE_POSITION, 0, "choice");
    while (d->picked < 0) {
        if (tk.device_queue.empty()) glutHandleEvents();
        if (!tk.device_queue.empty()) {
            const FmDeviceEvent &ev = tk.device_queue.front();
            if ((is_press(ev) && ev.window != form->window) || (ev.code == FM_DEV_KEYBD && ev.value == kFmEscape)) {
                tk.device_queue.pop_front();
                d->picked = 0;
                break;
            }
        }
        fm_process_events(true);
    }
    int picked = d->picked;
    fm_free_form(form);
    fm_activate_all_forms();
    return picked;
}

}  // namespace vellimor
