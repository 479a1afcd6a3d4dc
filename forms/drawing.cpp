#include "forms/drawing.h"

#include "forms/symbols.h"
#include "forms/toolkit_state.h"

#include <GL/freeglut.h>
#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace vellimor {
namespace {

constexpr float kShadow = 3.0f;
constexpr float kLabelGap = 3.0f;
constexpr float kCornerRadius = 5.0f;

struct Font {
    void *glut;
    float height;  // line height in pixels
    float ascent;  // baseline above the bottom of a line
    float estimated_width;  // average character width when no display is open
};

Font font_for(float size, int style) {
    const bool small = size < 10.5f, large = size > 15.0f;
    switch (style) {
    case FM_ITALIC_STYLE:
        return large ? Font{GLUT_BITMAP_TIMES_ROMAN_24, 26, 7, 11}
                     : Font{GLUT_BITMAP_TIMES_ROMAN_10, 13, 3, 5};
    case FM_FIXED_STYLE:
    case FM_FIXEDBOLD_STYLE:
        return small ? Font{GLUT_BITMAP_8_BY_13, 14, 3, 8} : Font{GLUT_BITMAP_9_BY_15, 16, 4, 9};
    default:
        if (small) return Font{GLUT_BITMAP_HELVETICA_10, 13, 3, 5};
        if (large) return Font{GLUT_BITMAP_HELVETICA_18, 22, 5, 10};
        return Font{GLUT_BITMAP_HELVETICA_12, 15, 4, 7};
    }
}

bool bold(int style) { return style == FM_BOLD_STYLE || style == FM_FIXEDBOLD_STYLE; }

std::vector<std::string> split_lines(const std::string &text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (;;) {
        std::size_t nl = text.find('\n', start);
        lines.push_back(text.substr(start, nl == std::string::npos ? std::string::npos : nl - start));
        if (nl == std::string::npos) break;
        start = nl + 1;
    }
    return lines;
}

float line_width(const std::string &line, const Font &font, int style) {
    if (fm_toolkit().headless) return line.size() * font.estimated_width;
    float w = 0;
    for (unsigned char c : line) w += glutBitmapWidth(font.glut, c);
    return w + (bold(style) ? 1 : 0);
}

// Raster positions outside the viewport are invalid, so start from a valid one and move.
void raster_at(float x, float y) {
    glRasterPos2f(0, 0);
    glBitmap(0, 0, 0, 0, x, y, nullptr);
}

void draw_line_text(float x, float y, const std::string &line, const Font &font, int style,
                    float max_w) {
    raster_at(std::floor(x), std::floor(y));
    float used = 0;
    for (unsigned char c : line) {
        float cw = glutBitmapWidth(font.glut, c);
        if (used + cw > max_w) break;
        glutBitmapCharacter(font.glut, c);
        used += cw;
    }
    if (!bold(style)) return;
    raster_at(std::floor(x) + 1, std::floor(y));
    used = 0;
    for (unsigned char c : line) {
        float cw = glutBitmapWidth(font.glut, c);
        if (used + cw > max_w) break;
        glutBitmapCharacter(font.glut, c);
        used += cw;
    }
}

void draw_text_block(int align, float x, float y, float w, float h, int col, float size, int style,
                     const std::string &text, bool clip) {
    if (text.empty()) return;
    if (text[0] == '@' && fm_draw_symbol(text, x, y, w, h, col)) return;
    const Font font = font_for(size, style);
    auto lines = split_lines(text);
    float block = font.height * lines.size();
    float top = y + (h + block) / 2;
    fm_color(col);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        float lw = line_width(lines[i], font, style);
        float lx = x + (w - lw) / 2;
        if (align == FM_ALIGN_LEFT) lx = x;
        if (align == FM_ALIGN_RIGHT) lx = x + w - lw;
        if (clip) lx = std::max(lx, x);
        float by = top - font.height * (i + 1) + font.ascent;
        draw_line_text(lx, by, lines[i], font, style, clip ? x + w - lx : 1e9f);
    }
}

// A rounded rectangle's outline as one primitive: filled (GL_POLYGON) or drawn (GL_LINE_LOOP).
void rounded_rectangle(GLenum primitive, float x, float y, float w, float h, float r) {
    r = std::min({r, w / 2, h / 2});
    constexpr int kSegments = 6;
    const float cx[4] = {x + w - r, x + r, x + r, x + w - r};
    const float cy[4] = {y + h - r, y + h - r, y + r, y + r};
    glBegin(primitive);
    for (int corner = 0; corner < 4; ++corner)
        for (int s = 0; s <= kSegments; ++s) {
            float a = static_cast<float>(M_PI / 2 * (corner + static_cast<float>(s) / kSegments));
            glVertex2f(cx[corner] + r * std::cos(a), cy[corner] + r * std::sin(a));
        }
    glEnd();
}

void fill_rounded(float x, float y, float w, float h, float r) {
    rounded_rectangle(GL_POLYGON, x, y, w, h, r);
}

void outline_rounded(float x, float y, float w, float h, float r) {
    rounded_rectangle(GL_LINE_LOOP, x, y, w, h, r);
}

// Raised (up) or sunken (down) edges of width kFmBevel around a filled rectangle.
void bevel_box(float x, float y, float w, float h, int col, bool up) {
    float b = std::min({kFmBevel, w / 2, h / 2});
    fm_rectf(x, y, w, h, col);
    int light = up ? FM_TOP_BCOL : FM_BOTTOM_BCOL, dark = up ? FM_BOTTOM_BCOL : FM_TOP_BCOL;
    fm_color(light);
    glBegin(GL_QUADS);  // top and left
    glVertex2f(x, y + h - b); glVertex2f(x + w, y + h - b); glVertex2f(x + w, y + h); glVertex2f(x, y + h);
    glVertex2f(x, y); glVertex2f(x + b, y); glVertex2f(x + b, y + h); glVertex2f(x, y + h);
    glEnd();
    fm_color(dark);
    glBegin(GL_QUADS);  // bottom and right
    glVertex2f(x + b, y); glVertex2f(x + w, y); glVertex2f(x + w, y + b); glVertex2f(x + b, y + b);
    glVertex2f(x + w - b, y + b); glVertex2f(x + w, y + b); glVertex2f(x + w, y + h - b); glVertex2f(x + w - b, y + h - b);
    glEnd();
}

}  // namespace

void fm_color(int index) {
    const auto &c = fm_toolkit().colormap[std::clamp(index, 0, kFmColorMapSize - 1)];
    glColor3ub(c[0], c[1], c[2]);
}

void fm_rectf(float x, float y, float w, float h, int col) {
    fm_color(col);
    glRectf(x, y, x + w, y + h);
}

void fm_rect_outline(float x, float y, float w, float h, int col) {
    fm_color(col);
    glBegin(GL_LINE_LOOP);
    glVertex2f(x, y);
    glVertex2f(x + w - 1, y);
    glVertex2f(x + w - 1, y + h - 1);
    glVertex2f(x, y + h - 1);
    glEnd();
}

void fm_line(float x0, float y0, float x1, float y1, int col) {
    fm_color(col);
    glBegin(GL_LINES);
    glVertex2f(x0, y0);
    glVertex2f(x1, y1);
    glEnd();
}

void fm_draw_box(int boxtype, float x, float y, float w, float h, int col) {
    switch (boxtype) {
    case FM_UP_BOX:
        bevel_box(x, y, w, h, col, true);
        break;
    case FM_DOWN_BOX:
        bevel_box(x, y, w, h, col, false);
        break;
    case FM_FLAT_BOX:
        fm_rectf(x, y, w, h, col);
        break;
    case FM_BORDER_BOX:
        fm_rectf(x, y, w, h, col);
        fm_rect_outline(x, y, w, h, FM_BLACK);
        break;
    case FM_SHADOW_BOX:
        fm_rectf(x + kShadow, y - kShadow, w, h, FM_BOTTOM_BCOL);
        fm_rectf(x, y, w, h, col);
        fm_rect_outline(x, y, w, h, FM_BLACK);
        break;
    case FM_FRAME_BOX:
        fm_rectf(x, y, w, h, col);
        fm_rect_outline(x, y, w, h, FM_BOTTOM_BCOL);
        fm_rect_outline(x + 1, y + 1, w - 2, h - 2, FM_TOP_BCOL);
        break;
    case FM_ROUNDED_BOX:
        fm_color(col);
        fill_rounded(x, y, w, h, kCornerRadius);
        fm_color(FM_BLACK);
        outline_rounded(x, y, w - 1, h - 1, kCornerRadius);
        break;
    case FM_RFLAT_BOX:
        fm_color(col);
        fill_rounded(x, y, w, h, kCornerRadius);
        break;
    case FM_RSHADOW_BOX:
        fm_color(FM_BOTTOM_BCOL);
        fill_rounded(x + kShadow, y - kShadow, w, h, kCornerRadius);
        fm_color(col);
        fill_rounded(x, y, w, h, kCornerRadius);
        fm_color(FM_BLACK);
        outline_rounded(x, y, w - 1, h - 1, kCornerRadius);
        break;
    default:
        break;
    }
}

float fm_text_width(const std::string &text, float size, int style) {
    const Font font = font_for(size, style);
    float w = 0;
    for (const std::string &line : split_lines(text)) w = std::max(w, line_width(line, font, style));
    return w;
}

bool fm_font_size_exists(float size) { return std::isfinite(size) && size > 0; }

float fm_text_height(float size, int style) { return font_for(size, style).height; }

void fm_draw_text(int align, float x, float y, float w, float h, int col, float size, int style,
                  const std::string &text) {
    draw_text_block(align, x, y, w, h, col, size, style, text, false);
}

void fm_draw_text_clipped(int align, float x, float y, float w, float h, int col, float size,
                          int style, const std::string &text) {
    draw_text_block(align, x, y, w, h, col, size, style, text, true);
}

int fm_label_color(const FmObject *obj) { return obj->active ? obj->lcol : FM_INACTIVE_COL; }

void fm_draw_object_label(const FmObject *obj) {
    if (obj->label.empty()) return;
    const float lw = fm_text_width(obj->label, obj->lsize, obj->lstyle) + 2 * kLabelGap;
    const float lh = fm_text_height(obj->lsize, obj->lstyle) *
                     (1 + std::count(obj->label.begin(), obj->label.end(), '\n'));
    int col = fm_label_color(obj);
    switch (obj->align) {
    case FM_ALIGN_TOP:
        fm_draw_text(FM_ALIGN_CENTER, obj->x, obj->y + obj->h, obj->w, lh, col, obj->lsize, obj->lstyle, obj->label);
        break;
    case FM_ALIGN_BOTTOM:
        fm_draw_text(FM_ALIGN_CENTER, obj->x, obj->y - lh, obj->w, lh, col, obj->lsize, obj->lstyle, obj->label);
        break;
    case FM_ALIGN_LEFT:
        fm_draw_text(FM_ALIGN_RIGHT, obj->x - lw, obj->y, lw - kLabelGap, obj->h, col, obj->lsize, obj->lstyle, obj->label);
        break;
    case FM_ALIGN_RIGHT:
        fm_draw_text(FM_ALIGN_LEFT, obj->x + obj->w + kLabelGap, obj->y, lw, obj->h, col, obj->lsize, obj->lstyle, obj->label);
        break;
    default:
        fm_draw_text(FM_ALIGN_CENTER, obj->x, obj->y, obj->w, obj->h, col, obj->lsize, obj->lstyle, obj->label);
        break;
    }
}

void fm_draw_label_at(const FmObject *obj, float x, float y, float w, float h, int align) {
    float pad = align == FM_ALIGN_CENTER ? 0 : kLabelGap + 1;
    fm_draw_text(align, x + pad, y, w - 2 * pad, h, fm_label_color(obj), obj->lsize, obj->lstyle, obj->label);
}

void fm_draw_object_label_inside(const FmObject *obj) {
    int align = obj->align == FM_ALIGN_LEFT || obj->align == FM_ALIGN_RIGHT ? obj->align : FM_ALIGN_CENTER;
    fm_draw_label_at(obj, obj->x, obj->y, obj->w, obj->h, align);
}

FmRect fm_object_extent(const FmObject *obj) {
    FmRect r{obj->x - 1, obj->y - 1 - kShadow, obj->w + 2 + kShadow, obj->h + 2 + kShadow};
    if (obj->label.empty() || obj->align == FM_ALIGN_CENTER) return r;
    const float lw = fm_text_width(obj->label, obj->lsize, obj->lstyle) + 2 * kLabelGap;
    const float lh = fm_text_height(obj->lsize, obj->lstyle) *
                     (1 + std::count(obj->label.begin(), obj->label.end(), '\n'));
    FmRect label{obj->x, obj->y, obj->w, obj->h};
    switch (obj->align) {
    case FM_ALIGN_TOP: label = {obj->x - lw, obj->y + obj->h, obj->w + 2 * lw, lh}; break;
    case FM_ALIGN_BOTTOM: label = {obj->x - lw, obj->y - lh, obj->w + 2 * lw, lh}; break;
    case FM_ALIGN_LEFT: label = {obj->x - lw, obj->y - lh, lw, obj->h + 2 * lh}; break;
    case FM_ALIGN_RIGHT: label = {obj->x + obj->w, obj->y - lh, lw, obj->h + 2 * lh}; break;
    default: break;
    }
    float x0 = std::min(r.x, label.x), y0 = std::min(r.y, label.y);
    float x1 = std::max(r.x + r.w, label.x + label.w), y1 = std::max(r.y + r.h, label.y + label.h);
    return {x0, y0, x1 - x0, y1 - y0};
}

}  // namespace vellimor
