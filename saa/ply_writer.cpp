// Binary little-endian PLY, every value encoded byte by byte so the file is the same on any
// machine.
#include "saa/ply_writer.h"

#include <algorithm>
#include <bit>
#include <cstdint>

namespace vellimor::saa {

namespace {

void put_u32(std::string &out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

void put_float(std::string &out, double v) { put_u32(out, std::bit_cast<std::uint32_t>(static_cast<float>(v))); }

}  // namespace

std::string ply_bytes(const Mesh &mesh) {
    int largest = 0;
    for (int size : mesh.sizes) largest = std::max(largest, size);
    const bool byte_counts = largest <= 255;
    std::string out = "ply\nformat binary_little_endian 1.0\ncomment Vellimor host mesh\n";
    out += "element vertex " + std::to_string(mesh.positions.size()) + "\n";
    for (const char *p : {"x", "y", "z", "nx", "ny", "nz", "thickness"}) out += std::string("property float ") + p + "\n";
    for (const char *p : {"red", "green", "blue", "alpha"}) out += std::string("property uchar ") + p + "\n";
    out += "element face " + std::to_string(mesh.sizes.size()) + "\n";
    out += byte_counts ? "property list uchar int vertex_indices\n" : "property list int int vertex_indices\n";
    out += "end_header\n";
    out.reserve(out.size() + mesh.positions.size() * 32 + mesh.indices.size() * 4 + mesh.sizes.size() * 4);
    for (std::size_t i = 0; i < mesh.positions.size(); ++i) {
        for (double c : mesh.positions[i]) put_float(out, c);
        for (double c : mesh.normals[i]) put_float(out, c);
        put_float(out, i < mesh.thickness.size() ? mesh.thickness[i] : 0.0);
        for (std::uint8_t c : mesh.colors[i]) out += static_cast<char>(c);
    }
    for (std::size_t p = 0; p < mesh.sizes.size(); ++p) {
        if (byte_counts) out += static_cast<char>(mesh.sizes[p]);
        else put_u32(out, static_cast<std::uint32_t>(mesh.sizes[p]));
        for (int k = 0; k < mesh.sizes[p]; ++k)
            put_u32(out, static_cast<std::uint32_t>(mesh.indices[static_cast<std::size_t>(mesh.starts[p] + k)]));
    }
    return out;
}

}  // namespace vellimor::saa
