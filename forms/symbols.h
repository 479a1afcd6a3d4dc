// Symbols: a label starting with '@' names a shape drawn instead of text ("@arrow", "@<", "@>",
// "@returnarrow", "@square", "@circle", "@line", "@plus", and those the application adds).
#pragma once

#include <string>

namespace vellimor {

// Draws the shape in the square [-1, 1] x [-1, 1] in the current colour.
using FmSymbolFn = void (*)();

constexpr int kFmMaxSymbols = 64;

void fm_init_symbols();
// Adds (or replaces) a named symbol; refused with "Cannot add another symbol." when the table
// is full. Returns true when added.
bool fm_add_symbol(const char *name, FmSymbolFn draw);
bool fm_symbol_exists(const std::string &name);
// Draws the symbol named by `label` (after its '@') centred in the rectangle; false when the
// label names no symbol.
bool fm_draw_symbol(const std::string &label, float x, float y, float w, float h, int col);

}  // namespace vellimor
