// The graphics view's own operations beyond the redraw helpers every editor part uses.
#pragma once

namespace vellimor {

// The rectangle the rendered picture takes inside a view: the render aspect ratio kept, as large
// as fits (full height up to an aspect of 1.6666, full width beyond), centred.
struct PictureViewport {
    int x = 0, y = 0, w = 0, h = 0;
};
PictureViewport picture_viewport(int x, int y, int w, int h, float aspect);

struct FmObject;

// Draws the scene in draw mode `mode` into the area's rectangle of the current GL context at
// once and keeps the picture (what every requested redraw of the view does).
void graphics_view_draw_now(const FmObject *area, int mode);
// Draws the main window now (a requested drawing of the view happens in it).
void graphics_view_flush();
// True once the view has drawn the scene and keeps its pixels.
bool graphics_view_pixels_valid();
// Forgets the kept pixels (the next drawing of the window draws the scene).
void graphics_view_forget_pixels();
// True while the scene is being drawn into the view.
bool graphics_view_drawing();
// True (once) when the window changed while the view drew the scene: it must be drawn again.
bool graphics_view_take_window_changes();

}  // namespace vellimor
