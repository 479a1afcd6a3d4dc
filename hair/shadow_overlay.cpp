// The shadow triangles drawn over the view, so the shells can be checked against the fur.
#include <GL/gl.h>

#include <iterator>

#include "hair/shadows.h"

namespace vellimor {

namespace {

constexpr GLubyte kOverlayAlpha = 0x50;
constexpr GLubyte kLevelColors[][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
constexpr GLubyte kDeeperLevelColor[3] = {128, 128, 128};

const GLubyte *level_color(short level) {
    if (level >= 0 && level < short(std::size(kLevelColors))) return kLevelColors[level];
    return kDeeperLevelColor;
}

}  // namespace

void draw_shadow_triangles() {
    const std::span<const ShadowTriangle> triangles = shadow_triangles();
    if (triangles.empty()) return;
    glPushAttrib(GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT | GL_CURRENT_BIT);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glBegin(GL_TRIANGLES);
    for (const ShadowTriangle &t : triangles) {
        const GLubyte *c = level_color(t.level);
        glColor4ub(c[0], c[1], c[2], kOverlayAlpha);
        glVertex3fv(t.a);
        glVertex3fv(t.b);
        glVertex3fv(t.c);
    }
    glEnd();
    glPopAttrib();
}

}  // namespace vellimor
