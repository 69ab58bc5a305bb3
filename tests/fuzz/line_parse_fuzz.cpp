// One received line of arbitrary bytes straight to the parse and the quantities drawn from it, no
// port and no pipe, so that millions of lines a minute reach the parse. Each field must read as
// the C library's strtol in base 16 reads it, held to 32 bits; the flags must be those the letters
// name and nothing but 0 or 1; every gauge quantity and the totals after a few frames must be
// finite, and the kinds without a value exactly -999.
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fuzzer/FuzzedDataProvider.h>

#include "link/quantities.h"
#include "link/telemetry.h"
#include "shell/app.h"
#include "shell/settings.h"

namespace {
ChannelCalibration initialCalibration[9];

void fail(const char* what, const char* line) {
    std::fprintf(stderr, "line_parse_fuzz: %s in \"%s\"\n", what, line);
    std::abort();
}

// The reference: strtol on a 64-bit long, then held to the 32 bits a controller field has.
int32_t strtolField(const char* text, const char** end) {
    char* stop = nullptr;
    errno = 0;
    const long value = std::strtol(text, &stop, 16);
    *end = stop;
    if (value > INT32_MAX) {
        return INT32_MAX;
    }
    if (value < INT32_MIN) {
        return INT32_MIN;
    }
    return static_cast<int32_t>(value);
}

// Any finite float, as the setup dialog can store: the bits, with NaN and infinity folded away.
float finiteFloat(uint32_t bits) {
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return std::isfinite(value) ? value : 0.0124f;
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::memcpy(initialCalibration, channelCalibration, sizeof initialCalibration);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    // The options are taken from the input's end, so that a plain line is a line as it stands.
    const uint8_t options = input.ConsumeIntegral<uint8_t>();
    const uint32_t speedBits = input.ConsumeIntegral<uint32_t>();
    const uint32_t elapsedMs = input.ConsumeIntegral<uint32_t>();
    // A line reaches the parse without its line end, at most 1023 bytes, ended by its first NUL.
    char text[1024];
    const std::size_t length = std::min(input.remaining_bytes(), sizeof text - 1);
    std::memcpy(text, data, length); // the options came off the end: the rest is the line
    text[length] = '\0';

    settings = defaultSettings();
    settings.controllerModel = options & 1;
    settings.temperatureUnit = (options >> 1) & 1;
    mwMode = (options >> 2) & 1;
    if ((options & 8) != 0) {
        settings.rpmToSpeed = finiteFloat(speedBits);
    }
    std::memcpy(channelCalibration, initialCalibration, sizeof channelCalibration);
    applyCalibrationOverrides();
    tripTotals = TripTotals{};

    parseReplyLine(text);

    const char* position = text;
    for (int channel = 0; channel < 9; ++channel) {
        const float expected = static_cast<float>(strtolField(position, &position));
        if (!(telemetry.rawChannels[channel] == expected)) {
            fail("a field does not read as strtol reads it", text);
        }
    }
    while (*position == ' ') {
        ++position;
    }
    const uint8_t* flags = &telemetry.statusFlags.stopped;
    static const char letters[] = "SGOMRFPSV";
    for (int k = 0; k < 9; ++k) {
        const uint8_t expected = *position == letters[k] ? 1 : 0;
        position += expected;
        if (flags[k] != expected) {
            fail(flags[k] > 1 ? "a flag is neither 0 nor 1" : "a flag not as its letter says",
                 text);
        }
    }

    for (int round = 0; round < 2; ++round) {
        for (int32_t kind = 0; kind <= 12; ++kind) {
            if (!std::isfinite(quantityByKind(kind))) {
                fail("a quantity is not finite", text);
            }
        }
        for (int32_t kind : {-1, 13, 14, INT32_MIN, INT32_MAX}) {
            if (quantityByKind(kind) != -999.0) {
                fail("a kind without a value is not -999", text);
            }
        }
        if (tripTotals.distance <= 0.0 && quantityByKind(11) != 0.0) {
            fail("energy per distance without distance", text);
        }
        if (!(static_cast<float>(quantityByKind(8)) > 0.0f) && quantityByKind(12) != 0.0) {
            fail("energy per distance now without speed", text);
        }
        accumulateFrame(elapsedMs);
        if (!std::isfinite(tripTotals.chargeAmpMs) || !std::isfinite(tripTotals.energyWattMs) ||
            !std::isfinite(tripTotals.distance)) {
            fail("a trip total is not finite", text);
        }
    }
    return 0;
}
