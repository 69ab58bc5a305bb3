#include "shell/back_buffer.h"

#include <GL/gl.h>
#include <algorithm>
#include <cstring>

namespace {
void readRow(const BackBufferCheck& check, std::vector<unsigned char>& into) {
    into.resize(static_cast<std::size_t>(check.width) * 4);
    glReadBuffer(GL_BACK);
    glReadPixels(0, check.y, check.width, 1, GL_RGBA, GL_UNSIGNED_BYTE, into.data());
}

bool somethingDrawn(const std::vector<unsigned char>& row) {
    // Alpha is not drawn (the window has none), so only colour counts.
    for (std::size_t i = 0; i + 3 < row.size(); i += 4) {
        if (row[i] != 0 || row[i + 1] != 0 || row[i + 2] != 0) {
            return true;
        }
    }
    return false;
}
} // namespace

void keepCheckRow(BackBufferCheck& check, int32_t width, int32_t height) {
    check.width = std::max(width, 0);
    check.y = height / 2;
    readRow(check, check.kept);
}

bool backHoldsLastFrame(BackBufferCheck& check) {
    if (check.width == 0 || check.swaps == BackBufferCheck::Swaps::LoseBackBuffer) {
        return false;
    }
    readRow(check, check.found);
    const bool same = check.found == check.kept;
    if (check.swaps == BackBufferCheck::Swaps::Unknown) {
        check.swaps = same && somethingDrawn(check.kept) ? BackBufferCheck::Swaps::KeepBackBuffer
                                                         : BackBufferCheck::Swaps::LoseBackBuffer;
    }
    return check.swaps == BackBufferCheck::Swaps::KeepBackBuffer && same;
}
