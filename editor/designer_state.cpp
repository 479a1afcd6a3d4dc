#include "editor/designer_objects.h"

namespace vellimor {

EditorState &editor_state() {
    static EditorState state;
    return state;
}

DesignerWindows &designer_windows() {
    static DesignerWindows windows;
    return windows;
}

}  // namespace vellimor
