#include "forms/symbols.h"

#include "forms/drawing.h"
#include "forms/toolkit.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace vellimor {
namespace {

struct Symbol {
    std::string name;
    FmSymbolFn draw;
    float rotation;  // degrees, counter-clockwise
};

std::vector<Symbol> &table() {
    static std::vector<Symbol> symbols;
    return symbols;
}

void draw_arrow() {
    glBegin(GL_TRIANGLES);
    glVertex2f(0.1f, -0.8f);
    glVertex2f(0.9f, 0.0f);
    glVertex2f(0.1f, 0.8f);
    glEnd();
    glRectf(-0.8f, -0.25f, 0.15f, 0.25f);
}

void draw_triangle_arrow() {
    glBegin(GL_TRIANGLES);
    glVertex2f(-0.5f, -0.8f);
    glVertex2f(0.6f, 0.0f);
    glVertex2f(-0.5f, 0.8f);
    glEnd();
}

void draw_returnarrow() {
    glBegin(GL_TRIANGLES);
    glVertex2f(-0.9f, -0.3f);
    glVertex2f(-0.3f, 0.2f);
    glVertex2f(-0.3f, -0.8f);
    glEnd();
    glRectf(-0.35f, -0.42f, 0.8f, -0.18f);
    glRectf(0.56f, -0.42f, 0.8f, 0.7f);
}

void draw_square() { glRectf(-0.7f, -0.7f, 0.7f, 0.7f); }

void draw_circle() {
    constexpr int kSegments = 24;
    glBegin(GL_POLYGON);
    for (int i = 0; i < kSegments; ++i) {
        float a = static_cast<float>(2 * M_PI * i / kSegments);
        glVertex2f(0.75f * std::cos(a), 0.75f * std::sin(a));
    }
    glEnd();
}

void draw_line() { glRectf(-0.85f, -0.1f, 0.85f, 0.1f); }

void draw_plus() {
    glRectf(-0.8f, -0.15f, 0.8f, 0.15f);
    glRectf(-0.15f, -0.8f, 0.15f, 0.8f);
}

void put(std::string name, FmSymbolFn draw, float rotation) {
    auto &symbols = table();
    for (Symbol &s : symbols)
        if (s.name == name) {
            s = {std::move(name), draw, rotation};
            return;
        }
    symbols.push_back({std::move(name), draw, rotation});
}

const Symbol *find(const std::string &name) {
    for (const Symbol &s : table())
        if (s.name == name) return &s;
    return nullptr;
}

}  // namespace

void fm_init_symbols() {
    if (!table().empty()) return;
    put("arrow", draw_arrow, 0);
    put("->", draw_arrow, 0);
    put("<-", draw_arrow, 180);
    put(">", draw_triangle_arrow, 0);
    put("<", draw_triangle_arrow, 180);
    put("^", draw_triangle_arrow, 90);
    put("v", draw_triangle_arrow, 270);
    put("returnarrow", draw_returnarrow, 0);
    put("square", draw_square, 0);
    put("circle", draw_circle, 0);
    put("line", draw_line, 0);
    put("plus", draw_plus, 0);
}

bool fm_add_symbol(const char *name, FmSymbolFn draw) {
    fm_init();
    if (!name || !draw) return false;
    if (!find(name) && static_cast<int>(table().size()) >= kFmMaxSymbols) {
        fm_show_error("fm_add_symbol", "Cannot add another symbol.");
        return false;
    }
    put(name, draw, 0);
    return true;
}

bool fm_symbol_exists(const std::string &name) { return find(name) != nullptr; }

bool fm_draw_symbol(const std::string &label, float x, float y, float w, float h, int col) {
    if (label.empty() || label[0] != '@') return false;
    const Symbol *symbol = find(label.substr(1));
    if (!symbol) return false;
    float size = std::min(w, h) * 0.4f;
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glTranslatef(x + w / 2, y + h / 2, 0);
    glScalef(size, size, 1);
    glRotatef(symbol->rotation, 0, 0, 1);
    fm_color(col);
    symbol->draw();
    glPopMatrix();
    return true;
}

}  // namespace vellimor
