// A settings file of arbitrary bytes, loaded as the program loads it, then everything that reads
// the record: the adapted dial tables, the cell layout, one whole frame drawn offscreen (with a
// reply line and link flags from the same input), and the setup dialog's control record.
// Needs an X display (run under tools/with-xvfb.sh).
#include <SDL.h>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

#include "dashboard/frame.h"
#include "link/controller_protocol.h"
#include "link/quantities.h"
#include "shell/app.h"
#include "shell/gl_window.h"
#include "shell/settings.h"
#include "support/gl_context.h"
#include "support/settings_frame.h"

namespace {
constexpr int width = 800;
constexpr int height = 600;
GlContext gl;
GlWindow window{};
int32_t keys[256]{};
std::string filePath;
int fileHandle = -1;

void fail(const std::string& what) {
    std::fprintf(stderr, "settings_record_fuzz: %s\n", what.c_str());
    std::abort();
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::string why;
    if (!openGlContext(gl, width, height, &why)) {
        fail("no GL context: " + why);
    }
    if (!initDashboard(window, keys)) {
        fail("no font");
    }
    // The file lives in memory: loadSettings opens it by name like any other.
    fileHandle = memfd_create("KestroView.ini", 0);
    if (fileHandle < 0) {
        fail("no memory file");
    }
    filePath = "/proc/self/fd/" + std::to_string(fileHandle);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (ftruncate(fileHandle, 0) != 0 ||
        pwrite(fileHandle, data, size, 0) != static_cast<ssize_t>(size)) {
        fail("cannot write the memory file");
    }
    settings = defaultSettings();
    const Settings before = settings;
    const bool loaded = loadSettings(filePath.c_str());
    if (loaded != (size >= sizeof(Settings))) {
        fail("a file of " + std::to_string(size) + " bytes loaded as " + std::to_string(loaded));
    }
    if (!loaded && std::memcmp(&before, &settings, sizeof settings) != 0) {
        fail("a short file changed the record");
    }

    // Past the record: the link flags, then a reply line.
    const uint8_t* rest = data + (loaded ? sizeof(Settings) : size);
    std::size_t restSize = loaded ? size - sizeof(Settings) : 0;
    const uint8_t flags = restSize > 0 ? rest[0] : 0;
    if (restSize > 0) {
        ++rest;
        --restSize;
    }
    debugMode = flags & 1;
    mwMode = (flags >> 1) & 1;
    linkRunning = ((flags >> 2) & 1) != 0;
    applySettingsRecord();

    const std::string layout = checkCellLayout(width, height);
    if (!layout.empty()) {
        fail(layout);
    }
    const std::string controls = checkControlsRoundTrip(settings);
    if (!controls.empty()) {
        fail(controls);
    }

    char line[sizeof telemetry.lastLine];
    const std::size_t length = restSize < sizeof line - 1 ? restSize : sizeof line - 1;
    std::memcpy(line, rest, length);
    line[length] = '\0';
    telemetry = Telemetry{};
    std::memcpy(telemetry.lastLine, line, length + 1);
    parseReplyLine(line);
    tripTotals = TripTotals{};
    for (uint32_t ms : {16u, 0u, 1000u}) {
        accumulateFrame(ms);
    }
    drawSettingsFrame(width, height);
    return 0;
}
