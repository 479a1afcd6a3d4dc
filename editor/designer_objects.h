// The designer's process-wide state and the objects of its windows. Every editor file reaches the
// controls through these records; the windows are built once by create_windows and reused by
// every later start of the designer.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "forms/object.h"

namespace vellimor {

constexpr int kColorTypeCount = 4;   // diffuse, ambient, specular, thickness
constexpr int kChannelRows = 8;      // rows of the channel column
constexpr int kGroupButtons = 6;     // "G1" .. "G6"
constexpr int kMessageLines = 6;     // lines of the main window's message area

// Navigation gestures of the graphics view (camera_mode).
enum CameraMode {
    kCameraIdle = 0,
    kCameraOrbit = 1,
    kCameraPan = 2,
    kCameraDollySlow = 3,    // P + left
    kCameraDolly = 4,        // P + middle
    kCameraDollyFast = 5,    // P + right
    kCameraZoomIn = 6,
    kCameraZoomOut = 7,
    kCameraOrbitVertical = 8,
    kCameraOrbitHorizontal = 9,
    kCameraFrameChanged = 10,  // set by frame changes; not a gesture
};

// Editor state that lives while the designer runs. current_patch itself is kept in the scene
// tables (scene_state().current_patch), where the scene reader resets it.
struct EditorState {
    int quit = 0;
    int gui_up = 0;
    int double_buffer = 1;
    int camera_mode = kCameraIdle;
    float last_mouse_x = 0.0f;
    float last_mouse_y = 0.0f;
    std::array<int, kColorTypeCount> current_color_key{};  // per colour type
    int current_color_type = 0;  // 0 diffuse .. 3 thickness
    int current_channel = 1;     // channel index of the channel column (1: length)
    std::vector<int> line_patch;  // object browser line i (from 1) shows patch line_patch[i]
    bool graphics_initialised = false;
    bool last_message_from_drawing = false;  // the message area's last line is a drawing's progress
    bool show_render_settings_only = false;  // stand-alone "-b" without names: settings only
};
EditorState &editor_state();

// Main window ("Vellimor", 1280 x 1024 design units). Objects are named after their labels.
struct MainWindowObjects {
    FmForm *form = nullptr;

    // Object browser and its buttons.
    FmObject *browser = nullptr;
    FmObject *all = nullptr, *none = nullptr, *inv = nullptr, *del = nullptr;
    std::array<FmObject *, kGroupButtons> group{};  // "G1" .. "G6"
    FmObject *load_object = nullptr;  // "I"
    FmObject *save_object = nullptr;  // "O"

    // Messages and progress.
    FmObject *message_area = nullptr;    // six-line list
    FmObject *message_button = nullptr;  // "M", a hidden button over the message area
    FmObject *progress = nullptr;

    // Current frame.
    FmObject *frame_slider = nullptr;
    FmObject *frame_field = nullptr;
    FmObject *frame_prev = nullptr;  // "@<"
    FmObject *frame_next = nullptr;  // "@>"

    // Render and preview buttons.
    FmObject *render_sel = nullptr, *render_all = nullptr;
    FmObject *preview_all = nullptr, *preview_sel = nullptr;
    FmObject *rebuild_hairs = nullptr;
    FmObject *persistent = nullptr;

    // Window buttons.
    FmObject *file = nullptr, *render = nullptr, *display = nullptr, *help = nullptr;
    FmObject *selected = nullptr, *dynamic = nullptr, *fcurve = nullptr, *exit = nullptr;

    // Slider panel: value slider and field, random slider and field per channel.
    FmObject *number_of_hairs = nullptr, *number_of_hairs_field = nullptr;
    FmObject *preview_quality = nullptr, *preview_quality_field = nullptr;
    FmObject *preview_quality_down = nullptr, *preview_quality_up = nullptr;
    FmObject *length = nullptr, *length_field = nullptr;
    FmObject *length_random = nullptr, *length_random_field = nullptr;
    FmObject *wave = nullptr, *wave_field = nullptr;
    FmObject *wave_random = nullptr, *wave_random_field = nullptr;
    FmObject *gravity = nullptr, *gravity_field = nullptr;
    FmObject *gravity_random = nullptr, *gravity_random_field = nullptr;
    FmObject *density = nullptr, *density_field = nullptr;
    FmObject *density_random = nullptr, *density_random_field = nullptr;
    FmObject *segments = nullptr, *segments_field = nullptr;  // "# of segments"
    FmObject *segments_random = nullptr, *segments_random_field = nullptr;
    FmObject *segments_down = nullptr, *segments_up = nullptr;
    FmObject *direction = nullptr;  // positioner "Direction uv" / "Bend uv"
    FmObject *direction_random = nullptr, *direction_random_field = nullptr;  // "R"
    FmObject *direction_fields_mode = nullptr;  // "M": numeric fields instead of the positioner
    FmObject *edit_dir = nullptr, *edit_bend = nullptr;  // "Dir", "Bend"
    FmObject *direction_fields_begin = nullptr;  // group of the numeric direction/bend fields
    FmObject *dir_u_field = nullptr, *dir_v_field = nullptr;
    FmObject *bend_u_field = nullptr, *bend_v_field = nullptr;
    FmObject *direction_fields_end = nullptr;

    // Colour panel.
    FmObject *diffuse = nullptr, *ambient = nullptr, *specular = nullptr, *thickness = nullptr;
    FmObject *color_sliders_begin = nullptr;  // group: R, G, B, H, L, S, A with their fields
    FmObject *red = nullptr, *red_field = nullptr;
    FmObject *green = nullptr, *green_field = nullptr;
    FmObject *blue = nullptr, *blue_field = nullptr;
    FmObject *hue = nullptr, *hue_field = nullptr;
    FmObject *lightness = nullptr, *lightness_field = nullptr;
    FmObject *saturation = nullptr, *saturation_field = nullptr;
    FmObject *alpha = nullptr, *alpha_field = nullptr;
    FmObject *color_sliders_end = nullptr;
    FmObject *thickness_slider = nullptr, *thickness_field = nullptr;  // "T"
    FmObject *color_picture = nullptr;        // the selected main key takes a picture
    FmObject *color_interpolation = nullptr;  // choice of the interpolation method
    FmObject *copy_color = nullptr, *paste_color = nullptr;

    // Channel column, rows top to bottom: Color, Length, Wave, Direction, Bend, Segment,
    // Gravity, Density (channel index of each row: kChannelOfRow).
    std::array<FmObject *, kChannelRows> channel{};  // the row's radio button
    std::array<FmObject *, kChannelRows> channel_add{};      // "A"
    std::array<FmObject *, kChannelRows> channel_texture{};  // "T"
    std::array<FmObject *, kChannelRows> channel_key{};      // "K"
    std::array<FmObject *, kChannelRows> channel_show{};     // "S"
    FmObject *map_resolution = nullptr, *map_resolution_field = nullptr;
    FmObject *interp = nullptr;
    FmObject *tile_u = nullptr, *tile_v = nullptr, *flip_u = nullptr, *flip_v = nullptr;
    FmObject *copy_object = nullptr, *paste_object = nullptr;

    // Drawing areas (free objects).
    FmObject *graphics = nullptr;
    FmObject *keymap_area = nullptr;
    FmObject *color_area = nullptr;

    // Hidden timers.
    FmObject *backup_timer = nullptr;
    FmObject *help_timer = nullptr;
};

// Channel index (0 colour, 1 length, 2 curl, 3 grow, 4 segments, 5 gravity, 6 bend, 7 density)
// of each row of the channel column.
constexpr std::array<int, kChannelRows> kChannelOfRow = {0, 1, 2, 3, 6, 4, 5, 7};

// "Display settings".
struct DisplayWindowObjects {
    FmForm *form = nullptr;
    FmObject *show_wire = nullptr, *show_shade = nullptr, *show_textured = nullptr;
    FmObject *show_zbuffer = nullptr, *show_hidden = nullptr, *show_matte = nullptr;
    FmObject *draw_lines = nullptr, *draw_polygons = nullptr, *render_polygons2 = nullptr;
    FmObject *background_red = nullptr, *background_green = nullptr, *background_blue = nullptr;
    FmObject *background_sample = nullptr;
    FmObject *matte_red = nullptr, *matte_green = nullptr, *matte_blue = nullptr;
    FmObject *matte_sample = nullptr;
    FmObject *background_image = nullptr;  // input field
    FmObject *background_browser = nullptr;  // "Browser"
    FmObject *use_image = nullptr;
    std::array<FmObject *, 8> antialias{};  // "0", "2", "3", "4", "8", "15", "24", "66"
    FmObject *light_exposure = nullptr, *light_exposure_field = nullptr;
    FmObject *shadow_umbra = nullptr, *shadow_umbra_field = nullptr;
    FmObject *other_casts_shadow = nullptr;
    FmObject *beep_on_error = nullptr;
    FmObject *show_wind_vector = nullptr;
    FmObject *autokey_fcurves = nullptr;
    FmObject *dir_bend_random_mode = nullptr;
    FmObject *redraw_allways = nullptr, *redraw_auto = nullptr, *redraw_never = nullptr;
    FmObject *use_irisgl = nullptr, *use_opengl = nullptr;
    FmObject *close = nullptr;
    FmObject *help_timer = nullptr;
};

// "Help text".
struct HelpWindowObjects {
    FmForm *form = nullptr;
    FmObject *text = nullptr;  // the list the help text is laid out in
    FmObject *close = nullptr;
    FmObject *help_timer = nullptr;
};

// "Status text".
struct StatusWindowObjects {
    FmForm *form = nullptr;
    FmObject *text = nullptr;
    FmObject *normal = nullptr, *more = nullptr, *debug = nullptr;
    FmObject *close = nullptr;
    FmObject *help_timer = nullptr;
};

// "Selected Patches settings".
struct SelectedWindowObjects {
    FmForm *form = nullptr;
    FmObject *allways_draw_hairs = nullptr;
    FmObject *mode_wire = nullptr, *mode_shade = nullptr, *mode_textured = nullptr;
    FmObject *mode_hidden = nullptr, *mode_zbuffer = nullptr, *mode_matte = nullptr;
    FmObject *subdivisions_u = nullptr, *subdivisions_v = nullptr;
    FmObject *shading = nullptr, *hilights = nullptr, *hilight_size = nullptr, *hilight_intensity = nullptr;
    FmObject *shadow_resolution = nullptr, *shadow_levels = nullptr;
    FmObject *ray_traced_shadows = nullptr;
    FmObject *exact = nullptr, *smooth = nullptr;
    FmObject *close = nullptr;
    FmObject *help_timer = nullptr;
};

// One wind row of the dynamic patches window: on/off toggle, sliders, "R" (reset) button.
struct WindRowObjects {
    FmObject *on = nullptr;
    std::array<FmObject *, 3> slider{};  // used as the row needs: 1 value, U and V, R G B, value and random
    FmObject *reset = nullptr;
};

enum WindRow { kWindColor, kWindLength, kWindWave, kWindDir, kWindBend, kWindGravity, kWindAccel, kWindVelocity, kWindRows };

// "Dynamic Patches settings".
struct DynamicWindowObjects {
    FmForm *form = nullptr;
    FmObject *velocity = nullptr, *velocity_scale = nullptr;
    FmObject *acceleration = nullptr, *acceleration_scale = nullptr;
    FmObject *smooth_velocity = nullptr, *smooth_velocity_count = nullptr;
    FmObject *smooth_acceleration = nullptr, *smooth_acceleration_count = nullptr;
    std::array<WindRowObjects, kWindRows> wind{};
    FmObject *frequency_scale = nullptr, *speed_scale = nullptr;
    FmObject *move_with_geometry = nullptr;
    FmObject *close = nullptr;
    FmObject *help_timer = nullptr;
};

struct DesignerWindows {
    MainWindowObjects main;
    DisplayWindowObjects display;
    HelpWindowObjects help;
    StatusWindowObjects status;
    SelectedWindowObjects selected;
    DynamicWindowObjects dynamic;
    bool created = false;
};
DesignerWindows &designer_windows();

// Codes of the window dispatcher behind the window buttons.
enum WindowCode {
    kWindowFile = 1,       // scene menu "Save settings" (modal)
    kWindowRender = 2,     // "Render settings" (modal)
    kWindowDisplay = 3,    // toggles
    kWindowHelp = 4,       // toggles
    kWindowSelected = 5,   // toggles
    kWindowDynamic = 6,    // toggles
    kWindowFCurve = 7,     // toggles
    kWindowStatus = 8,     // the "M" button: shown and reloaded
};

// Builds every window once (later calls reuse them), in the order main, display settings, render
// settings, help, status text, selected patches, dynamic patches, function curve editor, texture
// file selector, scene menu.
void create_windows();
// Shows (or, for toggling windows, hides) the window of `code`.
void show_window(int code);
// Hook for windows built by other parts of the editor: called by create_windows in order.
using WindowCreateFn = void (*)();
using WindowShowFn = bool (*)(int code);  // true when it handled the code

// Selection.
// Applies the browser's selection to the fur records and the host; redraws the views when set.
void selection_sync(int redraw);
// Number of selected patches; the first `max` indices go to `out`. Warns "No objects selected" /
// "More than one object is selected" when asked to.
int count_selected(int warn_none, int warn_many, int *out, int max);
// Refills the object browser from the patch table (keeps each patch's selection).
void browser_fill();

// Redraws.
// The graphics view with the fur of the selected patches (draw mode 0, or 2 with "Never").
void redraw_graphics_view();
// The graphics view in the given draw mode at once (render and preview buttons).
void draw_graphics_view(int mode);
void redraw_keymap();
void redraw_color_area();
// The graphics, KeyMap and colour views, and the curve area when the curve editor is shown.
void redraw_views();
// Hooks the curve editor sets: the redraw of its curve area and the refill of its curve list
// (called by redraw_views and selection_sync while they are set).
using RedrawHook = void (*)();
RedrawHook &redraw_curve_area_hook();
RedrawHook &fcurve_list_refresh_hook();
// Refills the curve editor's list (when it is shown): after the selection, the current channel,
// colour type or colour key changed.
void refresh_curve_list();
// Sets the frame controls from scene_state().current_frame.
void frame_controls_update();
// The main window's controls from the current patch and the display settings (fetch, load).
void designer_refresh_controls();

// Slider-field pairs. Range modes: 0 one-sided, 1 symmetric about 0, 2 fixed.
enum PairRangeMode { kPairOneSided = 0, kPairSymmetric = 1, kPairFixed = 2 };
void pair_register(FmObject *slider, FmObject *field);
void pair_set_mode(FmObject *slider, int mode);
void pair_set_decimals(FmObject *slider, int decimals);
float pair_get(FmObject *slider);
void pair_set(FmObject *slider, float value);
// False while a right-button rescaling of a slider is under way; the callbacks that change fur
// data do nothing then. The next pair_get sets it again.
bool pair_values_valid();
// The upper bound after a right-button rescaling: the value `before` the drag lands where the
// knob was released (`knob`) on the range [lo, hi]; limited to 0.005 .. 4 * hi.
float pair_rescaled_bound(float before, float lo, float hi, float knob, int mode);
// The text a pair's field shows for a value (decimals adapted to its size).
std::string pair_format(float value, int decimals);
// The number typed into a field, or nothing when its text is no number: the message area then
// says so and the caller shows the value the field had (a field never sets 0 for a typo).
std::optional<float> field_number(FmObject *field);
// The message for text a field refused; the toolkit's number fields report through it too.
void report_refused_input(FmObject *field, const char *text);

// Hover help.
void help_fill();
void help_timer_callback(FmObject *timer, long);
void help_show(const char *text);
// The help text of an object, or nullptr.
const char *help_text(const FmObject *obj);
void help_set(const FmObject *obj, const char *text);
// Lays a help text out in lines of fewer than 56 characters.
std::vector<std::string> help_wrap(const char *text);

}  // namespace vellimor
