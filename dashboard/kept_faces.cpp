// The faces live in a texture of the window's size behind a framebuffer object; copies in both
// directions are glBlitFramebuffer of the whole window without scaling, which moves the pixels
// unchanged. Drivers without framebuffer objects (before OpenGL 3.0) keep nothing, and every
// frame draws its faces.
#define GL_GLEXT_PROTOTYPES 1
#include "dashboard/kept_faces.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <cstdio>
#include <cstring>

#include "dashboard/frame.h"

namespace {
struct KeptFaces {
    bool checked;   // whether the driver was asked if it can keep pixels
    bool supported; // it can
    bool valid;     // texture holds the faces for key
    GLuint texture;
    GLuint framebuffer;
    FacesKey key;
};
KeptFaces kept{};

bool driverCanKeep() {
    if (!kept.checked) {
        kept.checked = true;
        int major = 0;
        const auto* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
        kept.supported =
            version != nullptr && std::sscanf(version, "%d", &major) == 1 && major >= 3;
    }
    return kept.supported;
}

void blit(GLuint from, GLuint to, const FacesKey& key) {
    glBindFramebuffer(GL_READ_FRAMEBUFFER, from);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, to);
    glBlitFramebuffer(0, 0, key.width, key.height, 0, 0, key.width, key.height, GL_COLOR_BUFFER_BIT,
                      GL_NEAREST);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
}
} // namespace

FacesKey currentFacesKey() {
    FacesKey key;
    std::memset(&key, 0, sizeof key);
    key.width = viewWidth;
    key.height = viewHeight;
    key.largeFontLists = largeFont.listBase;
    key.smallFontLists = smallFont.listBase;
    std::memcpy(&key.settings, &settings, sizeof settings);
    std::memcpy(key.defs, gaugeDefs, sizeof gaugeDefs);
    return key;
}

bool restoreFaces(const FacesKey& key) {
    if (!kept.valid || std::memcmp(&kept.key, &key, sizeof key) != 0) {
        return false;
    }
    blit(kept.framebuffer, 0, key);
    return true;
}

void keepFaces(const FacesKey& key) {
    if (!driverCanKeep()) {
        return;
    }
    if (kept.texture == 0) {
        glGenTextures(1, &kept.texture);
        glGenFramebuffers(1, &kept.framebuffer);
    }
    if (!kept.valid || kept.key.width != key.width || kept.key.height != key.height) {
        GLint bound = 0;
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
        glBindTexture(GL_TEXTURE_2D, kept.texture);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, key.width, key.height, 0, GL_RGBA,
                     GL_UNSIGNED_BYTE, nullptr);
        glBindTexture(GL_TEXTURE_2D, GLuint(bound));
        glBindFramebuffer(GL_FRAMEBUFFER, kept.framebuffer);
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, kept.texture,
                               0);
        const bool complete = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        if (!complete) {
            kept.valid = false;
            return;
        }
    }
    blit(0, kept.framebuffer, key);
    kept.key = key;
    kept.valid = true;
}

void releaseKeptFaces() {
    if (kept.texture != 0) {
        glDeleteFramebuffers(1, &kept.framebuffer);
        glDeleteTextures(1, &kept.texture);
    }
    kept = KeptFaces{};
}
