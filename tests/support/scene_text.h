// Purpose-built scene texts for the scene reader and entry point tests.
#pragma once

#include <string>

namespace vellimor::test {

inline std::string vertex_grid(int nu, int nv) {
    std::string s;
    for (int j = 0; j < nv; ++j) {
        for (int i = 0; i < nu; ++i) {
            if (!s.empty()) s += ", ";
            s += "[" + std::to_string(i) + ", 0, " + std::to_string(j) + "]";
        }
    }
    return s;
}

inline std::string patch_model(const std::string &name, int type_u, bool closed_u, int count_u,
                               int type_v = 0, bool closed_v = false, int count_v = 2) {
    auto direction = [](int type, bool closed, int count) {
        return R"({"type": )" + std::to_string(type) + R"(, "closed": )" +
               (closed ? "true" : "false") + R"(, "count": )" + std::to_string(count) + "}";
    };
    return R"({"name": ")" + name + R"(", "type": 1, "patch": {"u": )" +
           direction(type_u, closed_u, count_u) + R"(, "v": )" + direction(type_v, closed_v, count_v) +
           R"(, "vertices": [)" + vertex_grid(count_u, count_v) + "]}}";
}

// A bilinear NURBS surface whose knots run 0..last_u and 0..last_v.
inline std::string nurbs_model(const std::string &name, double last_u, double last_v) {
    auto direction = [](double last) {
        return R"({"degree": 1, "closed": false, "knots": [0, 0, )" + std::to_string(last) + ", " +
               std::to_string(last) + "]}";
    };
    return R"({"name": ")" + name + R"(", "type": 10, "nurbs": {"u": )" + direction(last_u) +
           R"(, "v": )" + direction(last_v) +
           R"(, "points": [[0,0,0,1], [1,0,0,1], [0,0,1,1], [1,0,1,1]]}})";
}

inline std::string plain_model(const std::string &name, int type) {
    return R"({"name": ")" + name + R"(", "type": )" + std::to_string(type) + "}";
}

inline std::string light(const std::string &name) {
    return R"({"name": ")" + name + R"(", "position": [1, 2, 3]})";
}

inline std::string scene_text(const std::string &models, const std::string &lights = "",
                              int start = 1, int end = 5) {
    return R"({"version": 1, "play_control": {"start": )" + std::to_string(start) +
           R"(, "end": )" + std::to_string(end) +
           R"(, "step": 1, "frame_rate": 24, "current": )" + std::to_string(start) +
           R"(}, "render": {"x_resolution": 64, "y_resolution": 48}, "cameras": [{"name": "Cam", "aspect": 1.5}], "lights": [)" +
           lights + R"(], "models": [)" + models + "]}";
}

}  // namespace vellimor::test
