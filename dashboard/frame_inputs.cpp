#include "dashboard/frame_inputs.h"

#include <cstring>

namespace {
template <std::size_t Count>
unsigned char* copyList(const FrameInput (&inputs)[Count], unsigned char* to) {
    for (const FrameInput& input : inputs) {
        std::memcpy(to, input.data, input.size);
        to += input.size;
    }
    return to;
}

template <std::size_t Count>
bool sameList(const FrameInput (&inputs)[Count], const unsigned char*& from) {
    for (const FrameInput& input : inputs) {
        if (std::memcmp(from, input.data, input.size) != 0) {
            return false;
        }
        from += input.size;
    }
    return true;
}
} // namespace

void copyInputs(FaceInputs& copy) {
    copyList(faceInputs, copy.bytes);
    copy.valid = true;
}

void copyInputs(FrameInputs& copy) {
    copyList(liveInputs, copyList(faceInputs, copy.bytes));
    copy.valid = true;
}

bool inputsUnchanged(const FaceInputs& copy) {
    const unsigned char* from = copy.bytes;
    return copy.valid && sameList(faceInputs, from);
}

bool inputsUnchanged(const FrameInputs& copy) {
    const unsigned char* from = copy.bytes;
    return copy.valid && sameList(faceInputs, from) && sameList(liveInputs, from);
}
