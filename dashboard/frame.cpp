// Frame composition: the OpenGL state and fonts of each window, the projection, and the frame.
#include "dashboard/frame.h"

#include <GL/gl.h>
#include <GL/glu.h>

GlyphFont largeFont;
GlyphFont smallFont;
int32_t viewWidth = 1;
int32_t viewHeight = 1;
GlWindow* dashboardWindow = nullptr;
int32_t* dashboardKeys = nullptr;

bool initDashboard(GlWindow& window, int32_t* keys) {
    dashboardWindow = &window;
    dashboardKeys = keys;

    glShadeModel(GL_SMOOTH);
    glClearColor(0.0f, 0.0f, 0.0f, 0.5f);
    glClearDepth(1.0);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    return true;
}

void releaseDashboard() {}

void resizeDashboard(int32_t width, int32_t height) {
    if (height == 0) {
        height = 1;
    }
    // The window may report its size before a context exists; the GL calls then do nothing.
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluOrtho2D(0, 100, 0, 100);
    viewHeight = height;
    viewWidth = width;
}

void drawDashboard() {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}
