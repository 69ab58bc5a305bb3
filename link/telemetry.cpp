// Parsing in place: the fields are read where they stand in the line, without copying or
// allocating.
#include "link/telemetry.h"

#include <algorithm>

Telemetry telemetry;

namespace {
bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}
} // namespace

int32_t readHexField(const char* text, const char** end) {
    const char* p = text;
    while (isBlank(*p)) {
        ++p;
    }
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    // "0x" is a prefix only when a digit follows it; otherwise the 0 is the number.
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X') && hexDigit(p[2]) >= 0) {
        p += 2;
    }
    if (hexDigit(*p) < 0) {
        *end = text;
        return 0;
    }
    // The magnitude saturates at 2^31, the largest a 32-bit result needs, so long runs cannot
    // overflow.
    constexpr uint64_t limit = uint64_t{1} << 31;
    uint64_t magnitude = 0;
    for (; hexDigit(*p) >= 0; ++p) {
        magnitude = std::min(magnitude * 16 + static_cast<uint64_t>(hexDigit(*p)), limit);
    }
    *end = p;
    if (negative) {
        return static_cast<int32_t>(-static_cast<int64_t>(magnitude));
    }
    return static_cast<int32_t>(std::min(magnitude, uint64_t{INT32_MAX}));
}

StatusFlags parseStatusLetters(const char* text) {
    while (*text == ' ') {
        ++text;
    }
    static const char letters[] = "SGOMRFPSV";
    uint8_t found[9];
    const char* letter = letters;
    for (uint8_t& flag : found) {
        flag = *text == *letter++ ? 1 : 0;
        text += flag;
    }
    return StatusFlags{found[0], found[1], found[2], found[3], found[4],
                       found[5], found[6], found[7], found[8]};
}

void parseReplyLine(const char* line) {
    const char* position = line;
    for (float& channel : telemetry.rawChannels) {
        channel = readHexField(position, &position);
    }
    telemetry.statusFlags = parseStatusLetters(position);
}
