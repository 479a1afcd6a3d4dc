// The shadow model drawn over the view while Shift is held, to see where the fur shadows come from.
#include <GL/gl.h>

#include "hair/shadows.h"

namespace vellimor {
namespace {

constexpr float kOverlayAlpha = float(0x50) / 255.0f;
constexpr float kLevelColors[4][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0.5f, 0.5f, 0.5f}};

}  // namespace

void draw_shadow_triangles() {
    glPushAttrib(GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glDisable(GL_CULL_FACE);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glBegin(GL_TRIANGLES);
    for (const ShadowTriangle &t : shadow_triangles()) {
        const float *c = kLevelColors[t.level >= 0 && t.level < 3 ? t.level : 3];
        glColor4f(c[0], c[1], c[2], kOverlayAlpha);
        glVertex3fv(t.a);
        glVertex3fv(t.b);
        glVertex3fv(t.c);
    }
    glEnd();
    glPopAttrib();
}

}  // namespace vellimor
