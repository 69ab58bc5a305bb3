// Drawing corners already in clip coordinates: while an IdentityMatrices lives, the projection
// and the modelview are both the identity (each pushed, then given back), so the driver passes
// the corners on unchanged. The modelview is the current matrix meanwhile and afterwards.
#pragma once
#include <GL/gl.h>

class IdentityMatrices {
  public:
    IdentityMatrices() {
        glMatrixMode(GL_PROJECTION);
        glPushMatrix();
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
        glPushMatrix();
        glLoadIdentity();
    }
    ~IdentityMatrices() {
        glPopMatrix();
        glMatrixMode(GL_PROJECTION);
        glPopMatrix();
        glMatrixMode(GL_MODELVIEW);
    }
    IdentityMatrices(const IdentityMatrices&) = delete;
    IdentityMatrices& operator=(const IdentityMatrices&) = delete;
};
