// The JSON scene file: strict reading (every field checked for type and range, every count
// checked against the data, so a hostile file gives an error naming the field) and writing in a
// compact, diff-friendly layout.
#include "saa/scene_file.h"

#include <algorithm>
#include <charconv>
#include <string_view>
#include <cmath>
#include <fstream>
#include <limits>
#include <sstream>

#include <nlohmann/json.hpp>

#include "saa/saa.h"
#include "saa/surfaces.h"

namespace vellimor::saa {

// Reading looks members up by name: a map keeps parsing linear in the number of members (an
// ordered object searches its members on every insertion). Writing keeps the member order.
using json = nlohmann::json;
using ordered_json = nlohmann::ordered_json;

namespace {

constexpr int kMaxResolution = 65536;
// Scene files nest five levels deep; deeper nesting is damage and is refused while parsing.
constexpr int kMaxNestingDepth = 32;
constexpr int kMaxFrame = 1000000000;

[[noreturn]] void bad(const std::string &path, const std::string &what) {
    throw SceneFileError(SAA_ERR_FORMAT, path + ": " + what);
}

const json &member(const json &object, const std::string &path, const char *key) {
    auto it = object.find(key);
    if (it == object.end()) bad(path, std::string("missing field \"") + key + "\"");
    return *it;
}

const json *optional_member(const json &object, const char *key) {
    auto it = object.find(key);
    return it == object.end() ? nullptr : &*it;
}

std::string child(const std::string &path, const char *key) { return path + "." + key; }
std::string item(const std::string &path, std::size_t index) {
    return path + "[" + std::to_string(index) + "]";
}

const json &object_at(const json &value, const std::string &path) {
    if (!value.is_object()) bad(path, "expected an object");
    return value;
}

const json &array_at(const json &value, const std::string &path) {
    if (!value.is_array()) bad(path, "expected an array");
    return value;
}

double number_at(const json &value, const std::string &path) {
    if (!value.is_number()) bad(path, "expected a number");
    double d = value.get<double>();
    if (!std::isfinite(d)) bad(path, "expected a finite number");
    return d;
}

double number_in(const json &value, const std::string &path, double lo, double hi) {
    double d = number_at(value, path);
    if (d < lo || d > hi) {
        std::ostringstream s;
        s << "value " << d << " outside " << lo << ".." << hi;
        bad(path, s.str());
    }
    return d;
}

long long integer_in(const json &value, const std::string &path, long long lo, long long hi) {
    if (!value.is_number_integer()) bad(path, "expected an integer");
    long long n;
    if (value.is_number_unsigned()) {
        auto u = value.get<unsigned long long>();
        if (u > static_cast<unsigned long long>(std::numeric_limits<long long>::max()))
            bad(path, "integer too large");
        n = static_cast<long long>(u);
    } else {
        n = value.get<long long>();
    }
    if (n < lo || n > hi)
        bad(path, "value " + std::to_string(n) + " outside " + std::to_string(lo) + ".." +
                      std::to_string(hi));
    return n;
}

int int_in(const json &value, const std::string &path, int lo, int hi) {
    return static_cast<int>(integer_in(value, path, lo, hi));
}

bool boolean_at(const json &value, const std::string &path) {
    if (!value.is_boolean()) bad(path, "expected true or false");
    return value.get<bool>();
}

std::string string_at(const json &value, const std::string &path) {
    if (!value.is_string()) bad(path, "expected a string");
    return value.get<std::string>();
}

template <std::size_t N>
std::array<double, N> numbers_at(const json &value, const std::string &path) {
    if (!value.is_array() || value.size() != N)
        bad(path, "expected an array of " + std::to_string(N) + " numbers");
    std::array<double, N> out{};
    for (std::size_t i = 0; i < N; ++i) out[i] = number_at(value[i], item(path, i));
    return out;
}

// Optional fields keep the value they already have.
void read_optional(const json &object, const std::string &path, const char *key, Vec3 &out) {
    if (auto *v = optional_member(object, key)) out = numbers_at<3>(*v, child(path, key));
}
void read_optional(const json &object, const std::string &path, const char *key, double &out,
                   double lo, double hi) {
    if (auto *v = optional_member(object, key)) out = number_in(*v, child(path, key), lo, hi);
}
void read_optional(const json &object, const std::string &path, const char *key, int &out, int lo,
                   int hi) {
    if (auto *v = optional_member(object, key)) out = int_in(*v, child(path, key), lo, hi);
}
void read_optional(const json &object, const std::string &path, const char *key, bool &out) {
    if (auto *v = optional_member(object, key)) out = boolean_at(*v, child(path, key));
}
void read_optional(const json &object, const std::string &path, const char *key, std::string &out) {
    if (auto *v = optional_member(object, key)) out = string_at(*v, child(path, key));
}

// ---- reading ----

PlayControl read_play_control(const json &value, const std::string &path) {
    object_at(value, path);
    PlayControl play;
    read_optional(value, path, "start", play.start, -kMaxFrame, kMaxFrame);
    read_optional(value, path, "end", play.end, -kMaxFrame, kMaxFrame);
    read_optional(value, path, "step", play.step, 1, kMaxFrame);
    read_optional(value, path, "frame_rate", play.frame_rate, 1e-3, 1e6);
    play.current = play.start;
    read_optional(value, path, "current", play.current, -kMaxFrame, kMaxFrame);
    return play;
}

Camera read_camera(const json &value, const std::string &path, const Scene &scene) {
    object_at(value, path);
    Camera camera = default_camera(scene);
    camera.name = string_at(member(value, path, "name"), child(path, "name"));
    read_optional(value, path, "position", camera.position);
    read_optional(value, path, "interest", camera.interest);
    read_optional(value, path, "fov", camera.fov, 1e-3, 179.0);
    read_optional(value, path, "near", camera.near_plane, 1e-9, 1e30);
    read_optional(value, path, "far", camera.far_plane, 1e-9, 1e30);
    read_optional(value, path, "aspect", camera.aspect, 1e-6, 1e6);
    if (camera.far_plane <= camera.near_plane) bad(path, "far must be beyond near");
    if (camera.position == camera.interest) bad(path, "position and interest coincide");
    return camera;
}

Light read_light(const json &value, const std::string &path) {
    object_at(value, path);
    Light light;
    light.name = string_at(member(value, path, "name"), child(path, "name"));
    read_optional(value, path, "position", light.position);
    read_optional(value, path, "color", light.color);
    read_optional(value, path, "shadow", light.shadow, -1e6, 1e6);
    read_optional(value, path, "shadow_type", light.shadow_type, 0, 1000);
    read_optional(value, path, "start", light.start, -1e30, 1e30);
    read_optional(value, path, "end", light.end, -1e30, 1e30);
    read_optional(value, path, "wire_type", light.wire_type, 0, 1000);
    return light;
}

Transform read_transform(const json &value, const std::string &path, const Transform &base) {
    object_at(value, path);
    Transform t = base;
    read_optional(value, path, "translation", t.translation);
    read_optional(value, path, "rotation", t.rotation);
    read_optional(value, path, "scaling", t.scaling);
    return t;
}

void read_animation(const json &value, const std::string &path, Model &model) {
    object_at(value, path);
    if (auto *mode = optional_member(value, "interpolation")) {
        std::string name = string_at(*mode, child(path, "interpolation"));
        if (name == "linear") model.interpolation = KeyInterpolation::linear;
        else if (name == "smooth") model.interpolation = KeyInterpolation::smooth;
        else bad(child(path, "interpolation"), "expected \"linear\" or \"smooth\"");
    }
    std::string keys_path = child(path, "keys");
    const json &keys = array_at(member(value, path, "keys"), keys_path);
    for (std::size_t i = 0; i < keys.size(); ++i) {
        std::string key_path = item(keys_path, i);
        const json &key = object_at(keys[i], key_path);
        TransformKey k;
        k.frame = number_in(member(key, key_path, "frame"), child(key_path, "frame"), -kMaxFrame,
                            kMaxFrame);
        k.value = read_transform(key, key_path, model.rest);
        model.keys.push_back(k);
    }
    std::stable_sort(model.keys.begin(), model.keys.end(),
                     [](const TransformKey &a, const TransformKey &b) { return a.frame < b.frame; });
}

PatchDirection read_patch_direction(const json &value, const std::string &path) {
    object_at(value, path);
    PatchDirection d;
    d.type = int_in(member(value, path, "type"), child(path, "type"), 0, 3);
    read_optional(value, path, "closed", d.closed);
    d.count = int_in(member(value, path, "count"), child(path, "count"), 1, kMaxSurfaceVertices);
    int least = patch_min_count(d.type, d.closed);
    if (d.count < least)
        bad(child(path, "count"), "patch type " + std::to_string(d.type) + " needs at least " +
                                      std::to_string(least) + " vertices");
    return d;
}

std::unique_ptr<PatchSurface> read_patch(const json &value, const std::string &path) {
    object_at(value, path);
    auto patch = std::make_unique<PatchSurface>();
    patch->u = read_patch_direction(member(value, path, "u"), child(path, "u"));
    patch->v = read_patch_direction(member(value, path, "v"), child(path, "v"));
    long long expected = static_cast<long long>(patch->u.count) * patch->v.count;
    std::string vpath = child(path, "vertices");
    const json &vertices = array_at(member(value, path, "vertices"), vpath);
    if (expected > kMaxSurfaceVertices || static_cast<long long>(vertices.size()) != expected)
        bad(vpath, "expected " + std::to_string(expected) + " vertices (u count × v count), found " +
                       std::to_string(vertices.size()));
    patch->vertices.reserve(vertices.size());
    for (std::size_t i = 0; i < vertices.size(); ++i)
        patch->vertices.push_back(numbers_at<3>(vertices[i], item(vpath, i)));
    return patch;
}

NurbsDirection read_nurbs_direction(const json &value, const std::string &path) {
    object_at(value, path);
    NurbsDirection d;
    d.degree = int_in(member(value, path, "degree"), child(path, "degree"), 1, kMaxNurbsDegree);
    read_optional(value, path, "closed", d.closed);
    std::string kpath = child(path, "knots");
    const json &knots = array_at(member(value, path, "knots"), kpath);
    if (knots.size() > static_cast<std::size_t>(kMaxSurfaceVertices)) bad(kpath, "too many knots");
    for (std::size_t i = 0; i < knots.size(); ++i) {
        double k = number_at(knots[i], item(kpath, i));
        if (i > 0 && k < d.knots.back()) bad(item(kpath, i), "knots must not decrease");
        d.knots.push_back(k);
    }
    d.count = static_cast<int>(d.knots.size()) - d.degree - 1;
    if (d.count < d.degree + 1)
        bad(kpath, "degree " + std::to_string(d.degree) + " needs at least " +
                       std::to_string(2 * d.degree + 2) + " knots");
    if (!(nurbs_domain_start(d) < nurbs_domain_end(d))) bad(kpath, "the knots span no parameter range");
    return d;
}

std::unique_ptr<NurbsSurface> read_nurbs(const json &value, const std::string &path) {
    object_at(value, path);
    auto nurbs = std::make_unique<NurbsSurface>();
    nurbs->u = read_nurbs_direction(member(value, path, "u"), child(path, "u"));
    nurbs->v = read_nurbs_direction(member(value, path, "v"), child(path, "v"));
    long long expected = static_cast<long long>(nurbs->u.count) * nurbs->v.count;
    std::string ppath = child(path, "points");
    const json &points = array_at(member(value, path, "points"), ppath);
    if (expected > kMaxSurfaceVertices || static_cast<long long>(points.size()) != expected)
        bad(ppath, "expected " + std::to_string(expected) +
                       " control points (knots minus degree minus 1 per direction), found " +
                       std::to_string(points.size()));
    nurbs->points.reserve(points.size());
    for (std::size_t i = 0; i < points.size(); ++i) {
        Vec4 p = numbers_at<4>(points[i], item(ppath, i));
        if (!(p[3] > 0)) bad(item(ppath, i), "weight must be positive");
        nurbs->points.push_back(p);
    }
    prepare_nurbs(*nurbs);
    return nurbs;
}

std::unique_ptr<Mesh> read_mesh(const json &value, const std::string &path) {
    object_at(value, path);
    auto mesh = std::make_unique<Mesh>();
    std::string vpath = child(path, "vertices");
    const json &vertices = array_at(member(value, path, "vertices"), vpath);
    if (vertices.size() > static_cast<std::size_t>(kMaxSurfaceVertices)) bad(vpath, "too many vertices");
    for (std::size_t i = 0; i < vertices.size(); ++i)
        mesh->positions.push_back(numbers_at<3>(vertices[i], item(vpath, i)));
    std::size_t n = mesh->positions.size();
    mesh->normals.assign(n, Vec3{0, 0, 0});
    mesh->colors.assign(n, Rgba{255, 255, 255, 255});
    if (auto *normals = optional_member(value, "normals")) {
        std::string npath = child(path, "normals");
        array_at(*normals, npath);
        if (normals->size() != n) bad(npath, "expected one normal per vertex");
        for (std::size_t i = 0; i < n; ++i) mesh->normals[i] = numbers_at<3>((*normals)[i], item(npath, i));
    }
    if (auto *colors = optional_member(value, "colors")) {
        std::string cpath = child(path, "colors");
        array_at(*colors, cpath);
        if (colors->size() != n) bad(cpath, "expected one colour per vertex");
        for (std::size_t i = 0; i < n; ++i) {
            std::string one = item(cpath, i);
            const json &c = (*colors)[i];
            if (!c.is_array() || c.size() != 4) bad(one, "expected [red, green, blue, alpha]");
            for (std::size_t k = 0; k < 4; ++k)
                mesh->colors[i][k] = static_cast<std::uint8_t>(int_in(c[k], item(one, k), 0, 255));
        }
    }
    std::string ppath = child(path, "polygons");
    const json &polygons = array_at(member(value, path, "polygons"), ppath);
    for (std::size_t p = 0; p < polygons.size(); ++p) {
        std::string one = item(ppath, p);
        const json &polygon = array_at(polygons[p], one);
        if (polygon.size() < 3) bad(one, "a polygon needs at least 3 vertices");
        if (mesh->indices.size() + polygon.size() > static_cast<std::size_t>(kMaxSurfaceVertices))
            bad(one, "too many polygon corners");
        mesh->starts.push_back(static_cast<int>(mesh->indices.size()));
        mesh->sizes.push_back(static_cast<int>(polygon.size()));
        for (std::size_t k = 0; k < polygon.size(); ++k)
            mesh->indices.push_back(int_in(polygon[k], item(one, k), 0, static_cast<int>(n) - 1));
    }
    return mesh;
}

void read_user_data(const json &value, const std::string &path, Model &model) {
    array_at(value, path);
    for (std::size_t i = 0; i < value.size(); ++i) {
        std::string one = item(path, i);
        const json &block = object_at(value[i], one);
        std::string name = string_at(member(block, one, "name"), child(one, "name"));
        if (name.empty()) bad(child(one, "name"), "empty name");
        if (model.user_data.count(name)) bad(child(one, "name"), "block \"" + name + "\" appears twice");
        std::string order = string_at(member(block, one, "byte_order"), child(one, "byte_order"));
        if (order != "little" && order != "big") bad(child(one, "byte_order"), "expected \"little\" or \"big\"");
        UserBlock data;
        data.big_endian = order == "big";
        try {
            data.bytes = base64_decode(string_at(member(block, one, "data"), child(one, "data")));
        } catch (const std::invalid_argument &e) {
            bad(child(one, "data"), e.what());
        }
        if (data.bytes.size() > static_cast<std::size_t>(std::numeric_limits<int>::max()))
            bad(child(one, "data"), "block too large");
        model.user_data.emplace(std::move(name), std::move(data));
    }
}

Model read_model(const json &value, const std::string &path) {
    object_at(value, path);
    Model model;
    model.name = string_at(member(value, path, "name"), child(path, "name"));
    model.type = int_in(member(value, path, "type"), child(path, "type"), 0, 1000);
    read_optional(value, path, "wire_type", model.wire_type, 0, 1000);
    if (auto *t = optional_member(value, "transform"))
        model.rest = read_transform(*t, child(path, "transform"), Transform{});
    if (auto *a = optional_member(value, "animation")) read_animation(*a, child(path, "animation"), model);

    const json *patch = optional_member(value, "patch");
    const json *nurbs = optional_member(value, "nurbs");
    const json *mesh = optional_member(value, "mesh");
    auto require_only = [&](const json *wanted, const char *key) {
        if (!wanted) bad(path, "a model of type " + std::to_string(model.type) + " needs \"" + key + "\"");
    };
    auto forbid = [&](const json *field, const char *key) {
        if (field)
            bad(child(path, key), "not allowed on a model of type " + std::to_string(model.type));
    };
    if (model.type == 1) require_only(patch, "patch"); else forbid(patch, "patch");
    if (model.type == 10) require_only(nurbs, "nurbs"); else forbid(nurbs, "nurbs");
    if (model.type == 2) require_only(mesh, "mesh"); else forbid(mesh, "mesh");
    if (patch) model.patch = read_patch(*patch, child(path, "patch"));
    if (nurbs) model.nurbs = read_nurbs(*nurbs, child(path, "nurbs"));
    if (mesh) model.mesh = read_mesh(*mesh, child(path, "mesh"));
    if (auto *u = optional_member(value, "user_data")) read_user_data(*u, child(path, "user_data"), model);
    return model;
}

Scene read_scene(const json &root) {
    const std::string path = "scene";
    object_at(root, path);
    long long version = integer_in(member(root, path, "version"), "version", 1, 1000000);
    if (version != kSceneFormatVersion)
        bad("version", "unsupported scene format version " + std::to_string(version) +
                           " (this host reads version " + std::to_string(kSceneFormatVersion) + ")");
    Scene scene = empty_scene();
    scene.cameras.clear();
    read_optional(root, path, "prefix", scene.prefix);
    if (auto *play = optional_member(root, "play_control")) scene.play = read_play_control(*play, "play_control");
    if (auto *render = optional_member(root, "render")) {
        object_at(*render, "render");
        read_optional(*render, "render", "x_resolution", scene.x_resolution, 1, kMaxResolution);
        read_optional(*render, "render", "y_resolution", scene.y_resolution, 1, kMaxResolution);
    }
    if (auto *cameras = optional_member(root, "cameras")) {
        array_at(*cameras, "cameras");
        for (std::size_t i = 0; i < cameras->size(); ++i)
            scene.cameras.push_back(read_camera((*cameras)[i], item("cameras", i), scene));
    }
    if (scene.cameras.empty()) scene.cameras.push_back(default_camera(scene));
    if (auto *lights = optional_member(root, "lights")) {
        array_at(*lights, "lights");
        for (std::size_t i = 0; i < lights->size(); ++i)
            scene.lights.push_back(read_light((*lights)[i], item("lights", i)));
    }
    if (auto *models = optional_member(root, "models")) {
        array_at(*models, "models");
        for (std::size_t i = 0; i < models->size(); ++i)
            scene.models.push_back(read_model((*models)[i], item("models", i)));
    }
    return scene;
}

// ---- writing ----
//
// Small members go through JSON values; geometry (vertex, point and polygon lists, which may hold
// millions of numbers) is streamed straight from the scene.

ordered_json vec_json(const Vec3 &v) { return ordered_json::array({v[0], v[1], v[2]}); }

ordered_json transform_json(const Transform &t) {
    return ordered_json{{"translation", vec_json(t.translation)},
                {"rotation", vec_json(t.rotation)},
                {"scaling", vec_json(t.scaling)}};
}

ordered_json patch_direction_json(const PatchDirection &d) {
    return ordered_json{{"type", d.type}, {"closed", d.closed}, {"count", d.count}};
}

ordered_json nurbs_direction_json(const NurbsDirection &d) {
    return ordered_json{{"degree", d.degree}, {"closed", d.closed}, {"knots", d.knots}};
}

// A model's members apart from its geometry lists.
ordered_json model_json(const Model &model) {
    ordered_json out{{"name", model.name}, {"type", model.type}, {"wire_type", model.wire_type},
             {"transform", transform_json(model.rest)}};
    if (!model.keys.empty()) {
        ordered_json keys = ordered_json::array();
        for (const TransformKey &k : model.keys) {
            ordered_json key = ordered_json{{"frame", k.frame}};
            key.update(transform_json(k.value));
            keys.push_back(key);
        }
        out["animation"] = ordered_json{
            {"interpolation", model.interpolation == KeyInterpolation::smooth ? "smooth" : "linear"},
            {"keys", keys}};
    }
    if (!model.user_data.empty()) {
        ordered_json blocks = ordered_json::array();
        for (const auto &[name, block] : model.user_data)
            blocks.push_back(ordered_json{{"name", name},
                                  {"byte_order", block.big_endian ? "big" : "little"},
                                  {"data", base64_encode(block.bytes)}});
        out["user_data"] = blocks;
    }
    return out;
}

ordered_json scene_header_json(const Scene &scene) {
    ordered_json cameras = ordered_json::array(), lights = ordered_json::array();
    for (const Camera &c : scene.cameras)
        cameras.push_back(ordered_json{{"name", c.name}, {"position", vec_json(c.position)},
                               {"interest", vec_json(c.interest)}, {"fov", c.fov},
                               {"near", c.near_plane}, {"far", c.far_plane}, {"aspect", c.aspect}});
    for (const Light &l : scene.lights)
        lights.push_back(ordered_json{{"name", l.name}, {"position", vec_json(l.position)},
                              {"color", vec_json(l.color)}, {"shadow", l.shadow},
                              {"shadow_type", l.shadow_type}, {"start", l.start}, {"end", l.end},
                              {"wire_type", l.wire_type}});
    return ordered_json{{"version", kSceneFormatVersion},
                {"prefix", scene.prefix},
                {"play_control", {{"start", scene.play.start}, {"end", scene.play.end},
                                  {"step", scene.play.step}, {"frame_rate", scene.play.frame_rate},
                                  {"current", scene.play.current}}},
                {"render", {{"x_resolution", scene.x_resolution}, {"y_resolution", scene.y_resolution}}},
                {"cameras", cameras},
                {"lights", lights}};
}

bool is_flat(const ordered_json &value) {
    return !value.is_structured() ||
           std::none_of(value.begin(), value.end(), [](const ordered_json &v) { return v.is_structured(); });
}

std::string pad(int indent) { return std::string(static_cast<std::size_t>(indent) * 2, ' '); }

// Writes the members of an object (without braces), each on its own line.
void write_members(std::ostream &out, const ordered_json &object, int indent, bool &first);

// Objects one member per line; arrays of scalars, and arrays of arrays of scalars one inner
// array per line, so that lists stay readable.
void write_json(std::ostream &out, const ordered_json &value, int indent) {
    if (value.is_object()) {
        if (value.empty()) { out << "{}"; return; }
        out << "{";
        bool first = true;
        write_members(out, value, indent + 1, first);
        out << "\n" << pad(indent) << "}";
    } else if (value.is_array() && !is_flat(value)) {
        out << "[\n";
        for (std::size_t i = 0; i < value.size(); ++i) {
            out << (i ? ",\n" : "") << pad(indent + 1);
            write_json(out, value[i], indent + 1);
        }
        out << "\n" << pad(indent) << "]";
    } else if (value.is_array()) {
        out << "[";
        for (std::size_t i = 0; i < value.size(); ++i) out << (i ? ", " : "") << value[i].dump();
        out << "]";
    } else {
        out << value.dump();
    }
}

void write_members(std::ostream &out, const ordered_json &object, int indent, bool &first) {
    for (auto it = object.begin(); it != object.end(); ++it) {
        out << (first ? "\n" : ",\n") << pad(indent) << ordered_json(it.key()).dump() << ": ";
        write_json(out, it.value(), indent);
        first = false;
    }
}

// Numbers as the shortest text that reads back to the same double; integral values keep a ".0"
// as JSON values of type double do.
void put_number(std::ostream &out, double value) {
    char text[32];
    auto result = std::to_chars(text, text + sizeof text, value);
    std::string_view written(text, static_cast<std::size_t>(result.ptr - text));
    out << written;
    if (written.find_first_of(".e") == std::string_view::npos) out << ".0";
}

// "key": [[a, b, c], ...] with one row per line, from rows of N numbers.
template <class Row, class Put>
void write_rows(std::ostream &out, const char *key, const std::vector<Row> &rows, int indent, bool &first, Put put) {
    out << (first ? "\n" : ",\n") << pad(indent) << "\"" << key << "\": [";
    first = false;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        out << (i ? ",\n" : "\n") << pad(indent + 1) << "[";
        for (std::size_t k = 0; k < rows[i].size(); ++k) {
            if (k) out << ", ";
            put(rows[i][k]);
        }
        out << "]";
    }
    out << (rows.empty() ? "]" : "\n" + pad(indent) + "]");
}

void write_geometry(std::ostream &out, const Model &model, int indent) {
    auto number = [&](double v) { put_number(out, v); };
    auto integer = [&](long v) { out << v; };
    if (model.patch) {
        out << ",\n" << pad(indent) << "\"patch\": {";
        bool first = true;
        write_members(out, ordered_json{{"u", patch_direction_json(model.patch->u)}, {"v", patch_direction_json(model.patch->v)}},
                      indent + 1, first);
        write_rows(out, "vertices", model.patch->vertices, indent + 1, first, number);
        out << "\n" << pad(indent) << "}";
    }
    if (model.nurbs) {
        out << ",\n" << pad(indent) << "\"nurbs\": {";
        bool first = true;
        write_members(out, ordered_json{{"u", nurbs_direction_json(model.nurbs->u)}, {"v", nurbs_direction_json(model.nurbs->v)}},
                      indent + 1, first);
        write_rows(out, "points", model.nurbs->points, indent + 1, first, number);
        out << "\n" << pad(indent) << "}";
    }
    if (model.mesh) {
        const Mesh &mesh = *model.mesh;
        std::vector<std::vector<int>> polygons(mesh.sizes.size());
        for (std::size_t p = 0; p < mesh.sizes.size(); ++p) {
            auto first = mesh.indices.begin() + mesh.starts[p];
            polygons[p].assign(first, first + mesh.sizes[p]);
        }
        out << ",\n" << pad(indent) << "\"mesh\": {";
        bool first = true;
        write_rows(out, "vertices", mesh.positions, indent + 1, first, number);
        write_rows(out, "normals", mesh.normals, indent + 1, first, number);
        write_rows(out, "colors", mesh.colors, indent + 1, first, integer);
        write_rows(out, "polygons", polygons, indent + 1, first, integer);
        out << "\n" << pad(indent) << "}";
    }
}

void write_scene(std::ostream &out, const Scene &scene) {
    out << "{";
    bool first = true;
    write_members(out, scene_header_json(scene), 1, first);
    out << ",\n" << pad(1) << "\"models\": [";
    bool first_model = true;
    for (const Model &m : scene.models) {
        if (!m.alive) continue;
        out << (first_model ? "\n" : ",\n") << pad(2) << "{";
        bool first_member = true;
        write_members(out, model_json(m), 3, first_member);
        write_geometry(out, m, 3);
        out << "\n" << pad(2) << "}";
        first_model = false;
    }
    out << (first_model ? "]" : "\n" + pad(1) + "]") << "\n}\n";
}

constexpr char kBase64Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

}  // namespace

Camera default_camera(const Scene &scene) {
    Camera camera;
    camera.name = "Camera";
    camera.aspect = static_cast<double>(scene.x_resolution) / scene.y_resolution;
    return camera;
}

Scene empty_scene() {
    Scene scene;
    scene.cameras.push_back(default_camera(scene));
    return scene;
}

std::string base64_encode(const std::vector<std::uint8_t> &bytes) {
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        std::uint32_t n = static_cast<std::uint32_t>(bytes[i]) << 16;
        if (i + 1 < bytes.size()) n |= static_cast<std::uint32_t>(bytes[i + 1]) << 8;
        if (i + 2 < bytes.size()) n |= bytes[i + 2];
        out += kBase64Alphabet[(n >> 18) & 63];
        out += kBase64Alphabet[(n >> 12) & 63];
        out += i + 1 < bytes.size() ? kBase64Alphabet[(n >> 6) & 63] : '=';
        out += i + 2 < bytes.size() ? kBase64Alphabet[n & 63] : '=';
    }
    return out;
}

std::vector<std::uint8_t> base64_decode(const std::string &text) {
    if (text.size() % 4 != 0) throw std::invalid_argument("base64 length is not a multiple of 4");
    auto value_of = [](char c) -> int {
        const char *at = std::char_traits<char>::find(kBase64Alphabet, 64, c);
        return at ? static_cast<int>(at - kBase64Alphabet) : -1;
    };
    std::vector<std::uint8_t> out;
    out.reserve(text.size() / 4 * 3);
    for (std::size_t i = 0; i < text.size(); i += 4) {
        bool last = i + 4 == text.size();
        int pad = (text[i + 3] == '=') + (text[i + 2] == '=');
        if (pad && !last) throw std::invalid_argument("base64 padding inside the data");
        if (text[i + 2] == '=' && text[i + 3] != '=') throw std::invalid_argument("bad base64 padding");
        std::uint32_t n = 0;
        for (int k = 0; k < 4; ++k) {
            int v = k >= 4 - pad ? 0 : value_of(text[i + static_cast<std::size_t>(k)]);
            if (v < 0) throw std::invalid_argument("invalid base64 character");
            n = (n << 6) | static_cast<std::uint32_t>(v);
        }
        out.push_back(static_cast<std::uint8_t>(n >> 16));
        if (pad < 2) out.push_back(static_cast<std::uint8_t>(n >> 8));
        if (pad < 1) out.push_back(static_cast<std::uint8_t>(n));
    }
    return out;
}

Scene parse_scene_text(const std::string &text) {
    json root;
    try {
        bool too_deep = false;
        const json::parser_callback_t limit_depth = [&too_deep](int depth, json::parse_event_t event,
                                                                json &) {
            if ((event == json::parse_event_t::object_start || event == json::parse_event_t::array_start) &&
                depth >= kMaxNestingDepth)
                too_deep = true;
            return !too_deep;
        };
        root = json::parse(text, limit_depth);
        if (too_deep)
            throw SceneFileError(SAA_ERR_FORMAT, "nested more than " + std::to_string(kMaxNestingDepth) +
                                                     " levels deep");
    } catch (const json::exception &e) {  // syntax errors, and numbers beyond double range
        throw SceneFileError(SAA_ERR_FORMAT, std::string("not valid JSON (") + e.what() + ")");
    }
    try {
        return read_scene(root);
    } catch (const json::exception &e) {
        throw SceneFileError(SAA_ERR_FORMAT, e.what());
    }
}

Scene read_scene_file(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw SceneFileError(SAA_ERR_NOT_FOUND, "no such scene file");
    in.seekg(0, std::ios::end);
    std::streamoff size = in.tellg();
    if (size < 0) throw SceneFileError(SAA_ERR_IO, "cannot read the file");
    if (size > kMaxSceneFileBytes) throw SceneFileError(SAA_ERR_FORMAT, "file too large");
    in.seekg(0);
    std::string text(static_cast<std::size_t>(size), '\0');
    if (!in.read(text.data(), size)) throw SceneFileError(SAA_ERR_IO, "cannot read the file");
    return parse_scene_text(text);
}

std::string scene_to_text(const Scene &scene) {
    std::ostringstream out;
    write_scene(out, scene);
    return out.str();
}

}  // namespace vellimor::saa
