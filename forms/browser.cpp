#include "forms/browser.h"

#include "forms/attributes.h"
#include "forms/dispatch.h"
#include "forms/drawing.h"
#include "forms/form_definition.h"
#include "forms/toolkit.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace vellimor {
namespace {

constexpr float kTextPad = 4.0f;
constexpr float kLineGap = 3.0f;

struct Line {
    std::string text;
    bool selected = false;
};

struct BrowserData : FmClassData {
    std::vector<Line> lines;
    int topline = 1;
    int selected = 0;  // fm_get_browser's answer
    float fontsize = kFmDefaultLabelSize;
    bool dragging_thumb = false;
};

float line_height(const BrowserData *d) { return fm_browser_line_height(d->fontsize); }

int screenlines(const FmObject *obj, const BrowserData *d) {
    return std::max(1, static_cast<int>((obj->h - 2 * kFmBevel) / line_height(d)));
}

int max_topline(const FmObject *obj, const BrowserData *d) {
    return std::max(1, static_cast<int>(d->lines.size()) - screenlines(obj, d) + 1);
}

bool has_scrollbar(const FmObject *obj, const BrowserData *d) {
    return static_cast<int>(d->lines.size()) > screenlines(obj, d);
}

float text_width(const FmObject *obj, const BrowserData *d) {
    return obj->w - (has_scrollbar(obj, d) ? kFmScrollbarWidth : 0);
}

void clamp_topline(const FmObject *obj, BrowserData *d) {
    d->topline = std::clamp(d->topline, 1, max_topline(obj, d));
}

// The scrollbar thumb's rectangle.
FmRect thumb(const FmObject *obj, const BrowserData *d) {
    float track = obj->h - 2 * kFmBevel;
    float total = static_cast<float>(d->lines.size());
    float len = std::max(12.0f, track * screenlines(obj, d) / total);
    float span = max_topline(obj, d) - 1;
    float t = span > 0 ? (d->topline - 1) / span : 0;
    float top = obj->y + obj->h - kFmBevel - t * (track - len);
    return {obj->x + obj->w - kFmScrollbarWidth + 1, top - len, kFmScrollbarWidth - 2 - kFmBevel, len};
}

void draw_browser(FmObject *obj) {
    auto *d = fm_data<BrowserData>(obj);
    clamp_topline(obj, d);
    fm_draw_box(obj->boxtype, obj->x, obj->y, obj->w, obj->h, obj->col1);
    const float lh = line_height(d), tw = text_width(obj, d);
    const int shown = screenlines(obj, d);
    for (int i = 0; i < shown; ++i) {
        int n = d->topline + i;
        if (n > static_cast<int>(d->lines.size())) break;
        const Line &line = d->lines[n - 1];
        float y = obj->y + obj->h - kFmBevel - (i + 1) * lh;
        if (line.selected) fm_rectf(obj->x + kFmBevel, y, tw - 2 * kFmBevel, lh, obj->col2);
        fm_draw_text_clipped(FM_ALIGN_LEFT, obj->x + kTextPad, y, tw - 2 * kTextPad, lh,
                             line.selected ? FM_WHITE : FM_BLACK, d->fontsize, FM_NORMAL_STYLE, line.text);
    }
    if (has_scrollbar(obj, d)) {
        float sx = obj->x + obj->w - kFmScrollbarWidth;
        fm_rectf(sx, obj->y + kFmBevel, kFmScrollbarWidth - kFmBevel, obj->h - 2 * kFmBevel, FM_COL1);
        FmRect t = thumb(obj, d);
        fm_draw_box(FM_UP_BOX, t.x, t.y, t.w, t.h, FM_COL1);
    }
    fm_draw_object_label(obj);
}

int line_at(const FmObject *obj, const BrowserData *d, float my) {
    int row = static_cast<int>(std::floor((obj->y + obj->h - kFmBevel - my) / line_height(d)));
    int n = d->topline + row;
    return row >= 0 && row < screenlines(obj, d) && n <= static_cast<int>(d->lines.size()) ? n : 0;
}

void scroll_to(FmObject *obj, BrowserData *d, int topline) {
    int before = d->topline;
    d->topline = topline;
    clamp_topline(obj, d);
    if (d->topline != before) fm_redraw_object(obj);
}

// Pushes and drags on the scrollbar: above or below the thumb pages, the thumb follows the mouse.
void scrollbar_event(FmObject *obj, BrowserData *d, int event, float my) {
    FmRect t = thumb(obj, d);
    if (event == FM_PUSH) {
        d->dragging_thumb = my >= t.y && my <= t.y + t.h;
        if (!d->dragging_thumb) {
            int page = screenlines(obj, d);
            scroll_to(obj, d, d->topline + (my > t.y + t.h ? -page : page));
        }
        return;
    }
    if (!d->dragging_thumb) return;
    float track = obj->h - 2 * kFmBevel - t.h;
    float pos = obj->y + obj->h - kFmBevel - t.h / 2 - my;
    float frac = track > 0 ? std::clamp(pos / track, 0.0f, 1.0f) : 0.0f;
    scroll_to(obj, d, 1 + static_cast<int>(std::lround(frac * (max_topline(obj, d) - 1))));
}

int select_line(FmObject *obj, BrowserData *d, int n) {
    if (obj->type == FM_MULTI_BROWSER) {
        Line &line = d->lines[n - 1];
        line.selected = !line.selected;
        d->selected = line.selected ? n : -n;
    } else {
        for (Line &line : d->lines) line.selected = false;
        d->lines[n - 1].selected = true;
        d->selected = n;
    }
    fm_redraw_object(obj);
    return 1;
}

int handle_browser(FmObject *obj, int event, float mx, float my, int key) {
    auto *d = fm_data<BrowserData>(obj);
    bool on_scrollbar = has_scrollbar(obj, d) && mx >= obj->x + obj->w - kFmScrollbarWidth;
    switch (event) {
    case FM_DRAW:
        draw_browser(obj);
        return 0;
    case FM_PUSH:
        if (key == 0) return 0;
        d->dragging_thumb = false;
        if (on_scrollbar) {
            scrollbar_event(obj, d, event, my);
            return 0;
        }
        if (obj->type == FM_NORMAL_BROWSER) return 0;
        if (int n = line_at(obj, d, my)) return select_line(obj, d, n);
        return 0;
    case FM_MOUSE:
        if (d->dragging_thumb) scrollbar_event(obj, d, event, my);
        else if (obj->type == FM_SELECT_BROWSER)
            if (int n = line_at(obj, d, my); n && n != d->selected) return select_line(obj, d, n);
        return 0;
    case FM_RELEASE:
        d->dragging_thumb = false;
        return 0;
    default:
        return 0;
    }
}

BrowserData *browser(FmObject *obj, const char *where) {
    auto *d = fm_data<BrowserData>(obj);
    if (!d) fm_show_error(where, "Object is NULL.");
    return d;
}

bool valid_line(const BrowserData *d, int n) { return n >= 1 && n <= static_cast<int>(d->lines.size()); }

}  // namespace

float fm_browser_line_height(float fontsize) { return fm_text_height(fontsize, FM_NORMAL_STYLE) + kLineGap; }

FmObject *fm_add_browser(int type, float x, float y, float w, float h, const char *label) {
    auto obj = fm_make_object(FM_BROWSER, type, x, y, w, h, label, handle_browser);
    obj->spec = std::make_unique<BrowserData>();
    obj->boxtype = FM_DOWN_BOX;
    obj->col1 = FM_FIELD_COL;
    obj->col2 = FM_SELECT_COL;
    obj->align = FM_ALIGN_BOTTOM;
    return fm_add_to_current_form(std::move(obj));
}

void fm_clear_browser(FmObject *obj) {
    if (auto *d = browser(obj, "fm_clear_browser")) {
        d->lines.clear();
        d->topline = 1;
        d->selected = 0;
        fm_redraw_object(obj);
    }
}

void fm_add_browser_line(FmObject *obj, const char *text) {
    auto *d = browser(obj, "fm_add_browser_line");
    if (d && fm_allocating([&] { d->lines.push_back({text ? text : ""}); })) fm_redraw_object(obj);
}

void fm_insert_browser_line(FmObject *obj, int n, const char *text) {
    auto *d = browser(obj, "fm_insert_browser_line");
    if (!d || n < 1) return;
    n = std::min(n, static_cast<int>(d->lines.size()) + 1);
    if (!fm_allocating([&] { d->lines.insert(d->lines.begin() + (n - 1), Line{text ? text : ""}); })) return;
    if (d->selected != 0 && std::abs(d->selected) >= n) d->selected += d->selected > 0 ? 1 : -1;
    fm_redraw_object(obj);
}

void fm_replace_browser_line(FmObject *obj, int n, const char *text) {
    auto *d = browser(obj, "fm_replace_browser_line");
    if (!d || !valid_line(d, n)) return;
    d->lines[n - 1].text = text ? text : "";
    fm_redraw_object(obj);
}

void fm_delete_browser_line(FmObject *obj, int n) {
    auto *d = browser(obj, "fm_delete_browser_line");
    if (!d || !valid_line(d, n)) return;
    d->lines.erase(d->lines.begin() + (n - 1));
    if (std::abs(d->selected) == n)
        d->selected = 0;
    else if (std::abs(d->selected) > n)
        d->selected += d->selected > 0 ? -1 : 1;
    clamp_topline(obj, d);
    fm_redraw_object(obj);
}

void fm_select_browser_line(FmObject *obj, int n) {
    auto *d = browser(obj, "fm_select_browser_line");
    if (!d || !valid_line(d, n)) return;
    if (obj->type != FM_MULTI_BROWSER)
        for (Line &line : d->lines) line.selected = false;
    d->lines[n - 1].selected = true;
    d->selected = n;
    fm_redraw_object(obj);
}

void fm_deselect_browser_line(FmObject *obj, int n) {
    auto *d = browser(obj, "fm_deselect_browser_line");
    if (!d || !valid_line(d, n)) return;
    d->lines[n - 1].selected = false;
    if (d->selected == n) d->selected = 0;
    fm_redraw_object(obj);
}

void fm_deselect_browser(FmObject *obj) {
    if (auto *d = browser(obj, "fm_deselect_browser")) {
        for (Line &line : d->lines) line.selected = false;
        d->selected = 0;
        fm_redraw_object(obj);
    }
}

bool fm_isselected_browser_line(FmObject *obj, int n) {
    auto *d = browser(obj, "fm_isselected_browser_line");
    return d && valid_line(d, n) && d->lines[n - 1].selected;
}

const char *fm_get_browser_line(FmObject *obj, int n) {
    auto *d = browser(obj, "fm_get_browser_line");
    return d && valid_line(d, n) ? d->lines[n - 1].text.c_str() : nullptr;
}

int fm_get_browser_maxline(FmObject *obj) {
    auto *d = browser(obj, "fm_get_browser_maxline");
    return d ? static_cast<int>(d->lines.size()) : 0;
}

int fm_get_browser(FmObject *obj) {
    auto *d = browser(obj, "fm_get_browser");
    return d ? d->selected : 0;
}

void fm_set_browser_topline(FmObject *obj, int n) {
    if (auto *d = browser(obj, "fm_set_browser_topline")) scroll_to(obj, d, n);
}

int fm_get_browser_topline(FmObject *obj) {
    auto *d = browser(obj, "fm_get_browser_topline");
    if (!d) return 0;
    clamp_topline(obj, d);
    return d->topline;
}

int fm_get_browser_screenlines(FmObject *obj) {
    auto *d = browser(obj, "fm_get_browser_screenlines");
    return d ? screenlines(obj, d) : 0;
}

void fm_set_browser_fontsize(FmObject *obj, float size) {
    auto *d = browser(obj, "fm_set_browser_fontsize");
    if (d && !fm_font_size_exists(size)) {
        fm_show_error("fm_set_browser_fontsize", "Font does not exist.");
        return;
    }
    if (d) {
        d->fontsize = size;
        fm_redraw_object(obj);
    }
}

}  // namespace vellimor
