#include "platform/pixel_transfer.h"

#include <initializer_list>

namespace vellimor::platform {
namespace {

// Tightly packed rows, no skipping, no swapping: the layout every caller here hands over.
void set_packed_store(GLenum alignment_name, GLenum row_length, GLenum skip_rows, GLenum skip_pixels,
                      GLenum swap_bytes, GLenum lsb_first) {
    glPixelStorei(alignment_name, 1);
    glPixelStorei(row_length, 0);
    glPixelStorei(skip_rows, 0);
    glPixelStorei(skip_pixels, 0);
    glPixelStorei(swap_bytes, GL_FALSE);
    glPixelStorei(lsb_first, GL_FALSE);
}

// Pixel transfer as it is by default: no scale, bias, shift or map.
void set_identity_transfer() {
    for (GLenum scale : {GL_RED_SCALE, GL_GREEN_SCALE, GL_BLUE_SCALE, GL_ALPHA_SCALE, GL_DEPTH_SCALE})
        glPixelTransferf(scale, 1.0f);
    for (GLenum bias : {GL_RED_BIAS, GL_GREEN_BIAS, GL_BLUE_BIAS, GL_ALPHA_BIAS, GL_DEPTH_BIAS})
        glPixelTransferf(bias, 0.0f);
    glPixelTransferi(GL_MAP_COLOR, GL_FALSE);
    glPixelTransferi(GL_MAP_STENCIL, GL_FALSE);
    glPixelTransferi(GL_INDEX_SHIFT, 0);
    glPixelTransferi(GL_INDEX_OFFSET, 0);
}

}  // namespace

void read_pixels(int x, int y, int width, int height, GLenum format, GLenum type, void *out) {
    if (width <= 0 || height <= 0) return;
    glPushAttrib(GL_PIXEL_MODE_BIT);
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    set_packed_store(GL_PACK_ALIGNMENT, GL_PACK_ROW_LENGTH, GL_PACK_SKIP_ROWS, GL_PACK_SKIP_PIXELS,
                     GL_PACK_SWAP_BYTES, GL_PACK_LSB_FIRST);
    set_identity_transfer();
    glReadPixels(x, y, width, height, format, type, out);
    glPopClientAttrib();
    glPopAttrib();
}

void draw_pixels_unchanged(int x, int y, int width, int height, GLenum format, GLenum type,
                           const void *pixels) {
    if (width <= 0 || height <= 0) return;
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    for (GLenum capability : {GL_DEPTH_TEST, GL_BLEND, GL_ALPHA_TEST, GL_STENCIL_TEST, GL_SCISSOR_TEST,
                              GL_TEXTURE_1D, GL_TEXTURE_2D, GL_FOG, GL_LIGHTING, GL_DITHER, GL_COLOR_LOGIC_OP})
        glDisable(capability);
    if (format == GL_DEPTH_COMPONENT) {
        // Depths are written only through the depth test; the colours stay.
        glEnable(GL_DEPTH_TEST);
        glDepthFunc(GL_ALWAYS);
        glDepthMask(GL_TRUE);
        glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
    }
    glPixelZoom(1.0f, 1.0f);
    set_identity_transfer();
    set_packed_store(GL_UNPACK_ALIGNMENT, GL_UNPACK_ROW_LENGTH, GL_UNPACK_SKIP_ROWS, GL_UNPACK_SKIP_PIXELS,
                     GL_UNPACK_SWAP_BYTES, GL_UNPACK_LSB_FIRST);
    glViewport(x, y, width, height);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glRasterPos2f(-1.0f, -1.0f);  // the viewport's lower-left corner
    glDrawPixels(width, height, format, type, pixels);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glPopClientAttrib();
    glPopAttrib();
}

}  // namespace vellimor::platform
