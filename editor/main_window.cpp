// The main window's layout in the 1280 x 1024 design: the graphics view fills the top, the controls
// sit in the band below it (origin lower left, like every form).
#include "editor/designer_callbacks.h"
#include "editor/designer_objects.h"
#include "editor/window_layout.h"
#include "forms/forms.h"
#include "render/draw.h"

namespace vellimor {
namespace {

constexpr float kRow = 20.0f;  // height of one control row

void add_browser_column(MainWindowObjects &m) {
    m.browser = fm_add_browser(FM_MULTI_BROWSER, 2, 96, 174, 158, "");
    fm_set_call_back(m.browser, browser_callback, 0);
    m.all = layout_button(FM_NORMAL_BUTTON, 2, 74, 43, kRow, "All", select_all_callback, 0);
    m.none = layout_button(FM_NORMAL_BUTTON, 46, 74, 43, kRow, "None", select_none_callback, 0);
    m.inv = layout_button(FM_NORMAL_BUTTON, 90, 74, 43, kRow, "Inv", select_invert_callback, 0);
    m.del = layout_button(FM_NORMAL_BUTTON, 134, 74, 42, kRow, "Del", delete_callback, 0);
    static const char *const kGroupLabels[kGroupButtons] = {"G1", "G2", "G3", "G4", "G5", "G6"};
    for (int g = 0; g < kGroupButtons; ++g)
        m.group[size_t(g)] = layout_button(FM_NORMAL_BUTTON, 2 + 29.0f * float(g), 52, 28, kRow,
                                           kGroupLabels[g], group_callback, g);
    m.load_object = layout_button(FM_NORMAL_BUTTON, 2, 30, 28, kRow, "I", nullptr, 0);
    m.save_object = layout_button(FM_NORMAL_BUTTON, 31, 30, 28, kRow, "O", nullptr, 0);
    m.persistent = layout_button(FM_TOGGLE_BUTTON, 60, 30, 116, kRow, "Persistent", persistent_callback, 0);
}

// A channel's value slider with its field and its random slider with its field, in one row.
void add_value_row(float y, const char *label, FmObject *&value, FmObject *&value_field,
                   FmObject *&random, FmObject *&random_field) {
    value = layout_slider(252, y, 110, kRow - 2, label);
    value_field = layout_field(364, y, 40, kRow - 2);
    pair_register(value, value_field);
    // The random field is wide enough for "0.060" at the design size.
    random = layout_slider(406, y, 22, kRow - 2, "");
    random_field = layout_field(430, y, 40, kRow - 2);
    pair_register(random, random_field);
}

void add_slider_panel(MainWindowObjects &m) {
    float y = 234;
    m.number_of_hairs = layout_slider(252, y, 152, kRow - 2, "Number of hairs");
    m.number_of_hairs_field = layout_field(406, y, 64, kRow - 2);
    pair_register(m.number_of_hairs, m.number_of_hairs_field);
    fm_set_call_back(m.number_of_hairs, number_of_hairs_callback, 0);
    y -= kRow;
    m.preview_quality = layout_slider(252, y, 130, kRow - 2, "Preview quality");
    m.preview_quality_down = layout_button(FM_NORMAL_BUTTON, 384, y, 20, kRow - 2, "@<",
                                           preview_quality_step_callback, -1);
    m.preview_quality_up = layout_button(FM_NORMAL_BUTTON, 406, y, 20, kRow - 2, "@>",
                                         preview_quality_step_callback, 1);
    m.preview_quality_field = layout_field(428, y, 42, kRow - 2);
    pair_register(m.preview_quality, m.preview_quality_field);
    fm_set_call_back(m.preview_quality, preview_quality_callback, 0);
    y -= kRow;
    add_value_row(y, "Length", m.length, m.length_field, m.length_random, m.length_random_field);
    y -= kRow;
    add_value_row(y, "Wave", m.wave, m.wave_field, m.wave_random, m.wave_random_field);
    y -= kRow;
    add_value_row(y, "Gravity", m.gravity, m.gravity_field, m.gravity_random, m.gravity_random_field);
    y -= kRow;
    add_value_row(y, "Density", m.density, m.density_field, m.density_random, m.density_random_field);
    y -= kRow;
    add_value_row(y, "# of segments", m.segments, m.segments_field, m.segments_random,
                  m.segments_random_field);
    m.segments->w = 70;
    m.segments_down = layout_button(FM_NORMAL_BUTTON, 324, y, 19, kRow - 2, "@<", segments_step_callback, -1);
    m.segments_up = layout_button(FM_NORMAL_BUTTON, 344, y, 19, kRow - 2, "@>", segments_step_callback, 1);

    // Direction and bend: the positioner (or numeric fields) with its random slider.
    m.direction = fm_add_positioner(0, 184, 30, 80, 80, "Direction uv");
    fm_set_object_align(m.direction, FM_ALIGN_RIGHT);
    fm_set_object_lsize(m.direction, 9);
    fm_set_positioner_xbounds(m.direction, -1, 1);
    fm_set_positioner_ybounds(m.direction, -1, 1);
    m.direction_random = layout_slider(336, 30, 18, 68, "R", FM_VERT_SLIDER);
    fm_set_object_align(m.direction_random, FM_ALIGN_TOP);
    m.direction_random_field = layout_field(358, 30, 40, kRow - 2);
    pair_register(m.direction_random, m.direction_random_field);
    m.direction_fields_mode = layout_button(FM_TOGGLE_BUTTON, 358, 92, 40, kRow - 2, "M", nullptr, 0);
    fm_bgn_group();
    m.edit_dir = layout_button(FM_RADIO_BUTTON, 358, 72, 40, kRow - 2, "Dir", nullptr, 0);
    m.edit_bend = layout_button(FM_RADIO_BUTTON, 358, 52, 40, kRow - 2, "Bend", nullptr, 0);
    fm_end_group();
    fm_set_button(m.edit_dir, 1);
    m.direction_fields_begin = fm_bgn_group();
    m.dir_u_field = layout_field(432, 90, 38, kRow - 2, "Dir U");
    m.dir_v_field = layout_field(432, 70, 38, kRow - 2, "V");
    m.bend_u_field = layout_field(432, 50, 38, kRow - 2, "Bend U");
    m.bend_v_field = layout_field(432, 30, 38, kRow - 2, "V");
    m.direction_fields_end = fm_end_group();
}

// A colour slider with its field; the label sits left of the slider.
void add_color_slider(float y, const char *label, FmObject *&slider, FmObject *&field) {
    slider = layout_slider(490, y, 170, kRow - 4, label);
    fm_set_slider_bounds(slider, 0, 1);
    field = layout_field(664, y, 52, kRow - 4);
    pair_register(slider, field);
    pair_set_mode(slider, kPairFixed);
}

void add_color_panel(MainWindowObjects &m) {
    fm_bgn_group();
    m.diffuse = layout_button(FM_RADIO_BUTTON, 476, 234, 60, kRow, "Diffuse", nullptr, 0);
    m.ambient = layout_button(FM_RADIO_BUTTON, 536, 234, 60, kRow, "Ambient", nullptr, 1);
    m.specular = layout_button(FM_RADIO_BUTTON, 596, 234, 60, kRow, "Specular", nullptr, 2);
    m.thickness = layout_button(FM_RADIO_BUTTON, 656, 234, 60, kRow, "Thickness", nullptr, 3);
    fm_end_group();
    fm_set_button(m.diffuse, 1);
    m.color_sliders_begin = fm_bgn_group();
    float y = 212;
    add_color_slider(y, "R", m.red, m.red_field);
    add_color_slider(y -= 18, "G", m.green, m.green_field);
    add_color_slider(y -= 18, "B", m.blue, m.blue_field);
    add_color_slider(y -= 18, "H", m.hue, m.hue_field);
    add_color_slider(y -= 18, "L", m.lightness, m.lightness_field);
    add_color_slider(y -= 18, "S", m.saturation, m.saturation_field);
    add_color_slider(y -= 18, "A", m.alpha, m.alpha_field);
    m.color_sliders_end = fm_end_group();
    m.thickness_slider = layout_slider(490, 212, 170, kRow - 4, "T");
    fm_set_slider_bounds(m.thickness_slider, 0, 0.1f);
    m.thickness_field = layout_field(664, 212, 52, kRow - 4);
    pair_register(m.thickness_slider, m.thickness_field);
    pair_set_mode(m.thickness_slider, kPairOneSided);
    m.color_picture = layout_button(FM_TOGGLE_BUTTON, 476, 74, 80, kRow, "Picture", nullptr, 0);
    m.color_interpolation = fm_add_choice(0, 560, 74, 156, kRow, "");
    for (const char *entry : {"Linear", "Smooth", "Spline"}) fm_addto_choice(m.color_interpolation, entry);
    fm_set_choice(m.color_interpolation, 3);
    m.copy_color = layout_button(FM_NORMAL_BUTTON, 476, 52, 118, kRow, "Copy color", nullptr, 0);
    m.paste_color = layout_button(FM_NORMAL_BUTTON, 598, 52, 118, kRow, "Paste color", nullptr, 0);
}

void add_channel_column(MainWindowObjects &m) {
    static const char *const kRowLabels[kChannelRows] = {"Color", "Length", "Wave", "Direction",
                                                         "Bend", "Segment", "Gravity", "Density"};
    constexpr float kRowH = 17.0f;
    fm_bgn_group();
    for (int r = 0; r < kChannelRows; ++r) {
        const float y = 237 - kRowH * float(r);
        const auto i = size_t(r);
        m.channel[i] = layout_button(FM_RADIO_BUTTON, 1000, y, 80, kRowH - 1, kRowLabels[r], nullptr,
                                     kChannelOfRow[i]);
        m.channel_add[i] = layout_button(FM_TOGGLE_BUTTON, 1082, y, 22, kRowH - 1, "A", nullptr, kChannelOfRow[i]);
        m.channel_texture[i] = layout_button(FM_TOGGLE_BUTTON, 1106, y, 22, kRowH - 1, "T", nullptr, kChannelOfRow[i]);
        m.channel_key[i] = layout_button(FM_TOGGLE_BUTTON, 1130, y, 22, kRowH - 1, "K", nullptr, kChannelOfRow[i]);
        m.channel_show[i] = layout_button(FM_TOGGLE_BUTTON, 1154, y, 22, kRowH - 1, "S", nullptr, kChannelOfRow[i]);
    }
    fm_end_group();
    fm_set_button(m.channel[1], 1);
    fm_set_button(m.channel_add[1], 1);

    m.map_resolution_field = layout_field(1182, 234, 40, kRow - 2, "");
    m.map_resolution = layout_slider(1224, 234, 54, kRow - 2, "");
    fm_set_slider_bounds(m.map_resolution, 1, 200);
    pair_register(m.map_resolution, m.map_resolution_field);
    pair_set_decimals(m.map_resolution, 0);
    m.interp = layout_button(FM_TOGGLE_BUTTON, 1182, 212, 96, kRow, "Interp", nullptr, 0);
    m.tile_u = layout_button(FM_TOGGLE_BUTTON, 1182, 190, 47, kRow, "Tile U", nullptr, 0);
    m.tile_v = layout_button(FM_TOGGLE_BUTTON, 1231, 190, 47, kRow, "Tile V", nullptr, 0);
    m.flip_u = layout_button(FM_NORMAL_BUTTON, 1182, 168, 47, kRow, "Flip U", nullptr, 0);
    m.flip_v = layout_button(FM_NORMAL_BUTTON, 1231, 168, 47, kRow, "Flip V", nullptr, 0);
    m.copy_object = layout_button(FM_NORMAL_BUTTON, 1182, 146, 96, kRow, "Copy object", nullptr, 0);
    m.paste_object = layout_button(FM_NORMAL_BUTTON, 1182, 124, 96, kRow, "Paste object", nullptr, 0);
}

void add_message_area(MainWindowObjects &m) {
    m.message_area = fm_add_browser(FM_NORMAL_BROWSER, 1000, 28, 278, 88, "");
    fm_set_browser_fontsize(m.message_area, 8);
    // "M" covers the area: a click anywhere on the messages opens the status text window.
    m.message_button = fm_add_button(FM_HIDDEN_BUTTON, 1000, 28, 278, 88, "M");
    fm_set_call_back(m.message_button, message_button_callback, 0);
}

void add_bottom_row(MainWindowObjects &m) {
    constexpr float y = 3, h = 22;
    m.frame_slider = layout_slider(2, y, 218, h, "", FM_HOR_SLIDER);
    fm_set_slider_bounds(m.frame_slider, 0, 1);
    fm_set_call_back(m.frame_slider, frame_slider_callback, 0);
    m.frame_prev = layout_button(FM_NORMAL_BUTTON, 222, y, 22, h, "@<", frame_arrow_callback, -1);
    m.frame_next = layout_button(FM_NORMAL_BUTTON, 246, y, 22, h, "@>", frame_arrow_callback, 1);
    m.frame_field = layout_field(270, y, 50, h);
    fm_set_call_back(m.frame_field, frame_field_callback, 0);
    m.progress = fm_add_slider(FM_HOR_FILL_SLIDER, 324, y, 146, h, "");
    fm_set_slider_bounds(m.progress, 0, 1);
    fm_set_slider_value(m.progress, 0);
    fm_deactivate_object(m.progress);
    m.preview_all = layout_button(FM_NORMAL_BUTTON, 474, y, 72, h, "Preview all", draw_button_callback,
                                  kDrawPreviewAll);
    m.preview_sel = layout_button(FM_NORMAL_BUTTON, 474, y, 72, h, "Preview sel", draw_button_callback,
                                  kDrawPreviewSelected);
    m.render_sel = layout_button(FM_NORMAL_BUTTON, 548, y, 72, h, "Render sel", draw_button_callback,
                                 kDrawRenderSelected);
    m.render_all = layout_button(FM_NORMAL_BUTTON, 622, y, 72, h, "Render all", draw_button_callback,
                                 kDrawRenderAll);
    m.rebuild_hairs = layout_button(FM_NORMAL_BUTTON, 696, y, 92, h, "Rebuild Hairs", rebuild_hairs_callback, 0);
    struct WindowButton {
        const char *label;
        FmObject *MainWindowObjects::*slot;
        int code;
    };
    static const WindowButton kWindowButtons[] = {
        {"File", &MainWindowObjects::file, kWindowFile},
        {"Render", &MainWindowObjects::render, kWindowRender},
        {"Display", &MainWindowObjects::display, kWindowDisplay},
        {"Help", &MainWindowObjects::help, kWindowHelp},
        {"Selected", &MainWindowObjects::selected, kWindowSelected},
        {"Dynamic", &MainWindowObjects::dynamic, kWindowDynamic},
        {"FCurve", &MainWindowObjects::fcurve, kWindowFCurve},
    };
    float x = 792;
    for (const WindowButton &b : kWindowButtons) {
        m.*b.slot = layout_button(FM_NORMAL_BUTTON, x, y, 60, h, b.label, window_button_callback, b.code);
        x += 61;
    }
    m.exit = layout_button(FM_NORMAL_BUTTON, x, y, 1278 - x, h, "Exit", exit_callback, 0);
}

}  // namespace

void create_main_window() {
    MainWindowObjects &m = designer_windows().main;
    m.form = fm_bgn_form(FM_UP_BOX, kDesignWidth, kDesignHeight);
    add_browser_column(m);
    add_slider_panel(m);
    add_color_panel(m);
    add_channel_column(m);
    add_message_area(m);
    add_bottom_row(m);
    // The drawing areas: KeyMap and colour areas belong to their editors, which attach their
    // handlers; until then they show an empty grey area.
    m.graphics = fm_add_free(FM_INPUT_FREE, 0, 257, 1280, 767, "", graphics_view_handle);
    m.keymap_area = fm_add_free(FM_INPUT_FREE, 768, 28, 228, 228, "", grey_area_handle);
    m.color_area = fm_add_free(FM_INPUT_FREE, 720, 28, 44, 226, "", grey_area_handle);
    m.backup_timer = fm_add_timer(FM_HIDDEN_TIMER, 0, 0, 1, 1, "");
    fm_set_call_back(m.backup_timer, backup_timer_callback, 0);
    m.help_timer = fm_add_timer(FM_HIDDEN_TIMER, 0, 0, 1, 1, "");
    fm_set_call_back(m.help_timer, help_timer_callback, 0);
    fm_end_form();
}

}  // namespace vellimor
