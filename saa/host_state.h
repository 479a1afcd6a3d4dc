// The one process-wide host state (current database and scene, evaluation time, selection, last
// error) and the resolution of handles into it. Handles index straight into the scene's vectors;
// a serial number in each handle catches handles that outlived their element.
#pragma once

#include <cstdint>
#include <new>
#include <string>
#include <vector>

#include "saa/saa.h"
#include "saa/scene_data.h"

namespace vellimor::saa {

enum ElementKind : unsigned {
    kElemModel = 1,
    kElemLight = 2,
    kElemCamera = 3,
    kElemPolygon = 4,    // id: mesh model index, sub: polygon index
    kElemCtrlVertex = 5  // id: mesh model index, sub: corner index into the mesh's index list
};

constexpr unsigned kCurrentSceneId = 1;
constexpr unsigned kCurrentDatabaseId = 1;

struct HostState {
    bool has_database = false;
    std::string database_path;
    Scene scene;
    double eval_time = 0;  // seconds
    std::vector<SAA_Elem> selection;
    std::string last_error;
    std::uint32_t next_serial = 1;
};

HostState &host();

// Records a readable reason for the failure and returns its code.
int fail(int code, const std::string &reason);

std::uint32_t new_serial();
// Gives every element of the scene a fresh serial so that older handles go stale.
void assign_serials(Scene &scene);

// Each returns null and sets status when the handle does not name such an element of the
// current scene.
Scene *scene_of(const SAA_Scene *scene, int &status);
Model *model_of(const SAA_Scene *scene, const SAA_Elem *element, int &status);
Light *light_of(const SAA_Scene *scene, const SAA_Elem *element, int &status);
Camera *camera_of(const SAA_Scene *scene, const SAA_Elem *element, int &status);

SAA_Elem model_handle(const Scene &scene, std::size_t index);
SAA_Elem light_handle(const Scene &scene, std::size_t index);
SAA_Elem camera_handle(const Scene &scene, std::size_t index);

// Copies text into a caller buffer of max_length bytes (room for the terminator required).
int copy_text(const std::string &text, int max_length, char *out);

// Recomputes every model's current transform and matrix for the given time (transforms.cpp).
void evaluate_scene(Scene &scene, double seconds);

// Runs an operation that may allocate; allocation failure becomes SAA_ERR_NO_MEMORY instead of
// an exception crossing the C boundary.
template <class F>
int guarded(F &&operation) {
    try {
        return operation();
    } catch (const std::bad_alloc &) {
        return fail(SAA_ERR_NO_MEMORY, "out of memory");
    } catch (const std::exception &e) {
        return fail(SAA_ERR_INVALID, e.what());
    }
}

}  // namespace vellimor::saa
