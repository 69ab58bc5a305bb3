// Whether a frame may be drawn over the last one: only where the swap left the back buffer as it
// was drawn, which Mesa's software driver under Xvfb does. What an exchanging driver leaves
// instead (another frame, or a new buffer) is painted over the back buffer after the swap.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <array>
#include <vector>

#include "shell/back_buffer.h"
#include "support/gl_context.h"

namespace {
using Rgb = std::array<float, 3>;
constexpr Rgb black{0.0f, 0.0f, 0.0f};
constexpr Rgb grey{0.5f, 0.5f, 0.5f};
constexpr Rgb green{0.0f, 1.0f, 0.0f};
constexpr Rgb blue{0.0f, 0.0f, 1.0f};

struct Frame {
    Rgb drawn;         // of the middle row's last pixel, the rest of that row black
    bool lostAfter;    // after the swap, the middle rows hold something else
    Rgb left;          // what they hold then
    bool drawOverNext; // what the check says before the next frame
};

class BackBuffer : public GlTest {
  protected:
    // One frame: checked, drawn (dark grey but for the middle three rows), kept and swapped,
    // then spoilt as the row says.
    bool drawFrame(BackBufferCheck& check, const Frame& frame) {
        const bool over = backHoldsLastFrame(check);
        paint({0.2f, 0.2f, 0.2f}, 0, 0, gl.width, gl.height);
        paint(black, 0, gl.height / 2 - 1, gl.width, 3);
        paint(frame.drawn, gl.width - 1, gl.height / 2 - 1, 1, 3);
        keepCheckRow(check, gl.width, gl.height);
        SDL_GL_SwapWindow(gl.window);
        if (frame.lostAfter) {
            paint(frame.left, 0, gl.height / 2 - 1, gl.width, 3);
        }
        return over;
    }

    void paint(Rgb colour, int x, int y, int width, int height) {
        glEnable(GL_SCISSOR_TEST);
        glScissor(x, y, width, height);
        glClearColor(colour[0], colour[1], colour[2], 1.0f);
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
         {{green, false, {}, true},
          {blue, false, {}, true},
          // One buffer lost later (a resize, say): that frame is drawn whole, the next over it.
          {grey, true, blue, false},
          {blue, false, {}, true}}},
        {"swaps that keep it, blue drawn first",
         {{blue, false, {}, true}, {grey, false, {}, true}}},
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
