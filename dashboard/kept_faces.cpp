// The faces live in a texture of the window's size behind a framebuffer object; copies in both
// directions are glBlitFramebuffer without scaling, which moves the pixels unchanged. Drivers
// without framebuffer objects (before OpenGL 3.0) keep nothing, and every frame draws its faces.
// The framebuffer calls are asked of the driver at run time: a system's OpenGL library need not
// export them (Windows' exports OpenGL 1.1 alone).
//
// Putting faces back starts every frame, so it is made a plain copy of memory where a driver
// can do one: the texture holds the window's pixel layout (blue, green, red, then the fourth
// byte) and its rows upside down. A window's rows run from the top in the driver and a
// framebuffer object's from the bottom, so a copy flipped in OpenGL's terms is a straight one
// there. A software driver otherwise draws the copy, pixel by pixel, at many times the cost.
#include "dashboard/kept_faces.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <SDL.h>
#include <cstdio>

#include "dashboard/frame.h"
#include "dashboard/frame_inputs.h"

namespace {
struct KeptFaces {
    bool checked;   // whether the driver was asked if it can keep pixels
    bool supported; // it can
    GLuint texture;
    GLuint framebuffer;
    int32_t width; // of the texture
    int32_t height;
    FaceInputs drawnFrom; // valid while the texture holds faces
};
KeptFaces kept{};

PFNGLBINDFRAMEBUFFERPROC glBindFramebuffer;
PFNGLBLITFRAMEBUFFERPROC glBlitFramebuffer;
PFNGLGENFRAMEBUFFERSPROC glGenFramebuffers;
PFNGLDELETEFRAMEBUFFERSPROC glDeleteFramebuffers;
PFNGLFRAMEBUFFERTEXTURE2DPROC glFramebufferTexture2D;
PFNGLCHECKFRAMEBUFFERSTATUSPROC glCheckFramebufferStatus;

template <typename Function> bool lookUp(Function& function, const char* name) {
    function = reinterpret_cast<Function>(SDL_GL_GetProcAddress(name));
    return function != nullptr;
}

bool framebufferCallsFound() {
    // All six or none: a driver that lacks any of them keeps nothing.
    bool found = lookUp(glBindFramebuffer, "glBindFramebuffer");
    found = lookUp(glBlitFramebuffer, "glBlitFramebuffer") && found;
    found = lookUp(glGenFramebuffers, "glGenFramebuffers") && found;
    found = lookUp(glDeleteFramebuffers, "glDeleteFramebuffers") && found;
    found = lookUp(glFramebufferTexture2D, "glFramebufferTexture2D") && found;
    found = lookUp(glCheckFramebufferStatus, "glCheckFramebufferStatus") && found;
    return found;
}

bool driverCanKeep() {
    if (!kept.checked) {
        kept.checked = true;
        int major = 0;
        const auto* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
        kept.supported = version != nullptr && std::sscanf(version, "%d", &major) == 1 &&
                         major >= 3 && framebufferCallsFound();
    }
    return kept.supported;
}

// The rows of r in the window, and where they lie upside down in the texture.
struct Rows {
    GLint windowBottom, windowTop;
    GLint keptBottom, keptTop; // keptBottom > keptTop
};

Rows rowsOf(const CellRect& r) {
    return {r.y, r.y + r.height, kept.height - r.y, kept.height - r.y - r.height};
}

// Between copies the window is bound for reading and drawing: each copy binds the texture's
// framebuffer for one of them, and binds the window again for both when done.
void copyToKept(const CellRect& r) {
    const Rows rows = rowsOf(r);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, kept.framebuffer);
    glBlitFramebuffer(r.x, rows.windowBottom, r.x + r.width, rows.windowTop, r.x, rows.keptBottom,
                      r.x + r.width, rows.keptTop, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
}

void copyFromKept(const CellRect& r) {
    const Rows rows = rowsOf(r);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, kept.framebuffer);
    glBlitFramebuffer(r.x, rows.keptBottom, r.x + r.width, rows.keptTop, r.x, rows.windowBottom,
                      r.x + r.width, rows.windowTop, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
}

CellRect whole() {
    return {0, 0, kept.width, kept.height};
}
} // namespace

bool restoreFaces() {
    if (!facesKept()) {
        return false;
    }
    restoreFacesIn(whole());
    return true;
}

bool facesKept() {
    return inputsUnchanged(kept.drawnFrom);
}

void restoreFacesIn(const CellRect& rect) {
    copyFromKept(rect);
}

void keepFaces() {
    if (!driverCanKeep()) {
        return;
    }
    if (kept.texture == 0) {
        glGenTextures(1, &kept.texture);
        glGenFramebuffers(1, &kept.framebuffer);
    }
    if (!kept.drawnFrom.valid || kept.width != viewWidth || kept.height != viewHeight) {
        kept.drawnFrom.valid = false;
        kept.width = viewWidth;
        kept.height = viewHeight;
        GLint bound = 0;
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
        glBindTexture(GL_TEXTURE_2D, kept.texture);
        // An unsized format given blue first: the driver may then keep the bytes in that order,
        // the window's.
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, kept.width, kept.height, 0, GL_BGRA,
                     GL_UNSIGNED_BYTE, nullptr);
        glBindTexture(GL_TEXTURE_2D, GLuint(bound));
        glBindFramebuffer(GL_FRAMEBUFFER, kept.framebuffer);
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, kept.texture,
                               0);
        const bool complete = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        if (!complete) {
            return;
        }
    }
    copyToKept(whole());
    copyInputs(kept.drawnFrom);
}

void releaseKeptFaces() {
    if (kept.texture != 0) {
        glDeleteFramebuffers(1, &kept.framebuffer);
        glDeleteTextures(1, &kept.texture);
    }
    kept = KeptFaces{};
}
