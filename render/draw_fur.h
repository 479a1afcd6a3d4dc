// "Draw fur": one whole drawing of a frame in the graphics view or the offscreen target: camera,
// scene objects, background, the hair rebuilds a frame needs, overlays and the hairs.
#pragma once

namespace vellimor {

struct TextureKey;

// What the graphics view is doing; hairs are drawn only when it is idle or rendering, unless
// redraw_always is set.
enum class ViewState { kIdle, kCameraDrag, kRendering };

// The graphics view the designer draws into (a window of the windowing library); batch renders
// draw into the current (offscreen) context instead.
struct GraphicsView {
    int window = 0;       // 0: none
    int main_window = 0;  // made current again after drawing another frame
    ViewState state = ViewState::kIdle;
    bool single_buffered = false;  // the buffering the view currently has
    bool single_buffer_toggle = false;  // the designer's "Single buffer"
    bool hairs_drawing_allowed = true;  // false while the designer drags the camera
};
GraphicsView &graphics_view();

// Draws the frame (-1: the current frame) in draw mode `mode`; hairs only when draw_hairs (or
// redraw_always) is set. The timing line goes to the status line when show_status is set.
// Returns the number of hairs drawn.
int draw_fur(int mode, int frame, bool draw_hairs, bool show_status);

// The status text after a drawing of h hairs taking `seconds`.
void drawing_status_text(int hairs, double seconds, char *text, int size);

// The camera position and view vector (eye - interest) of the last drawing.
const float *last_eye_position();
const float *last_view_vector();

// Marks a texture key on surface p, after a whole "Draw fur" unless draw_first is false.
void texture_key_marker(int p, const TextureKey &key, int key_number, bool draw_first);

}  // namespace vellimor
