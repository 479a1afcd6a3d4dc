// Models from files into the scene: an OBJ or USD text file read into the scene's patch and NURBS
// surfaces, each turned so that its fur grows outside, and merged into a scene.
#pragma once

#include <string>
#include <vector>

#include "saa/model_pieces.h"

namespace vellimor::saa {

struct ImportedModels {
    std::vector<Model> surfaces;        // type 1 or 10, named after their objects
    std::vector<std::string> refused;   // "NAME: why it is skipped"
    std::vector<std::string> warnings;
};

// By the file name's ending: ".obj" or ".usda". Throws ModelFileError ("FILE:LINE: what") for
// a file that can't be read or holds data that does not fit.
ImportedModels import_model_text(const std::string &text, const std::string &file);
ImportedModels import_model_file(const std::string &path);

// Where an imported surface went.
enum class Merge { added, replaced, refused };

// A model of the same name gets the new geometry and keeps its transform, animation and user
// data (fur settings, function curves); one of that name that is no surface is left alone.
Merge merge_surface(Scene &scene, Model surface);

// A new scene's camera framing every surface in it, and a key light above and beside it.
void frame_scene(Scene &scene);

}  // namespace vellimor::saa
