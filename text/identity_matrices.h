// Drawing corners already in clip coordinates: while an IdentityMatrices lives, the projection
// and the modelview are both the identity (each pushed, then given back), so the driver passes
// the corners on unchanged. The modelview is the current matrix meanwhile and afterwards.
#pragma once
#include <GL/gl.h>

// The corners of a shape drawn under projection p and a modelview that only translates by
// (tx, ty), taken to clip space with the float sums the driver makes: projection times
// translation, then that matrix times the corner, x term first (the z terms are products with
// 0 and change no sum). Drawn under IdentityMatrices they land where the matrices would put
// them, to the bit.
class TranslatedToClip {
  public:
    TranslatedToClip(const float (&p)[16], float tx, float ty) : p_(p) {
        for (int r = 0; r < 2; ++r) {
            shift_[r] = (p[r] * tx + p[4 + r] * ty) + p[12 + r];
        }
    }
    // Writes the corner's clip x and y at out and moves out past them.
    void put(float x, float y, float*& out) const {
        for (int r = 0; r < 2; ++r) {
            *out++ = shift_[r] + (p_[4 + r] * y + p_[r] * x);
        }
    }

  private:
    const float (&p_)[16];
    float shift_[2];
};

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
