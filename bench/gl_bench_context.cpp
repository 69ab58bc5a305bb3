#include "gl_bench_context.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <cstdlib>

bool openBenchContext(GlBenchContext& gl, int width, int height, std::string& why) {
    gl = GlBenchContext{};
    if (std::getenv("DISPLAY") == nullptr) {
        why = "no DISPLAY: run under tools/with-xvfb.sh";
        return false;
    }
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        why = std::string("SDL video: ") + SDL_GetError();
        return false;
    }
    SDL_GL_ResetAttributes();
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    gl.window = SDL_CreateWindow("kestroview-bench", 0, 0, width, height,
                                 SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (gl.window == nullptr) {
        why = std::string("SDL_CreateWindow: ") + SDL_GetError();
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return false;
    }
    gl.context = SDL_GL_CreateContext(gl.window);
    if (gl.context == nullptr || SDL_GL_MakeCurrent(gl.window, gl.context) != 0) {
        why = std::string("GL context: ") + SDL_GetError();
        closeBenchContext(gl);
        return false;
    }
    gl.width = width;
    gl.height = height;
    return true;
}

void closeBenchContext(GlBenchContext& gl) {
    if (gl.window == nullptr) {
        return;
    }
    SDL_GL_MakeCurrent(gl.window, nullptr);
    if (gl.context != nullptr) {
        SDL_GL_DeleteContext(gl.context);
    }
    SDL_DestroyWindow(gl.window);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    gl = GlBenchContext{};
}

void useDashboardCell(const GlBenchContext& gl) {
    glViewport(0, 0, gl.width, gl.height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluOrtho2D(0, 1000, 0, 1000);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}
