// Whether a frame may be drawn over the last one: only where the swap left the back buffer as it
// was drawn, which Mesa's software driver under Xvfb does. What an exchanging driver leaves
// instead (another frame, or a new buffer) is painted over the back buffer after the swap.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <vector>

#include "shell/back_buffer.h"
#include "support/gl_context.h"

namespace {
struct Rgb {
    float r, g, b;
};
constexpr Rgb black{0.0f, 0.0f, 0.0f};
constexpr Rgb grey{0.5f, 0.5f, 0.5f};
constexpr Rgb blue{0.0f, 0.0f, 1.0f};

struct Frame {
    Rgb drawn;         // the middle row's colour (black: nothing drawn there)
    bool lostAfter;    // after the swap, the middle rows hold something else
    Rgb left;          // what they hold then
    bool drawOverNext; // what the check says before the next frame
};

class BackBuffer : public GlTest {
  protected:
    // One frame: checked, drawn (the middle three rows in its colour, the rest dark grey), kept
    // and swapped, then spoilt as the row says.
    bool drawFrame(BackBufferCheck& check, const Frame& frame) {
        const bool over = backHoldsLastFrame(check);
        paint({0.2f, 0.2f, 0.2f}, 0, gl.height);
        paint(frame.drawn, gl.height / 2 - 1, 3);
        keepCheckRow(check, gl.width, gl.height);
        SDL_GL_SwapWindow(gl.window);
        if (frame.lostAfter) {
            paint(frame.left, gl.height / 2 - 1, 3);
        }
        return over;
    }

    void paint(Rgb colour, int y, int rows) {
        glEnable(GL_SCISSOR_TEST);
        glScissor(0, y, gl.width, rows);
        glClearColor(colour.r, colour.g, colour.b, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        glDisable(GL_SCISSOR_TEST);
    }
};

TEST_F(BackBuffer, AFrameIsDrawnOverTheLastOnlyWhereSwapsKeepTheBackBuffer) {
    struct Case {
        const char* what;
        std::vector<Frame> frames;
    };
    const Case cases[] = {
        {"swaps that keep it",
         {{grey, false, {}, true},
          {blue, false, {}, true},
          // One buffer lost later (a resize, say): that frame is drawn whole, the next over it.
          {grey, true, blue, false},
          {blue, false, {}, true}}},
        {"the first frame's buffer is another, holding the frame before",
         {{grey, true, blue, false}, {blue, false, {}, false}, {grey, false, {}, false}}},
        {"the first frame's buffer is a new one",
         {{grey, true, black, false}, {blue, false, {}, false}}},
        {"nothing drawn in the first frame's row: whether it is kept cannot be seen",
         {{black, false, {}, false}, {grey, false, {}, false}, {blue, false, {}, false}}},
    };
    for (const Case& c : cases) {
        BackBufferCheck check;
        bool expected = false; // before any frame
        for (std::size_t i = 0; i < c.frames.size(); ++i) {
            EXPECT_EQ(drawFrame(check, c.frames[i]), expected) << c.what << ", frame " << i;
            expected = c.frames[i].drawOverNext;
        }
        EXPECT_EQ(backHoldsLastFrame(check), expected) << c.what << ", after the last frame";
    }
}
} // namespace
