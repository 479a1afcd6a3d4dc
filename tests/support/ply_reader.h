// A small reader of the binary little-endian PLY meshes the host writes (vertex x y z nx ny nz
// thickness as floats and red green blue alpha as bytes, faces as index lists), so tests can check a
// saved model the way another tool would see it.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace vellimor::test {

struct PlyMesh {
    std::vector<std::array<float, 3>> positions;
    std::vector<std::array<float, 3>> normals;
    std::vector<float> thickness;
    std::vector<std::array<std::uint8_t, 4>> colors;
    std::vector<std::vector<int>> faces;
};

// nullopt when the bytes are not such a file or are cut short.
inline std::optional<PlyMesh> read_ply(const std::string &bytes) {
    const std::string end_marker = "end_header\n";
    const auto header_end = bytes.find(end_marker);
    if (bytes.rfind("ply\nformat binary_little_endian 1.0\n", 0) != 0 || header_end == std::string::npos)
        return std::nullopt;
    std::istringstream header(bytes.substr(0, header_end));
    std::string line;
    long vertices = -1, faces = -1;
    std::vector<std::string> vertex_properties;
    bool byte_counts = true;
    std::string element;
    while (std::getline(header, line)) {
        std::istringstream words(line);
        std::string word;
        words >> word;
        if (word == "element") {
            long count = -1;
            words >> element >> count;
            (element == "vertex" ? vertices : faces) = count;
        } else if (word == "property" && element == "vertex") {
            std::string type, name;
            words >> type >> name;
            vertex_properties.push_back(type + " " + name);
        } else if (word == "property" && element == "face") {
            std::string list, count_type;
            words >> list >> count_type;
            byte_counts = count_type == "uchar";
        }
    }
    const std::vector<std::string> expected = {"float x", "float y", "float z", "float nx", "float ny",
                                               "float nz", "float thickness", "uchar red", "uchar green", "uchar blue",
                                               "uchar alpha"};
    if (vertex_properties != expected || vertices < 0 || faces < 0) return std::nullopt;
    std::size_t at = header_end + end_marker.size();
    auto take = [&](void *out, std::size_t n) {
        if (bytes.size() - at < n) return false;
        std::memcpy(out, bytes.data() + at, n);
        at += n;
        return true;
    };
    auto take_u32 = [&](std::uint32_t &v) {
        unsigned char b[4];
        if (!take(b, 4)) return false;
        v = b[0] | (b[1] << 8) | (b[2] << 16) | (std::uint32_t(b[3]) << 24);
        return true;
    };
    auto take_float = [&](float &f) {
        std::uint32_t v = 0;
        if (!take_u32(v)) return false;
        std::memcpy(&f, &v, 4);
        return true;
    };
    PlyMesh mesh;
    for (long i = 0; i < vertices; ++i) {
        std::array<float, 3> p{}, n{};
        std::array<std::uint8_t, 4> c{};
        for (float &x : p)
            if (!take_float(x)) return std::nullopt;
        for (float &x : n)
            if (!take_float(x)) return std::nullopt;
        float thickness = 0.0f;
        if (!take_float(thickness)) return std::nullopt;
        mesh.thickness.push_back(thickness);
        if (!take(c.data(), 4)) return std::nullopt;
        mesh.positions.push_back(p);
        mesh.normals.push_back(n);
        mesh.colors.push_back(c);
    }
    for (long f = 0; f < faces; ++f) {
        std::uint32_t count = 0;
        if (byte_counts) {
            std::uint8_t c = 0;
            if (!take(&c, 1)) return std::nullopt;
            count = c;
        } else if (!take_u32(count)) {
            return std::nullopt;
        }
        if (count > bytes.size()) return std::nullopt;
        std::vector<int> face;
        for (std::uint32_t k = 0; k < count; ++k) {
            std::uint32_t index = 0;
            if (!take_u32(index) || index >= mesh.positions.size()) return std::nullopt;
            face.push_back(static_cast<int>(index));
        }
        mesh.faces.push_back(face);
    }
    if (at != bytes.size()) return std::nullopt;
    return mesh;
}

}  // namespace vellimor::test
