#include "forms/toolkit.h"

#include "forms/dialogs.h"
#include "forms/symbols.h"
#include "forms/toolkit_state.h"
#include "forms/window_events.h"
#include "platform/window_system.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace vellimor {
namespace {

constexpr const char *kProgramName = "vellimor";

struct NamedColor {
    int index;
    std::uint8_t r, g, b;
};

// The toolkit's own colours; the remaining entries start as a grey ramp.
constexpr NamedColor kNamedColors[] = {
    {FM_BLACK, 0, 0, 0},          {FM_RED, 220, 40, 40},         {FM_GREEN, 40, 170, 60},
    {FM_YELLOW, 235, 210, 60},    {FM_BLUE, 50, 80, 200},        {FM_MAGENTA, 200, 60, 200},
    {FM_CYAN, 60, 200, 210},      {FM_WHITE, 255, 255, 255},     {FM_BOTTOM_BCOL, 112, 116, 124},
    {FM_INACTIVE_COL, 138, 140, 146}, {FM_COL1, 200, 202, 207},  {FM_MCOL, 168, 178, 204},
    {FM_SELECT_COL, 66, 110, 190}, {FM_TOP_BCOL, 240, 241, 245}, {FM_FIELD_COL, 248, 248, 244},
};

void set_default_colormap(FmToolkit &tk) {
    for (int i = 0; i < kFmColorMapSize; ++i) {
        auto level = static_cast<std::uint8_t>((i % 64) * 255 / 63);
        tk.colormap[i] = {level, level, level};
    }
    for (const NamedColor &c : kNamedColors) tk.colormap[c.index] = {c.r, c.g, c.b};
}

bool valid_index(int index) { return index >= 0 && index < kFmColorMapSize; }

}  // namespace

// Never destroyed: the window system's exit handler may still report windows destroyed after
// static destructors have run, and the toolkit must still be there to look their forms up.
FmToolkit &fm_toolkit() {
    static FmToolkit &toolkit = *new FmToolkit;
    return toolkit;
}

void fm_init() {
    FmToolkit &tk = fm_toolkit();
    if (tk.initialised) return;
    tk.initialised = true;
    tk.headless = !platform::window_system_init(kProgramName);
    if (!tk.headless) fm_register_close_requests();
    set_default_colormap(tk);
    tk.queued_devices = {151, 155};
    fm_init_symbols();
}

bool fm_headless() {
    fm_init();
    return fm_toolkit().headless;
}

void fm_mapcolor(int index, int r, int g, int b) {
    if (!valid_index(index)) return;
    fm_init();
    auto clamp = [](int v) { return static_cast<std::uint8_t>(std::clamp(v, 0, 255)); };
    fm_toolkit().colormap[index] = {clamp(r), clamp(g), clamp(b)};
}

void fm_getmcolor(int index, int *r, int *g, int *b) {
    fm_init();
    const auto &c = fm_toolkit().colormap[valid_index(index) ? index : 0];
    if (r) *r = c[0];
    if (g) *g = c[1];
    if (b) *b = c[2];
}

void fm_show_error(const char *where, const char *message) {
    FmToolkit &tk = fm_toolkit();
    tk.last_error = message ? message : "";
    std::fprintf(stderr, "Forms error in %s\n%s\n", where, tk.last_error.c_str());
    if (tk.errors_hidden || !tk.initialised || tk.headless) return;
    char title[160];
    std::snprintf(title, sizeof title, "Forms error in %s", where);
    switch (fm_show_choice(title, tk.last_error.c_str(), "", 3, "Continue", "Exit", "Hide Errors")) {
    case 2:
        std::exit(1);
    case 3:
        tk.errors_hidden = true;
        break;
    default:
        break;
    }
}

void *fm_malloc(std::size_t size) {
    void *memory = std::malloc(size > 0 ? size : 1);
    if (!memory) fm_show_error("fm_malloc", "Cannot allocate memory.");
    return memory;
}

const std::string &fm_last_error() { return fm_toolkit().last_error; }

}  // namespace vellimor
