// The browser: a scrolling list of text lines, for display only or with single or multiple
// selection. Lines are numbered from 1.
#pragma once

#include "forms/object.h"

namespace vellimor {

enum FmBrowserType {
    FM_NORMAL_BROWSER = 0, // display only
    FM_SELECT_BROWSER = 1, // one selected line
    FM_MULTI_BROWSER = 2,  // each click selects or deselects a line
};

constexpr float kFmScrollbarWidth = 16.0f;

FmObject *fm_add_browser(int type, float x, float y, float w, float h, const char *label);

void fm_clear_browser(FmObject *obj);
void fm_add_browser_line(FmObject *obj, const char *text);
// Inserts before line n (n past the end appends).
void fm_insert_browser_line(FmObject *obj, int n, const char *text);
void fm_replace_browser_line(FmObject *obj, int n, const char *text);
void fm_delete_browser_line(FmObject *obj, int n);
void fm_select_browser_line(FmObject *obj, int n);
void fm_deselect_browser_line(FmObject *obj, int n);
void fm_deselect_browser(FmObject *obj);
bool fm_isselected_browser_line(FmObject *obj, int n);
// nullptr for a line that does not exist.
const char *fm_get_browser_line(FmObject *obj, int n);
int fm_get_browser_maxline(FmObject *obj);
// The selected line (single selection) or the last line clicked, negative when that click
// deselected it (multiple selection); 0 when none.
int fm_get_browser(FmObject *obj);
void fm_set_browser_topline(FmObject *obj, int n);
int fm_get_browser_topline(FmObject *obj);
// Lines that fit in the browser.
int fm_get_browser_screenlines(FmObject *obj);
// Height of one line in a browser whose text has the given size.
float fm_browser_line_height(float fontsize);
constexpr float kFmBrowserTopMargin = 2.0f;  // between the top edge and the first line
void fm_set_browser_fontsize(FmObject *obj, float size);

}  // namespace vellimor
