// Drawing helpers the classes share: colours, boxes, text in GLUT bitmap fonts, and labels.
#pragma once

#include "forms/object.h"

#include <string>

namespace vellimor {

constexpr float kFmBevel = 2.0f;  // width of the raised and sunken box edges

void fm_color(int index);
void fm_rectf(float x, float y, float w, float h, int col);
void fm_rect_outline(float x, float y, float w, float h, int col);
void fm_line(float x0, float y0, float x1, float y1, int col);
void fm_draw_box(int boxtype, float x, float y, float w, float h, int col);

// True when a font of that size exists (any positive size: the nearest bitmap font is taken).
bool fm_font_size_exists(float size);
float fm_text_width(const std::string &text, float size, int style);
float fm_text_height(float size, int style);
// Draws one or more lines ('\n') aligned inside the rectangle: FM_ALIGN_LEFT, FM_ALIGN_RIGHT or
// centred horizontally, always centred vertically. A text starting with '@' is a symbol.
void fm_draw_text(int align, float x, float y, float w, float h, int col, float size, int style,
                  const std::string &text);
// Same, but the text is cut at the right edge of the rectangle.
void fm_draw_text_clipped(int align, float x, float y, float w, float h, int col, float size,
                          int style, const std::string &text);

// Draws the object's label where its alignment puts it: outside the object for top, bottom, left
// and right, centred inside for FM_ALIGN_CENTER.
void fm_draw_object_label(const FmObject *obj);
// Always inside the object, aligned left, right or centred.
void fm_draw_object_label_inside(const FmObject *obj);
// The object's label inside the given rectangle with the given alignment.
void fm_draw_label_at(const FmObject *obj, float x, float y, float w, float h, int align);
// The label's colour, dimmed for a deactivated object.
int fm_label_color(const FmObject *obj);

// The area the object draws on: its rectangle, its box shadow and an outside label.
FmRect fm_object_extent(const FmObject *obj);

}  // namespace vellimor
