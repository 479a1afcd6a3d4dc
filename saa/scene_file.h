// Reading and writing the JSON scene file ("SCENES/NAME.dsc"); the format is described in
// saa/README.md.
#pragma once

#include <stdexcept>
#include <string>

#include "saa/scene_data.h"

namespace vellimor::saa {

// A scene file that can't be read or is malformed; the text names the offending field.
struct SceneFileError : std::runtime_error {
    int code;
    SceneFileError(int code, const std::string &what) : std::runtime_error(what), code(code) {}
};

// Larger files are refused before they are read.
constexpr long long kMaxSceneFileBytes = 1LL << 30;

Scene read_scene_file(const std::string &path);
Scene parse_scene_text(const std::string &text);
std::string scene_to_text(const Scene &scene);

// A scene with nothing in it but the default camera.
Scene empty_scene();
Camera default_camera(const Scene &scene);

std::string base64_encode(const std::vector<std::uint8_t> &bytes);
// Throws std::invalid_argument on anything but canonical base64.
std::vector<std::uint8_t> base64_decode(const std::string &text);

}  // namespace vellimor::saa
