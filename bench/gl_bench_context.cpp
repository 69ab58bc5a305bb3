#include "gl_bench_context.h"

#include <GL/gl.h>
#include <GL/glu.h>

void useDashboardCell(const GlBenchContext& gl) {
    glViewport(0, 0, gl.width, gl.height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluOrtho2D(0, 1000, 0, 1000);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}
