// The fur record: every fur setting of one surface, its texture keys painted in the KeyMap, its
// main colour keys along the hair, the picture references and the run-time buffers built from
// them (channel maps, cells, hair roots, dynamics).
//
// Field names and defaults are those of the stored layout (furdata/record_codec.h encodes and
// decodes it); the in-memory structures are plain C++ and own what they point to.
#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <vector>

namespace vellimor {

struct PicImage;  // a loaded picture (render/pic)

constexpr int kColorTypes = 4;      // diffuse, ambient, specular, thickness
constexpr int kMaxColorKeys = 20;   // main colour keys per colour type
constexpr int kRecordChannels = 7;  // length, curl, grow, bend, segments, gravity, density

// Colour types (index of the first dimension of the colour key arrays).
enum ColorType { kColorDiffuse = 0, kColorAmbient = 1, kColorSpecular = 2, kColorThickness = 3 };

// Channels in record order: the order of the per-channel arrays of the record.
enum RecordChannel {
    kRecordLength = 0,
    kRecordCurl = 1,
    kRecordGrow = 2,
    kRecordBend = 3,
    kRecordSegments = 4,
    kRecordGravity = 5,
    kRecordDensity = 6
};

// Channel indices as the designer, the map builder and channel_name number them.
enum ChannelIndex {
    kChannelColor = 0,
    kChannelLength = 1,
    kChannelCurl = 2,
    kChannelGrow = 3,
    kChannelSegments = 4,
    kChannelGravity = 5,
    kChannelBend = 6,
    kChannelDensity = 7
};

// Parameter groups: an `active` flag, float components and the id of the function curve that
// animates the group (0: not animated).
struct ValueGroup {
    int active = 0;
    float value = 0.0f;
    int fcurve_id = 0;
};

struct RandomValueGroup {
    int active = 0;
    float value = 0.0f;
    float random = 0.0f;
    int fcurve_id = 0;
};

// Two components; the spare float is kept only because the stored layout has it.
struct UVGroup {
    int active = 0;
    float valueU = 0.0f;
    float valueV = 0.0f;
    float spare = 0.0f;
    int fcurve_id = 0;
};

struct RandomUVGroup {
    int active = 0;
    float valueU = 0.0f;
    float valueV = 0.0f;
    float random = 0.0f;
    int fcurve_id = 0;
};

// The colour value of one main colour key inside one texture key (also the shape of the wind
// colour group, whose A is unused). For the thickness type only R is used.
struct ColorKey {
    int active = 0;  // not consulted: the texture key's color_active decides
    float R = 0.0f;
    float G = 0.0f;
    float B = 0.0f;
    float A = 0.0f;
    int fcurve_id = 0;
};

// Image sequence state of one picture.
struct PictureSequence {
    int use_sequence = 0;       // the picture is an image sequence
    int sequence_offset = 0;    // frame offset added to the current frame
    int error_handling = 0;
    int loaded_frame_nr = 0;    // frame of the picture now loaded
    int picture_was_found = 0;
};

struct Picture {
    std::string texture_filename;     // stored in 512 bytes: at most 511 characters are kept
    std::shared_ptr<PicImage> image;  // the loaded image, none when not loaded
    int tileu = 0;                    // tileu .. offv: stored and read back, no other use
    int tilev = 0;
    float offu = 0.0f;
    float offv = 0.0f;
};

// One position along the hair at which colour (or thickness) is given.
struct MainColorKey {
    float where = 0.0f;  // 0 root .. 1 tip
    int map_dirty = 1;
    // map_res x map_res cells, empty when none: packed colours, or for the thickness type the
    // bits of one float per cell (std::bit_cast)
    std::vector<std::uint32_t> color_map;
    int map_res = 50;
    short map_interp = 0;
    int this_key_uses_picture = 0;
    int picture_channels = 0;  // 1..4, of the picture chosen for the key
    float picture_scale = 0.0f;
    Picture picture;
    PictureSequence seq_cont;
};

// A key painted in the KeyMap. The keys of a patch form an ordered list (PatchData::texture_keys).
struct TextureKey {
    int selected = 1;
    float u = -1.0f;  // outside the KeyMap until placed
    float v = -1.0f;
    int visible = 0;
    int key_mode = 0;  // 0 point, 1 circle, 2 box, 3 rotated box
    float w = 0.0f;    // circle radius or box half width
    float h = 0.0f;    // box half height
    float ang = 0.6f;  // box rotation
    float x1 = 0.0f;   // x1, x2: stored and read back, no other use
    float x2 = 0.0f;
    int color_active[kColorTypes] = {1, 1, 1, 1};
    ColorKey color_keys[kColorTypes][kMaxColorKeys];  // [colour type][main colour key index]
    RandomValueGroup length{1, 0.5f, 0.0f, 0};
    RandomValueGroup curl{1, 0.0f, 0.0f, 0};
    RandomUVGroup grow{1, 0.0f, 0.0f, 0.0f, 0};
    RandomUVGroup bend{1, 0.0f, 0.0f, 0.0f, 0};
    RandomValueGroup segments{1, 5.0f, 0.0f, 0};
    RandomValueGroup gravity{1, 0.1f, 0.1f, 0};
    RandomValueGroup density{1, 1.0f, 0.0f, 0};
};

// Run-time records owned by the fur record; their contents belong to hair generation.
struct SubPatchCell {  // one cell of the sub-patch subdivision
    int hair_count = 0;
    float area = 0.0f;
};

struct HairRoot {
    float u_param = 0.0f;  // u in the host's parameter range
    float v_param = 0.0f;
    float u = 0.0f;  // 0..1, samples the channel maps
    float v = 0.0f;
    float position[3] = {};
    float normal[3] = {};
    float tangent_v[3] = {};
    float tangent_u[3] = {};
};

struct HairDynamics {  // one per root
    float velocity[3] = {};
    float acceleration[3] = {};
};

struct PatchData {
    PatchData() = default;
    PatchData(const PatchData &) = delete;
    PatchData &operator=(const PatchData &) = delete;

    int presistant_rebuild = 0;
    int last_built_frame = -1;
    int built_as_preview = 0;
    int deleted = 0;
    std::string name;  // the host model's name; stored in 90 bytes
    int dynamics_valid = 0;
    std::vector<HairDynamics> dynamics_state;
    ValueGroup velocity_scale{0, 1.0f, 0};
    ValueGroup acceleration_scale{0, 1.0f, 0};
    int calc_velocity_smooth = 0;
    int calc_acceleration_smooth = 0;
    int velocity_smooth = 1;
    int acceleration_smooth = 1;
    ColorKey wind_color;  // R, G, B; A is a spare
    ValueGroup wind_length;
    ValueGroup wind_curl;
    UVGroup wind_grow;
    UVGroup wind_bend;
    ValueGroup wind_gravity;
    RandomValueGroup wind_acceleration;
    RandomValueGroup wind_velocity;
    ValueGroup wind_frequency_scale{0, 1.0f, 0};
    ValueGroup wind_speed_scale{0, 0.0f, 0};
    ValueGroup wind_multiply_hair_speed;
    int wind_move_with_geometry = 0;
    int subdivision_dirty = 1;
    int sub_res_u = 10;
    int sub_res_v = 10;
    std::vector<SubPatchCell> cells;
    int reserved_344 = 1;  // set when the record is created or its keys are pasted; never read
    int number_of_hairs_pr_square_unit = 0;
    int hair_count = 0;
    std::vector<HairRoot> hairs;
    std::list<TextureKey> texture_keys;  // in KeyMap order; a new record has one default key
    int nbColorKeys[kColorTypes] = {2, 1, 1, 2};
    MainColorKey main_color_keys[kColorTypes][kMaxColorKeys];
    short group = 0;
    short max_number_of_segments = 5;
    int length_map_res = 50, curl_map_res = 50, grow_map_res = 50, bend_map_res = 50,
        segments_map_res = 50, gravity_map_res = 50, density_map_res = 50;
    int length_map_interp = 0, curl_map_interp = 0, grow_map_interp = 0, bend_map_interp = 0,
        segments_map_interp = 0, gravity_map_interp = 0, density_map_interp = 0;
    int surfacetype = 0;  // host model type: 1 patch surface, 10 NURBS surface
    float nbPointsU = 0.0f;
    float nbPointsV = 0.0f;
    short TileU = 0;
    short TileV = 0;
    int length_map_dirty = 1, curl_map_dirty = 1, grow_map_dirty = 1, bend_map_dirty = 1,
        segments_map_dirty = 1, gravity_map_dirty = 1, density_map_dirty = 1;
    int Original_shading_model = 0;  // stored and read back
    int Display_shading_model = 0;
    int object_matte_color = 0;  // packed: red in bits 0-7, green 8-15, blue 16-23

    // Channel pictures: sequence state, scale group and the picture (none when empty).
    PictureSequence length_sequence;
    ValueGroup length_picture_scale{0, 1.0f, 0};
    std::unique_ptr<Picture> length_picture;
    PictureSequence curl_sequence;
    ValueGroup curl_picture_scale{0, 1.0f, 0};
    std::unique_ptr<Picture> curl_picture;
    PictureSequence grow_sequence;
    UVGroup grow_picture_scale{0, 1.0f, 1.0f, 0.0f, 0};
    std::unique_ptr<Picture> grow_picture;
    PictureSequence bend_sequence;
    UVGroup bend_picture_scale{0, 1.0f, 1.0f, 0.0f, 0};
    std::unique_ptr<Picture> bend_picture;
    PictureSequence segments_sequence;
    ValueGroup segments_picture_scale{0, 1.0f, 0};
    std::unique_ptr<Picture> segments_picture;
    PictureSequence gravity_sequence;
    int reserved_gravity = 0;  // between the gravity sequence and its group in the stored layout
    ValueGroup gravity_picture_scale{0, 1.0f, 0};
    std::unique_ptr<Picture> gravity_picture;
    PictureSequence density_sequence;
    ValueGroup density_picture_scale{0, 1.0f, 0};
    std::unique_ptr<Picture> density_picture;

    int color_interpolation_method = 2;
    // Channel maps, res x res floats each (empty when not built).
    std::vector<float> length_map, curl_map, grow_map_u, grow_map_v, bend_map_u, bend_map_v,
        segments_map, gravity_map, density_map;
    int render_mode = 2000;  // values as DisplaySettings::draw_style
    int allways_draw_hairs = 0;
    int is_selected = 0;
    short shadow_subdivision = 2;
    short casts_shadow = 0;
    short shadow_exact = 0;  // non-zero: "Exact" shadow query, zero: "Smooth"
    short number_shadow_levels = 5;
    int Patch_display_mode = 2;
    int reserved_last = 0;
};

// The picture block of one channel, by record order, as references into the record.
struct ChannelPictureRef {
    PictureSequence &sequence;
    int &active;  // the picture scale group's active flag
    int &fcurve_id;
    std::unique_ptr<Picture> &picture;
};
ChannelPictureRef channel_picture(PatchData &record, RecordChannel channel);

// A new record with every default: one default texture key as the whole key list, the main
// colour key defaults and the colour-key defaults of that key for the four colour types, empty
// cells, hairs and dynamics. Name, surface type and extents are filled by the scene reader.
std::unique_ptr<PatchData> patch_new();
// A new texture key with every default (colour keys included), not in any list.
TextureKey texture_key_new();
// The default main colour keys of one colour type (also after all keys of a type are deleted).
void main_color_keys_default(PatchData &record, int type);
// The default colour keys of one colour type of a texture key.
void color_keys_default(TextureKey &key, int type);
// Frees patch i of the scene tables (keys, cells, hairs, pictures with their images, maps).
void patch_free(int i);
// "length", "wave", ..., the colour type's name for channel 0, "undefined" for other channels.
const char *channel_name(int channel, int color_type);

}  // namespace vellimor
