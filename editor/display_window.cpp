// "Display settings": the display settings record mapped onto its controls. Changes apply to the
// record at once and redraw the graphics view.
#include <algorithm>
#include <array>
#include <cstdio>

#include "editor/designer_callbacks.h"
#include "editor/designer_objects.h"
#include "editor/window_layout.h"
#include "editor/windows.h"
#include "forms/forms.h"
#include "furdata/display_settings.h"
#include "render/scene_draw.h"

namespace vellimor {
namespace {

constexpr float kW = 264, kH = 636;
constexpr std::array<const char *, 8> kAntialiasLabels = {"0", "2", "3", "4", "8", "15", "24", "66"};
constexpr int kSampleColor = 1000;  // colour map entries of the two colour samples
constexpr int kMatteSampleColor = 1001;

// Packed colours: red in the lowest byte.
int packed_component(int packed, int shift) { return (unsigned(packed) >> shift) & 0xFF; }
int with_component(int packed, int shift, float value) {
    const unsigned byte = unsigned(std::clamp(value, 0.0f, 1.0f) * 255.0f + 0.5f);
    return int((unsigned(packed) & ~(0xFFu << shift)) | (byte << shift));
}

FmObject *color_slider(float y, const char *label) {
    FmObject *s = layout_slider(30, y, 150, 16, label);
    fm_set_slider_bounds(s, 0, 1);
    fm_set_call_back(s, display_settings_callback, 0);
    return s;
}

FmObject *toggle(float x, float y, float w, const char *label) {
    FmObject *b = fm_add_lightbutton(FM_TOGGLE_BUTTON, x, y, w, 20, label);
    fm_set_call_back(b, display_settings_callback, 0);
    return b;
}

FmObject *radio(float x, float y, float w, const char *label) {
    FmObject *b = fm_add_button(FM_RADIO_BUTTON, x, y, w, 20, label);
    fm_set_call_back(b, display_settings_callback, 0);
    return b;
}

void set_sample(FmObject *sample, int index, int packed) {
    fm_mapcolor(index, packed_component(packed, 0), packed_component(packed, 8), packed_component(packed, 16));
    if (sample) fm_redraw_object(sample);
}

void show_mode_buttons(const DisplayWindowObjects &d, int mode) {
    const std::array<FmObject *, 6> by_mode = {d.show_hidden, d.show_wire, d.show_shade,
                                              d.show_textured, d.show_zbuffer, d.show_matte};
    for (size_t i = 0; i < by_mode.size(); ++i) fm_set_button(by_mode[i], int(i) == mode ? 1 : 0);
}

}  // namespace

void create_display_window() {
    DisplayWindowObjects &d = designer_windows().display;
    d.form = fm_bgn_form(FM_UP_BOX, kW, kH);
    fm_add_text(0, 8, 612, 248, 20, "Show polygons, splines etc as:");
    fm_bgn_group();
    d.show_wire = radio(8, 590, 80, "Wire");
    d.show_shade = radio(92, 590, 80, "Shade");
    d.show_textured = radio(176, 590, 80, "Textured");
    d.show_zbuffer = radio(8, 568, 80, "Zbuffer");
    d.show_hidden = radio(92, 568, 80, "Hidden");
    d.show_matte = radio(176, 568, 80, "Matte");
    fm_end_group();
    fm_bgn_group();
    d.draw_lines = radio(8, 540, 80, "Draw lines");
    d.draw_polygons = radio(92, 540, 80, "Draw polygons");
    d.render_polygons2 = radio(176, 534, 80, "Render\npolygons 2");
    fm_set_object_lsize(d.render_polygons2, 9);
    d.render_polygons2->h = 32;
    fm_end_group();
    fm_add_text(0, 8, 508, 248, 20, "Background color:");
    d.background_red = color_slider(490, "R");
    d.background_green = color_slider(472, "G");
    d.background_blue = color_slider(454, "B");
    d.background_sample = fm_add_box(FM_DOWN_BOX, 190, 454, 66, 52, "");
    d.background_sample->col1 = kSampleColor;
    fm_add_text(0, 8, 430, 248, 20, "Matte color:");
    d.matte_red = color_slider(412, "R");
    d.matte_green = color_slider(394, "G");
    d.matte_blue = color_slider(376, "B");
    d.matte_sample = fm_add_box(FM_DOWN_BOX, 190, 376, 66, 52, "");
    d.matte_sample->col1 = kMatteSampleColor;
    d.background_image = fm_add_input(FM_NORMAL_INPUT, 8, 334, 248, 20, "Background image");
    fm_set_object_align(d.background_image, FM_ALIGN_TOP);
    fm_set_call_back(d.background_image, display_settings_callback, 0);
    d.background_browser = fm_add_button(FM_NORMAL_BUTTON, 8, 310, 100, 20, "Browser");
    d.use_image = toggle(120, 310, 136, "Use image");
    fm_add_text(0, 8, 286, 248, 20, "Antialiazing level");
    fm_bgn_group();
    for (size_t i = 0; i < kAntialiasLabels.size(); ++i)
        d.antialias[i] = radio(8 + 31.0f * float(i), 264, 30, kAntialiasLabels[i]);
    fm_end_group();
    d.light_exposure = layout_slider(8, 224, 190, 16, "Light exposure");
    fm_set_object_align(d.light_exposure, FM_ALIGN_TOP);
    fm_set_slider_bounds(d.light_exposure, 0, 4);
    fm_set_call_back(d.light_exposure, display_settings_callback, 0);
    d.light_exposure_field = layout_field(202, 224, 54, 16);
    pair_register(d.light_exposure, d.light_exposure_field);
    pair_set_mode(d.light_exposure, kPairOneSided);
    d.shadow_umbra = layout_slider(8, 188, 190, 16, "Shadow umbra scale factor");
    fm_set_object_align(d.shadow_umbra, FM_ALIGN_TOP);
    fm_set_slider_bounds(d.shadow_umbra, 0, 1);
    fm_set_call_back(d.shadow_umbra, display_settings_callback, 0);
    d.shadow_umbra_field = layout_field(202, 188, 54, 16);
    pair_register(d.shadow_umbra, d.shadow_umbra_field);
    pair_set_mode(d.shadow_umbra, kPairOneSided);
    d.other_casts_shadow = toggle(8, 160, 248, "Other Casts shadow");
    d.beep_on_error = toggle(8, 138, 122, "Beep on error");
    d.show_wind_vector = toggle(134, 138, 122, "Show wind vector");
    d.autokey_fcurves = toggle(8, 116, 122, "Autokey FCurves");
    d.dir_bend_random_mode = toggle(134, 116, 122, "Dir/Bend random mode");
    fm_set_object_lsize(d.dir_bend_random_mode, 9);
    fm_add_text(0, 8, 92, 248, 20, "Redraw mode");
    fm_bgn_group();
    d.redraw_allways = radio(8, 70, 80, "Allways");
    d.redraw_auto = radio(92, 70, 80, "Auto");
    d.redraw_never = radio(176, 70, 80, "Never");
    fm_end_group();
    fm_bgn_group();
    d.use_irisgl = radio(8, 44, 122, "Use IrisGL");
    d.use_opengl = radio(134, 44, 122, "Use OpenGL");
    fm_end_group();
    d.close = layout_button(FM_NORMAL_BUTTON, 8, 8, 248, 26, "Close", close_window_callback, kWindowDisplay);
    d.help_timer = layout_help_timer();
    fm_end_form();
}

void display_settings_fill() {
    const DisplaySettings *s = display_settings();
    DisplayWindowObjects &d = designer_windows().display;
    if (!s || !d.form) return;
    fm_freeze_form(d.form);
    show_mode_buttons(d, s->other_display_mode);
    fm_set_button(d.draw_lines, s->draw_style == kDrawLines);
    fm_set_button(d.draw_polygons, s->draw_style == kDrawPolygons);
    fm_set_button(d.render_polygons2, s->draw_style == kRenderPolygons2);
    fm_set_slider_value(d.background_red, float(packed_component(s->background_color, 0)) / 255.0f);
    fm_set_slider_value(d.background_green, float(packed_component(s->background_color, 8)) / 255.0f);
    fm_set_slider_value(d.background_blue, float(packed_component(s->background_color, 16)) / 255.0f);
    set_sample(d.background_sample, kSampleColor, s->background_color);
    fm_set_slider_value(d.matte_red, float(packed_component(s->other_color, 0)) / 255.0f);
    fm_set_slider_value(d.matte_green, float(packed_component(s->other_color, 8)) / 255.0f);
    fm_set_slider_value(d.matte_blue, float(packed_component(s->other_color, 16)) / 255.0f);
    set_sample(d.matte_sample, kMatteSampleColor, s->other_color);
    fm_set_input(d.background_image, s->background_image_name.c_str());
    fm_set_button(d.use_image, s->use_background_image);
    for (size_t i = 0; i < d.antialias.size(); ++i) fm_set_button(d.antialias[i], s->antialias_level == int(i));
    pair_set(d.light_exposure, s->light_exposure);
    pair_set(d.shadow_umbra, s->shadow_umbra_scale);
    fm_set_button(d.other_casts_shadow, s->other_casts_shadow);
    fm_set_button(d.beep_on_error, s->beep_on_error);
    fm_set_button(d.show_wind_vector, s->show_wind_vector);
    fm_set_button(d.autokey_fcurves, s->autokey_fcurves);
    fm_set_button(d.dir_bend_random_mode, s->dir_bend_random_mode);
    fm_set_button(d.redraw_allways, s->redraw_auto && s->redraw_always);
    fm_set_button(d.redraw_auto, s->redraw_auto && !s->redraw_always);
    fm_set_button(d.redraw_never, !s->redraw_auto);
    fm_set_button(d.use_opengl, s->use_opengl);
    fm_set_button(d.use_irisgl, !s->use_opengl);
    fm_unfreeze_form(d.form);
}

// Every control of the window writes its field of the record.
void display_settings_callback(FmObject *obj, long) {
    DisplaySettings *s = display_settings();
    if (!s) return;
    DisplayWindowObjects &d = designer_windows().display;
    const std::array<FmObject *, 6> by_mode = {d.show_hidden, d.show_wire, d.show_shade,
                                              d.show_textured, d.show_zbuffer, d.show_matte};
    for (size_t i = 0; i < by_mode.size(); ++i)
        if (obj == by_mode[i]) s->other_display_mode = short(i);
    if (obj == d.draw_lines || obj == d.draw_polygons || obj == d.render_polygons2)
        s->draw_style = fm_get_button(d.draw_lines) ? kDrawLines
                        : fm_get_button(d.draw_polygons) ? kDrawPolygons
                                                         : kRenderPolygons2;
    if (obj == d.background_red) s->background_color = with_component(s->background_color, 0, fm_get_slider_value(obj));
    if (obj == d.background_green) s->background_color = with_component(s->background_color, 8, fm_get_slider_value(obj));
    if (obj == d.background_blue) s->background_color = with_component(s->background_color, 16, fm_get_slider_value(obj));
    if (obj == d.matte_red) s->other_color = with_component(s->other_color, 0, fm_get_slider_value(obj));
    if (obj == d.matte_green) s->other_color = with_component(s->other_color, 8, fm_get_slider_value(obj));
    if (obj == d.matte_blue) s->other_color = with_component(s->other_color, 16, fm_get_slider_value(obj));
    set_sample(d.background_sample, kSampleColor, s->background_color);
    set_sample(d.matte_sample, kMatteSampleColor, s->other_color);
    if (obj == d.background_image) s->background_image_name = fm_get_input(obj);
    if (obj == d.use_image) s->use_background_image = fm_get_button(obj);
    for (size_t i = 0; i < d.antialias.size(); ++i)
        if (obj == d.antialias[i]) s->antialias_level = int(i);
    if (obj == d.light_exposure && pair_values_valid()) s->light_exposure = pair_get(obj);
    if (obj == d.shadow_umbra && pair_values_valid()) s->shadow_umbra_scale = pair_get(obj);
    if (obj == d.other_casts_shadow) s->other_casts_shadow = fm_get_button(obj);
    if (obj == d.beep_on_error) s->beep_on_error = fm_get_button(obj);
    if (obj == d.show_wind_vector) s->show_wind_vector = fm_get_button(obj);
    if (obj == d.autokey_fcurves) s->autokey_fcurves = fm_get_button(obj);
    if (obj == d.dir_bend_random_mode) s->dir_bend_random_mode = fm_get_button(obj);
    if (obj == d.redraw_allways) { s->redraw_auto = 1; s->redraw_always = 1; }
    if (obj == d.redraw_auto) { s->redraw_auto = 1; s->redraw_always = 0; }
    if (obj == d.redraw_never) { s->redraw_auto = 0; s->redraw_always = 0; }
    if (obj == d.use_opengl) s->use_opengl = 1;
    if (obj == d.use_irisgl) s->use_opengl = 0;
    redraw_graphics_view();
}

}  // namespace vellimor
