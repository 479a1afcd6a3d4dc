// A small reader of the binary little-endian PLY files the programs write: hair meshes (vertex x y
// z nx ny nz thickness as floats and red green blue alpha as bytes, faces as index lists) and
// curves (vertex x y z thickness and colour, edges as vertex1 vertex2), so tests can check a saved
// model the way another tool would see it.
#pragma once

#include "support/test_prelude.h"

namespace vellimor::test {

struct PlyMesh {
    std::vector<std::string> vertex_properties;  // "float x", ...
    std::vector<std::array<float, 3>> positions;
    std::vector<std::array<float, 3>> normals;
    std::vector<float> thickness;
    std::vector<std::array<std::uint8_t, 4>> colors;
    std::vector<std::vector<int>> faces;           // faces, or the edges' two ends
};

// nullopt when the bytes are not such a file, are cut short or index a vertex that is not there.
inline std::optional<PlyMesh> read_ply(const std::string &bytes) {
    const std::string end_marker = "end_header\n";
    const auto header_end = bytes.find(end_marker);
    if (bytes.rfind("ply\nformat binary_little_endian 1.0\n", 0) != 0 || header_end == std::string::npos)
        return std::nullopt;
    struct Element {
        std::string name;
        long count = 0;
        std::vector<std::array<std::string, 3>> properties;  // type (or list count type), name, list item type
    };
    std::vector<Element> elements;
    std::istringstream header(bytes.substr(0, header_end));
    for (std::string line, word; std::getline(header, line);) {
        std::istringstream words(line);
        words >> word;
        if (word == "element") {
            elements.emplace_back();
            words >> elements.back().name >> elements.back().count;
        } else if (word == "property" && !elements.empty()) {
            std::array<std::string, 3> p;
            words >> p[0];
            if (p[0] == "list") words >> p[0] >> p[2];
            words >> p[1];
            elements.back().properties.push_back(p);
        }
    }
    std::size_t at = header_end + end_marker.size();
    const auto take = [&](const std::string &type, double &value) {
        const std::size_t size = type == "uchar" ? 1 : 4;
        if (bytes.size() - at < size) return false;
        std::uint8_t b[4] = {};
        std::memcpy(b, bytes.data() + at, size);
        at += size;
        const std::uint32_t u = b[0] | b[1] << 8 | b[2] << 16 | std::uint32_t(b[3]) << 24;
        float f;
        std::memcpy(&f, &u, 4);
        value = type == "float" ? f : type == "int" ? double(std::int32_t(u)) : double(u);
        return true;
    };
    PlyMesh mesh;
    for (const Element &e : elements) {
        for (long i = 0; i < e.count; ++i) {
            std::map<std::string, double> v;
            std::vector<int> indices;
            for (const auto &[type, name, item] : e.properties) {
                double count = 0, index = 0;
                if (!take(type, item.empty() ? v[name] : count) || count > double(bytes.size())) return std::nullopt;
                for (int k = 0; k < int(count); ++k) {
                    if (!take(item, index) || index >= double(mesh.positions.size())) return std::nullopt;
                    indices.push_back(int(index));
                }
            }
            if (e.name == "vertex") {
                const auto f = [&](const char *n) { return float(v[n]); };
                const auto b = [&](const char *n) { return std::uint8_t(v[n]); };
                mesh.positions.push_back({f("x"), f("y"), f("z")});
                mesh.normals.push_back({f("nx"), f("ny"), f("nz")});
                mesh.thickness.push_back(f("thickness"));
                mesh.colors.push_back({b("red"), b("green"), b("blue"), b("alpha")});
            } else if (e.name == "edge") {
                if (v["vertex1"] >= double(mesh.positions.size()) || v["vertex2"] >= double(mesh.positions.size()))
                    return std::nullopt;
                mesh.faces.push_back({int(v["vertex1"]), int(v["vertex2"])});
            } else {
                mesh.faces.push_back(indices);
            }
        }
        if (e.name == "vertex")
            for (const auto &p : e.properties) mesh.vertex_properties.push_back(p[0] + " " + p[1]);
    }
    // Only the two layouts the programs write.
    const std::string layout = [&] {
        std::string all;
        for (const std::string &p : mesh.vertex_properties) all += p.substr(p.find(' ') + 1) + " ";
        return all;
    }();
    if (layout != "x y z nx ny nz thickness red green blue alpha " && layout != "x y z thickness red green blue alpha ")
        return std::nullopt;
    if (at != bytes.size()) return std::nullopt;
    return mesh;
}

}  // namespace vellimor::test
