// An OBJ or USD text file into oriented patch and NURBS surfaces. Meshes that are quad grids
// become cardinal patches through their vertices, free-form surfaces NURBS surfaces. Open
// surfaces keep the file's front (the side its faces wind counter-clockwise round, or a
// free-form surface's u × v); closed ones are turned so that their fur points away from the
// volume they enclose.
#include "saa/model_import.h"

#include <cctype>
#include <fstream>

#include "saa/fur_side.h"
#include "saa/model_surfaces.h"
#include "saa/quad_grid.h"

namespace vellimor::saa {

namespace {

bool ends_with(const std::string &text, const std::string &end) {
    if (text.size() < end.size()) return false;
    for (std::size_t i = 0; i < end.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[text.size() - end.size() + i])) != end[i]) return false;
    return true;
}

// Closed surfaces face away from what they enclose, whichever way the file wound them.
void face_outward(Model &surface) {
    const FurSide side = fur_side(surface);
    if (side.closed && !side.outward) turn_over(surface);
}

// A name as the scene file can hold it and a terminal can show it: bytes that are no UTF-8 and
// control characters become '_'.
std::string clean_name(const std::string &raw) {
    std::string out;
    for (std::size_t i = 0; i < raw.size();) {
        const auto c = static_cast<unsigned char>(raw[i]);
        const int length = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
        bool valid = length > 0 && i + static_cast<std::size_t>(length) <= raw.size() && c >= 0x20 && c != 0x7F && c != 0xC0 && c != 0xC1;
        for (int k = 1; valid && k < length; ++k) valid = (static_cast<unsigned char>(raw[i + static_cast<std::size_t>(k)]) >> 6) == 0x2;
        if (valid) {
            out.append(raw, i, static_cast<std::size_t>(length));
            i += static_cast<std::size_t>(length);
        } else {
            out += '_';
            ++i;
        }
    }
    return out;
}

Model surface_model(const std::string &name, int type) {
    Model m;
    m.name = clean_name(name);
    m.type = type;
    return m;
}

}  // namespace

ImportedModels import_model_text(const std::string &text, const std::string &file) {
    ModelPieces pieces;
    if (ends_with(file, ".obj")) pieces = read_obj_text(text, file);
    else if (ends_with(file, ".usda")) pieces = read_usda_text(text, file);
    else throw ModelFileError(file + ": not an OBJ (.obj) or USD text (.usda) file");
    ImportedModels out;
    for (const std::string &r : pieces.refused) out.refused.push_back(clean_name(r));
    out.warnings = std::move(pieces.warnings);
    for (const PolygonMesh &mesh : pieces.meshes) {
        std::string reason;
        const auto grid = find_quad_grid(mesh, reason);
        if (!grid) {
            out.refused.push_back(clean_name(mesh.name) + ": " + reason);
            continue;
        }
        Model m = surface_model(mesh.name, 1);
        m.patch = std::make_unique<PatchSurface>(patch_through_grid(*grid, mesh.positions));
        // Patch fur grows along dv × du: against the front when the faces wind from u to v.
        if (grid->winds_u_to_v != mesh.clockwise) turn_over(m);
        face_outward(m);
        out.surfaces.push_back(std::move(m));
    }
    for (const FreeformSurface &f : pieces.surfaces) {
        Model m = surface_model(f.name, 10);
        m.nurbs = std::make_unique<NurbsSurface>(nurbs_of_freeform(f, file));
        if (f.clockwise) turn_over(m);
        face_outward(m);
        out.surfaces.push_back(std::move(m));
    }
    if (out.surfaces.empty() && out.refused.empty())
        throw ModelFileError(file + ": no polygon mesh or free-form surface in the file");
    return out;
}

ImportedModels import_model_file(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw ModelFileError(path + ": cannot open the file");
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size < 0) throw ModelFileError(path + ": cannot read the file");
    if (size > kMaxModelFileBytes) throw ModelFileError(path + ": file too large");
    in.seekg(0);
    std::string text(static_cast<std::size_t>(size), '\0');
    if (!in.read(text.data(), size)) throw ModelFileError(path + ": cannot read the file");
    return import_model_text(text, path);
}

}  // namespace vellimor::saa
