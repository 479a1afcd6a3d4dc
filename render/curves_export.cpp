#include "render/curves_export.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>

#include "furdata/display_settings.h"
#include "furdata/patch_data.h"
#include "host/scene.h"
#include "render/draw.h"

namespace vellimor {
namespace {

constexpr int kCurveAxes = 3;

float unit_clamped(float value) { return std::isfinite(value) ? std::clamp(value, 0.0f, 1.0f) : 0.0f; }

void add_hair(const HairStrand &strand, const std::vector<HairExportPoint> &exported, SurfaceCurves &out) {
    const int count = strand.segments + 1;
    out.vertex_counts.push_back(count);
    for (int i = 0; i < count; ++i) {
        const HairPoint &point = strand.points[i];
        const HairExportPoint &e = exported[size_t(i)];
        out.points.insert(out.points.end(), point.position, point.position + kCurveAxes);
        out.widths.push_back(2.0f * std::fabs(e.thickness));
        for (int k = 0; k < 3; ++k) out.colors.push_back(unit_clamped(e.diffuse[k]));
        out.opacities.push_back(unit_clamped(e.diffuse[3]));
    }
}

// Shortest text that reads back as the same float.
void put_number(std::string &out, float value) {
    if (!std::isfinite(value)) value = 0.0f;
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    out.append(text, result.ptr);
}

void put_number(std::string &out, int value) { out += std::to_string(value); }

// "[a, b, c]" of single values.
template <typename T>
void put_list(std::string &out, const std::vector<T> &values) {
    out += '[';
    for (size_t i = 0; i < values.size(); ++i) {
        if (i) out += ", ";
        put_number(out, values[i]);
    }
    out += ']';
}

// "[(x, y, z), ...]" of triples.
void put_triples(std::string &out, const std::vector<float> &values) {
    out += '[';
    for (size_t i = 0; i + 2 < values.size(); i += 3) {
        if (i) out += ", ";
        out += '(';
        put_number(out, values[i]);
        out += ", ";
        put_number(out, values[i + 1]);
        out += ", ";
        put_number(out, values[i + 2]);
        out += ')';
    }
    out += ']';
}

// The box around every point grown by its half width, as USD extents are.
std::vector<float> extent_of(const SurfaceCurves &c) {
    if (c.point_count() == 0) return std::vector<float>(6, 0.0f);
    std::array<float, 3> low, high;
    low.fill(std::numeric_limits<float>::max());
    high.fill(std::numeric_limits<float>::lowest());
    for (size_t i = 0; i < c.point_count(); ++i) {
        const float radius = c.widths[i] / 2.0f;
        for (int k = 0; k < 3; ++k) {
            low[size_t(k)] = std::min(low[size_t(k)], c.points[i * 3 + size_t(k)] - radius);
            high[size_t(k)] = std::max(high[size_t(k)], c.points[i * 3 + size_t(k)] + radius);
        }
    }
    return {low[0], low[1], low[2], high[0], high[1], high[2]};
}

std::string quoted(const std::string &text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        if (c == '\n') {
            out += "\\n";
            continue;
        }
        out += c;
    }
    return out + "\"";
}

void put_u32(std::string &out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out += char((v >> (8 * i)) & 0xFF);
}
void put_f32(std::string &out, float v) { put_u32(out, std::bit_cast<uint32_t>(v)); }

uint8_t color_byte(float unit) { return uint8_t(std::lround(unit_clamped(unit) * 255.0f)); }

}  // namespace

FrameCurves curves_of_drawing(const HairDrawing &drawing, int frame) {
    FrameCurves out;
    out.frame = frame;
    const SceneState &s = scene_state();
    const DisplaySettings *settings = display_settings();
    if (!settings) return out;
    size_t index = 0;  // the strand array runs on across surfaces, as hair geometry fills it
    for (int p = 0; p < s.patch_count() && p < int(s.patches.size()); ++p) {
        const PatchData *record = s.patches[size_t(p)].get();
        if (!record || !surface_takes_part(*record, kDrawExport)) continue;
        SurfaceCurves &curves = out.surfaces.emplace_back();
        curves.surface = record->name;
        const int drawn = surface_drawn_count(*record, kDrawExport, *settings);
        for (int k = 0; k < drawn && index < drawing.strands.size(); ++k, ++index) {
            const HairStrand &strand = drawing.strands[index];
            if (strand.segments < 1 || !strand.points || index >= drawing.exports.size() ||
                drawing.exports[index].size() < size_t(strand.segments) + 1)
                continue;
            add_hair(strand, drawing.exports[index], curves);
        }
    }
    return out;
}

std::string usd_identifier(const std::string &name) {
    std::string id;
    for (char c : name) id += (std::isalnum(static_cast<unsigned char>(c)) || c == '_') ? c : '_';
    if (id.empty() || std::isdigit(static_cast<unsigned char>(id[0]))) id.insert(id.begin(), '_');
    return id;
}

UsdCurvesLayer::UsdCurvesLayer(std::string scene_name, double frames_per_second)
    : scene_name_(std::move(scene_name)), frames_per_second_(frames_per_second > 0 ? frames_per_second : 24.0) {}

UsdCurvesLayer::Prim &UsdCurvesLayer::prim_of(const std::string &surface) {
    for (Prim &prim : prims_)
        if (prim.surface == surface) return prim;
    std::string name = usd_identifier(surface);
    const std::string base = name;
    for (int n = 2; std::any_of(prims_.begin(), prims_.end(), [&](const Prim &p) { return p.name == name; }); ++n)
        name = base + "_" + std::to_string(n);
    Prim &prim = prims_.emplace_back();
    prim.surface = surface;
    prim.name = name;
    return prim;
}

void UsdCurvesLayer::Attribute::add(int frame, std::string value) {
    if (!samples.empty() && *samples.back().second == value) {
        samples.emplace_back(frame, samples.back().second);
        return;
    }
    varies = varies || !samples.empty();
    samples.emplace_back(frame, std::make_shared<const std::string>(std::move(value)));
}

// The default value when every frame has the same, else one time sample per frame; a primvar's
// values are one per vertex.
std::string UsdCurvesLayer::attribute_text(const char *declaration, const Attribute &attribute, bool per_vertex) const {
    const std::string indent = "        ";
    const std::string metadata = per_vertex ? " (\n" + indent + "    interpolation = \"vertex\"\n" + indent + ")" : "";
    if (!attribute.varies && attribute.samples.size() == frames_.size() && !attribute.samples.empty())
        return indent + declaration + " = " + *attribute.samples.front().second + metadata + "\n";
    std::string out = per_vertex ? indent + declaration + metadata + "\n" : "";
    out += indent + declaration + ".timeSamples = {\n";
    for (const auto &[frame, value] : attribute.samples) out += indent + "    " + std::to_string(frame) + ": " + *value + ",\n";
    return out + indent + "}\n";
}

void UsdCurvesLayer::add_frame(const FrameCurves &frame) {
    frames_.push_back(frame.frame);
    for (const SurfaceCurves &c : frame.surfaces) {
        Prim &prim = prim_of(c.surface);
        // One time sample of an attribute: its values written by `put` into one text.
        const auto sample = [&](Attribute &attribute, const auto &put, const auto &values) {
            std::string value;
            put(value, values);
            attribute.add(frame.frame, std::move(value));
        };
        const auto list = [](std::string &out, const auto &values) { put_list(out, values); };
        const auto triples = [](std::string &out, const auto &values) { put_triples(out, values); };
        sample(prim.counts, list, c.vertex_counts);
        sample(prim.points, triples, c.points);
        sample(prim.widths, list, c.widths);
        sample(prim.colors, triples, c.colors);
        sample(prim.opacities, list, c.opacities);
        sample(prim.extent, triples, extent_of(c));
    }
}

std::string UsdCurvesLayer::text() const {
    const std::string root = usd_identifier(scene_name_);
    const int first = frames_.empty() ? 0 : *std::min_element(frames_.begin(), frames_.end());
    const int last = frames_.empty() ? 0 : *std::max_element(frames_.begin(), frames_.end());
    char rate[32];
    std::snprintf(rate, sizeof rate, "%g", frames_per_second_);
    std::string out = "#usda 1.0\n(\n";
    out += "    doc = " + quoted("Hairs of scene " + scene_name_ + " as curves, written by Vellimor") + "\n";
    out += "    defaultPrim = \"" + root + "\"\n";
    out += "    startTimeCode = " + std::to_string(first) + "\n";
    out += "    endTimeCode = " + std::to_string(last) + "\n";
    out += std::string("    timeCodesPerSecond = ") + rate + "\n";
    out += std::string("    framesPerSecond = ") + rate + "\n";
    out += "    upAxis = \"Y\"\n)\n\n";
    out += "def Xform \"" + root + "\"\n{\n";
    for (const Prim &prim : prims_) {
        out += "    def BasisCurves \"" + prim.name + "\" (\n";
        out += "        customData = {\n            string surface = " + quoted(prim.surface) + "\n        }\n";
        out += "    )\n    {\n";
        out += "        uniform token type = \"linear\"\n";
        out += "        uniform token wrap = \"nonperiodic\"\n";
        out += attribute_text("int[] curveVertexCounts", prim.counts, false);
        out += attribute_text("point3f[] points", prim.points, false);
        out += attribute_text("float3[] extent", prim.extent, false);
        out += attribute_text("float[] widths", prim.widths, true);
        out += attribute_text("color3f[] primvars:displayColor", prim.colors, true);
        out += attribute_text("float[] primvars:displayOpacity", prim.opacities, true);
        out += "    }\n";
    }
    out += "}\n";
    return out;
}

std::string curves_ply_bytes(const FrameCurves &frame, const std::string &scene_name) {
    size_t vertices = 0, edges = 0;
    for (const SurfaceCurves &c : frame.surfaces) {
        vertices += c.point_count();
        for (int count : c.vertex_counts) edges += size_t(count - 1);
    }
    std::string out = "ply\nformat binary_little_endian 1.0\n";
    out += "comment Vellimor hairs of scene " + scene_name + " at frame " + std::to_string(frame.frame) +
           ": one chain of edges per hair\n";
    out += "element vertex " + std::to_string(vertices) + "\n";
    for (const char *p : {"x", "y", "z", "thickness"}) out += std::string("property float ") + p + "\n";
    for (const char *p : {"red", "green", "blue", "alpha"}) out += std::string("property uchar ") + p + "\n";
    out += "element edge " + std::to_string(edges) + "\n";
    out += "property int vertex1\nproperty int vertex2\nend_header\n";
    out.reserve(out.size() + vertices * 20 + edges * 8);
    for (const SurfaceCurves &c : frame.surfaces) {
        for (size_t i = 0; i < c.point_count(); ++i) {
            for (int k = 0; k < 3; ++k) put_f32(out, c.points[i * 3 + size_t(k)]);
            put_f32(out, c.widths[i] / 2.0f);
            for (int k = 0; k < 3; ++k) out += char(color_byte(c.colors[i * 3 + size_t(k)]));
            out += char(color_byte(c.opacities[i]));
        }
    }
    uint32_t first = 0;  // index of the current hair's root among all vertices of the file
    for (const SurfaceCurves &c : frame.surfaces) {
        for (int count : c.vertex_counts) {
            for (int i = 0; i + 1 < count; ++i) {
                put_u32(out, first + uint32_t(i));
                put_u32(out, first + uint32_t(i) + 1);
            }
            first += uint32_t(count);
        }
    }
    return out;
}

}  // namespace vellimor
