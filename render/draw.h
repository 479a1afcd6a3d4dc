// The hair drawing pipeline.
#pragma once

namespace vellimor {

// Draw modes.
enum DrawMode {
    kDrawPreviewSelected = 0,
    kDrawPreviewAll = 1,
    kDrawSceneOnly = 2,
    kDrawRenderSelected = 3,
    kDrawRenderAll = 4,
    kDrawRenderAlpha = 5,
    kDrawRender = 6,
    kDrawSaveHairMesh = 7,
    kDrawExport = 8
};

// Builds and draws (or, in mode 7, saves as a mesh) the hairs of the frame (-1: the current
// frame). Returns the number of hairs drawn, 0 when nothing was drawn or drawing was aborted.
int drawing_driver(int mode, int frame);

}  // namespace vellimor
