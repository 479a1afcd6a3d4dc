// The help texts of the designer's controls.
#include <array>
#include <cstdio>
#include <string>

#include "editor/designer_callbacks.h"
#include "editor/designer_objects.h"

namespace vellimor {
namespace {

void set(const FmObject *obj, const char *text) { help_set(obj, text); }

void fill_slider_panel(const MainWindowObjects &m) {
    set(m.number_of_hairs, "This slider sets the number of hairs per square unit of the selected objects. The hairs are "
                           "built again when you release it.");
    set(m.number_of_hairs_field, "Type the number of hairs per square unit of the selected objects here.");
    set(m.preview_quality, "This slider sets the preview quality. If it is at 0.05, only 5% of the hairs are "
                           "displayed, while designing the fur. The arrows steps 1% at the time.");
    set(m.preview_quality_field, "The preview quality as a number from 0 to 1. Type a new value and press Return.");
    set(m.preview_quality_down, "Lowers the preview quality by 1%.");
    set(m.preview_quality_up, "Raises the preview quality by 1%.");
    set(m.length, "This slider sets the length of the hairs at the selected texture keys. Drag it with the right "
                  "mouse button to change its range.");
    set(m.length_field, "The length of the hairs at the selected texture keys.");
    set(m.length_random, "This slider sets how much the length varies from hair to hair.");
    set(m.length_random_field, "The random amount of the length.");
    set(m.wave, "This slider sets how much the hairs wave (curl) at the selected texture keys.");
    set(m.wave_field, "The wave of the hairs at the selected texture keys.");
    set(m.wave_random, "This slider sets how much the wave varies from hair to hair.");
    set(m.wave_random_field, "The random amount of the wave.");
    set(m.gravity, "This slider sets the weight of the hairs at the selected texture keys. Negative values make "
                   "the hairs rise.");
    set(m.gravity_field, "The gravity of the hairs at the selected texture keys.");
    set(m.gravity_random, "This slider sets how much the gravity varies from hair to hair.");
    set(m.gravity_random_field, "The random amount of the gravity.");
    set(m.density, "This slider sets the density of the hairs at the selected texture keys. At 1 every hair "
                   "grows, at 0 none.");
    set(m.density_field, "The density of the hairs at the selected texture keys.");
    set(m.density_random, "This slider sets how much the density varies over the surface.");
    set(m.density_random_field, "The random amount of the density.");
    set(m.segments, "This slider sets the number of segments of each hair at the selected texture keys. More "
                    "segments give smoother hairs but take longer to draw.");
    set(m.segments_field, "The number of segments of the hairs at the selected texture keys.");
    set(m.segments_random, "This slider sets how much the number of segments varies from hair to hair.");
    set(m.segments_random_field, "The random amount of the number of segments.");
    set(m.segments_down, "One segment less.");
    set(m.segments_up, "One segment more.");
    set(m.direction, "Drag the cross to set the growing direction (or the bend, when Bend is chosen) of the hairs "
                     "at the selected texture keys, in the u and v directions of the surface.");
    set(m.direction_random, "This slider sets how much the direction and bend vary from hair to hair.");
    set(m.direction_random_field, "The random amount of the direction and bend.");
    set(m.direction_fields_mode, "Switches between the positioner and numeric fields for direction and bend.");
    set(m.edit_dir, "The positioner sets the growing direction of the hairs.");
    set(m.edit_bend, "The positioner sets the bend of the hairs.");
    set(m.dir_u_field, "The growing direction in u.");
    set(m.dir_v_field, "The growing direction in v.");
    set(m.bend_u_field, "The bend in u.");
    set(m.bend_v_field, "The bend in v.");
}

void fill_color_panel(const MainWindowObjects &m) {
    set(m.diffuse, "Edit the diffuse colour of the hairs: the colour they have in the light.");
    set(m.ambient, "Edit the ambient colour of the hairs: the colour they have in the shadow.");
    set(m.specular, "Edit the specular colour of the hairs: the colour of their hilights.");
    set(m.thickness, "Edit the thickness of the hairs from the root to the tip.");
    const char *rgb = "This slider sets the %s of the selected colour key. The HLS sliders follow.";
    auto colour = [&](const FmObject *obj, const char *what) {
        char text[160];
        std::snprintf(text, sizeof text, rgb, what);
        set(obj, text);
    };
    colour(m.red, "red component");
    colour(m.green, "green component");
    colour(m.blue, "blue component");
    set(m.hue, "This slider sets the hue of the selected colour key. The RGB sliders follow.");
    set(m.lightness, "This slider sets the lightness of the selected colour key. The RGB sliders follow.");
    set(m.saturation, "This slider sets the saturation of the selected colour key. The RGB sliders follow.");
    set(m.alpha, "This slider sets the opacity of the hairs at the selected colour key. At 0 the hairs are "
                 "invisible there.");
    for (const FmObject *field : {m.red_field, m.green_field, m.blue_field, m.hue_field, m.lightness_field,
                                  m.saturation_field, m.alpha_field})
        set(field, "The value of the slider beside it. Type a new value and press Return.");
    set(m.thickness_slider, "This slider sets the thickness of the hairs at the selected colour key.");
    set(m.thickness_field, "The thickness of the hairs at the selected colour key.");
    set(m.color_picture, "Takes the colour of the selected colour key from a picture: pressed on, it asks for the "
                         "picture file, as the T button of the Color row does; pressed off, the key's colour "
                         "comes from its keys again.");
    set(m.color_interpolation, "Chooses how the colour changes between the colour keys along the hair.");
    set(m.copy_color, "Copies the colour keys of the selected texture key. Ctrl-C does the same.");
    set(m.paste_color, "Pastes the copied colour keys into the selected texture keys. Ctrl-V does the same.");
    set(m.color_area, "This is the colour area. It shows the colour along the hair, root at the bottom. Click to "
                      "add or select a colour key, drag to move it, middle-click to delete it.");
}

void fill_channel_column(const MainWindowObjects &m) {
    static const std::array<const char *, kChannelRows> kNames = {"colour", "length", "wave", "direction",
                                                                 "bend", "segments", "gravity", "density"};
    for (int r = 0; r < kChannelRows; ++r) {
        const auto i = size_t(r);
        std::string name = kNames[i];
        set(m.channel[i], ("Shows the " + name + " keys and map in the KeyMap.").c_str());
        set(m.channel_add[i], ("When on, new keys added in the KeyMap carry the " + name + " channel.").c_str());
        set(m.channel_texture[i], ("Takes the " + name + " channel from a picture. Hold Shift to save the " + name +
                                   " map as a picture instead.").c_str());
        set(m.channel_key[i], ("Adds the " + name + " channel to the selected keys, or removes it.").c_str());
        set(m.channel_show[i], ("Shows the " + name + " keys in the KeyMap even when another channel is chosen.").c_str());
    }
    set(m.map_resolution, "This slider sets the resolution of the current channel's map.");
    set(m.map_resolution_field, "The resolution of the current channel's map.");
    set(m.interp, "Interpolates the current channel's map between its cells.");
    set(m.tile_u, "Makes the maps of the selected objects repeat in u.");
    set(m.tile_v, "Makes the maps of the selected objects repeat in v.");
    set(m.flip_u, "Mirrors the keys of the selected objects in u.");
    set(m.flip_v, "Mirrors the keys of the selected objects in v.");
    set(m.copy_object, "Copies the whole fur of the current object.");
    set(m.paste_object, "Pastes the copied fur onto every selected object.");
    set(m.keymap_area, "This is the KeyMap: the (u,v) map of the surface. Click to add a key, hold M to move keys, "
                       "R, B or V to shape them, T to box-select them, Z to pan and zoom, A to reset the view.");
}

void fill_main(const MainWindowObjects &m) {
    set(m.browser, "This is the object browser. It lists all the PATCH objects in the scene. Multiple objects can "
                   "be selected at a time, and all tagged keys on that object will be changed, when you drag a "
                   "slider. Shift-click an object to reset its fur.");
    set(m.all, "Selects all objects.");
    set(m.none, "Unselects all objects.");
    set(m.inv, "Inverts the selection: selected objects are unselected and the others selected.");
    set(m.del, "Removes the selected objects from the list; they get no fur. Hold Shift to bring every removed "
               "object back.");
    for (FmObject *g : m.group)
        set(g, "These are object groups. Pressing one of the groups while holding a shift key will create a group "
               "of the currently selected objects. Pressing it again without holding down the shift key will "
               "re-call that selection.");
    set(m.load_object, "Loads the fur settings of the selected object from a file.");
    set(m.save_object, "Saves the fur settings of the selected object to a file.");
    set(m.persistent, "Marks the selected objects to have their hairs rebuilt on every frame of the host.");
    set(m.message_button, "These are the last messages. Click to see all messages in the status window.");
    set(m.progress, "Shows how far a long task has come.");
    set(m.frame_slider, "This slider chooses the current frame within the scene's frame range.");
    set(m.frame_field, "The current frame. Type a frame number and press Return.");
    set(m.frame_prev, "Goes one frame back.");
    set(m.frame_next, "Goes one frame forward.");
    set(m.render_sel, "Renders the selected objects in the graphics view with all their hairs. Ctrl-S does the same.");
    set(m.render_all, "Renders all objects in the graphics view with all their hairs. Ctrl-A does the same.");
    set(m.preview_all, "Previews the fur of all objects. Ctrl-Z or Ctrl-D does the same.");
    set(m.preview_sel, "Previews the fur of the selected objects. Ctrl-X does the same.");
    set(m.rebuild_hairs, "Builds the hairs of the selected objects again.");
    set(m.file, "Opens the file menu: load and save scenes and hair models.");
    set(m.render, "Opens the render settings, to render a sequence of frames to files.");
    set(m.display, "Shows the display settings. Press the button again to hide them.");
    set(m.help, "This brings up the online help system. Press the button again to hide the help form");
    set(m.selected, "Shows the settings of the selected objects. Press the button again to hide them.");
    set(m.dynamic, "Shows the dynamics and wind settings of the selected objects. Press the button again to "
                   "hide them.");
    set(m.fcurve, "Shows the function curve editor. Press the button again to hide it.");
    set(m.exit, "This button Exits the program.");
    set(m.graphics, "This is the graphics view. Hold O, Z or P with a mouse button to orbit, pan or dolly the "
                    "camera. A fits the whole scene, F the selected object.");
}

}  // namespace

void help_fill_main() {
    const MainWindowObjects &m = designer_windows().main;
    fill_main(m);
    fill_slider_panel(m);
    fill_color_panel(m);
    fill_channel_column(m);
}

void help_fill_settings() {
    const DesignerWindows &w = designer_windows();
    const DisplayWindowObjects &d = w.display;
    const char *show_as = "Chooses how the scene's other objects are drawn.";
    for (const FmObject *b : {d.show_wire, d.show_shade, d.show_textured, d.show_zbuffer, d.show_hidden, d.show_matte})
        set(b, show_as);
    set(d.draw_lines, "Draws the hairs as lines: fast, for previews.");
    set(d.draw_polygons, "Draws the hairs as polygons with thickness and shading.");
    set(d.render_polygons2, "Draws the hairs as polygons in the second way.");
    for (const FmObject *s : {d.background_red, d.background_green, d.background_blue})
        set(s, "These sliders set the background colour.");
    set(d.background_sample, "The background colour.");
    for (const FmObject *s : {d.matte_red, d.matte_green, d.matte_blue})
        set(s, "These sliders set the colour of matte objects.");
    set(d.matte_sample, "The matte colour.");
    set(d.background_image, "The picture drawn behind the scene. Numbered files follow the frame.");
    set(d.background_browser, "Chooses the background picture with a file selector.");
    set(d.use_image, "Draws the background picture instead of the background colour.");
    for (const FmObject *b : d.antialias)
        set(b, "The number of antialiasing passes of a render. More passes give smoother pictures.");
    set(d.light_exposure, "This slider sets how strongly the lights shine on the hairs.");
    set(d.light_exposure_field, "The light exposure.");
    set(d.shadow_umbra, "This slider sets how soft the shadows of the fur are.");
    set(d.shadow_umbra_field, "The shadow umbra scale factor.");
    set(d.other_casts_shadow, "Lets the other objects of the scene cast shadows on the fur.");
    set(d.beep_on_error, "Beeps when an error or a warning is shown.");
    set(d.show_wind_vector, "Shows the wind's position and direction in the graphics view.");
    set(d.autokey_fcurves, "Adds a key to an animated value's function curve when you change it.");
    set(d.dir_bend_random_mode, "Chooses how the random amount changes direction and bend.");
    set(d.redraw_allways, "Draws the fur on every redraw, also while you move the camera.");
    set(d.redraw_auto, "Draws the fur on redraws, but not while you move the camera.");
    set(d.redraw_never, "Draws the scene without fur. A click in the graphics view draws the fur once.");
    set(d.use_opengl, "Draws the hairs as OpenGL quad strips.");
    set(d.use_irisgl, "Draws the hairs as separate quads, the older way.");
    set(d.close, "Hides the display settings.");

    const HelpWindowObjects &h = w.help;
    set(h.text, "This is the help text of the control under the pointer.");
    set(h.close, "Hides the help window.");

    const StatusWindowObjects &s = w.status;
    set(s.text, "These are the messages of this session, from the message file.");
    set(s.normal, "Shows the normal messages.");
    set(s.more, "Shows more messages.");
    set(s.debug, "Shows every message, also those meant for finding faults.");
    set(s.close, "Hides the status window.");

    const SelectedWindowObjects &p = w.selected;
    set(p.allways_draw_hairs, "Draws the hairs of the selected objects even when they are not selected.");
    for (const FmObject *b : {p.mode_wire, p.mode_shade, p.mode_textured, p.mode_hidden, p.mode_zbuffer, p.mode_matte})
        set(b, "Chooses how the selected objects themselves are drawn.");
    set(p.subdivisions_u, "The number of cells the selected objects are cut into in u. More cells spread the "
                          "hairs more evenly.");
    set(p.subdivisions_v, "The number of cells the selected objects are cut into in v.");
    set(p.shading, "This slider sets how much the hairs are shaded by the lights.");
    set(p.hilights, "This slider sets the strength of the hilights.");
    set(p.hilight_size, "This slider sets the size of the hilights.");
    set(p.hilight_intensity, "This slider sets the intensity of the hilights.");
    set(p.shadow_resolution, "The resolution of the shadow model of the selected objects.");
    set(p.shadow_levels, "The number of levels of the shadow model.");
    set(p.ray_traced_shadows, "Lets the fur of the selected objects cast shadows.");
    set(p.exact, "Computes the fur shadows exactly.");
    set(p.smooth, "Computes smooth fur shadows.");
    set(p.close, "Hides the selected objects' settings.");

    const DynamicWindowObjects &y = w.dynamic;
    set(y.velocity, "Lets the hairs lag behind when their object moves.");
    set(y.velocity_scale, "This slider sets how much the velocity bends the hairs.");
    set(y.acceleration, "Lets the hairs swing when their object speeds up or slows down.");
    set(y.acceleration_scale, "This slider sets how much the acceleration bends the hairs.");
    set(y.smooth_velocity, "Smooths the velocity over several frames.");
    set(y.smooth_velocity_count, "The number of frames the velocity is smoothed over.");
    set(y.smooth_acceleration, "Smooths the acceleration over several frames.");
    set(y.smooth_acceleration_count, "The number of frames the acceleration is smoothed over.");
    for (const WindRowObjects &row : y.wind) {
        set(row.on, "Lets the wind change this value of the hairs.");
        for (const FmObject *s : row.slider) set(s, "This slider sets how much the wind changes this value.");
        set(row.reset, "Sets this wind row back to zero.");
    }
    set(y.frequency_scale, "This slider sets how fast the wind changes.");
    set(y.speed_scale, "This slider sets how fast the wind moves.");
    set(y.move_with_geometry, "Lets the wind move with the object.");
    set(y.close, "Hides the dynamics settings.");
}

}  // namespace vellimor
