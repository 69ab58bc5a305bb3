#include "gl_bench_context.h"

#include <GL/gl.h>
#include <GL/glu.h>

void useDashboardCell(const GlBenchContext& gl) {
    useDashboardCell(0, 0, gl.width, gl.height);
}
