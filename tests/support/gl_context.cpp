#include "support/gl_context.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {
void say(std::string* error, const std::string& text) {
    if (error != nullptr) {
        *error = text;
    }
}

// The same pixel format the program's window asks for at 32 bits per pixel.
void setPixelFormat() {
    SDL_GL_ResetAttributes();
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
}
} // namespace

bool openGlContext(GlContext& gl, int width, int height, std::string* error) {
    gl = GlContext{};
    if (std::getenv("DISPLAY") == nullptr) {
        say(error, "no DISPLAY: run the tests under tools/with-xvfb.sh");
        return false;
    }
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        say(error, std::string("SDL video: ") + SDL_GetError());
        return false;
    }
    setPixelFormat();
    gl.window =
        SDL_CreateWindow("gl test", 0, 0, width, height, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (gl.window == nullptr) {
        say(error, std::string("SDL_CreateWindow: ") + SDL_GetError());
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return false;
    }
    gl.context = SDL_GL_CreateContext(gl.window);
    if (gl.context == nullptr || SDL_GL_MakeCurrent(gl.window, gl.context) != 0) {
        say(error, std::string("GL context: ") + SDL_GetError());
        closeGlContext(gl);
        return false;
    }
    gl.width = width;
    gl.height = height;
    glViewport(0, 0, width, height);
    glDrawBuffer(GL_BACK);
    glReadBuffer(GL_BACK);
    return true;
}

void closeGlContext(GlContext& gl) {
    if (gl.window == nullptr) {
        return;
    }
    SDL_GL_MakeCurrent(gl.window, nullptr);
    if (gl.context != nullptr) {
        SDL_GL_DeleteContext(gl.context);
    }
    SDL_DestroyWindow(gl.window);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    gl = GlContext{};
}

namespace {
void useProjection(int x, int y, int width, int height, double right, double top) {
    glViewport(x, y, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluOrtho2D(0, right, 0, top);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}
} // namespace

void usePixelProjection(const GlContext& gl) {
    useProjection(0, 0, gl.width, gl.height, gl.width, gl.height);
}

void useDashboardCell(int x, int y, int width, int height) {
    useProjection(x, y, width, height, 1000, 1000);
}

Image readPixels(const GlContext& gl) {
    Image image;
    image.width = gl.width;
    image.height = gl.height;
    image.rgba.resize(std::size_t(gl.width) * gl.height * 4);
    std::vector<uint8_t> bottomUp(image.rgba.size());
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glFinish();
    glReadPixels(0, 0, gl.width, gl.height, GL_RGBA, GL_UNSIGNED_BYTE, bottomUp.data());
    const std::size_t row = std::size_t(gl.width) * 4;
    for (int y = 0; y < gl.height; ++y) {
        std::memcpy(&image.rgba[std::size_t(y) * row],
                    &bottomUp[std::size_t(gl.height - 1 - y) * row], row);
    }
    return image;
}

std::size_t countDifferentPixels(const Image& a, const Image& b, int tolerance) {
    if (a.width != b.width || a.height != b.height) {
        return std::max(std::size_t(a.width) * a.height, std::size_t(b.width) * b.height);
    }
    std::size_t count = 0;
    for (std::size_t i = 0; i + 3 < a.rgba.size(); i += 4) {
        for (int c = 0; c < 4; ++c) {
            if (std::abs(int(a.rgba[i + c]) - int(b.rgba[i + c])) > tolerance) {
                ++count;
                break;
            }
        }
    }
    return count;
}

InkBox findInk(const Image& image, const uint8_t background[3], int threshold) {
    InkBox box;
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            const uint8_t* p = image.atGl(x, y);
            bool inked = false;
            for (int c = 0; c < 3; ++c) {
                inked = inked || std::abs(int(p[c]) - int(background[c])) > threshold;
            }
            if (!inked) {
                continue;
            }
            if (box.empty) {
                box = InkBox{false, x, y, x, y};
            } else {
                box.left = std::min(box.left, x);
                box.right = std::max(box.right, x);
                box.bottom = std::min(box.bottom, y);
                box.top = std::max(box.top, y);
            }
        }
    }
    return box;
}

void GlTest::SetUp() {
    std::string why;
    ASSERT_TRUE(openGlContext(gl, width_, height_, &why)) << why;
}

void GlTest::TearDown() {
    closeGlContext(gl);
}
