#include "support/link_state.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include "link/controller_protocol.h"
#include "link/serial_port.h"
#include "link/trip_log.h"
#include "platform/message_box.h"
#include "shell/settings.h"

std::vector<std::string> errorBoxes;

namespace {
std::vector<std::string> notedLogs;

void captureBox(const char* text) {
    errorBoxes.emplace_back(text);
}
} // namespace

void resetLinkState() {
    closePort();
    linkRunning = false;
    lineFill = 0;
    std::memset(lineBuffer, 0, sizeof lineBuffer);
    telemetry = Telemetry{};
    settings = defaultSettings();
    setPortWriteFunction(nullptr);
    errorBoxes.clear();
    setErrorBoxHook(captureBox);
}

void releaseLinkState() {
    noteCaptureLog(); // a test that never asked still leaves nothing behind
    closePort();
    for (const std::string& name : notedLogs) {
        std::remove(name.c_str());
    }
    notedLogs.clear();
    linkRunning = false;
    setPortWriteFunction(nullptr);
    setErrorBoxHook(nullptr);
}

TerminalPair openTerminalPair() {
    TerminalPair pair;
    int slave = -1;
    char name[256];
    termios raw;
    std::memset(&raw, 0, sizeof raw);
    cfmakeraw(&raw);
    if (openpty(&pair.master, &slave, name, &raw, nullptr) != 0) {
        return pair;
    }
    // Held so the line stays up whether or not the port has the device open.
    pair.slave = slave;
    pair.slavePath = name;
    return pair;
}

void closeTerminalPair(TerminalPair& pair) {
    if (pair.slave >= 0) {
        close(pair.slave);
        pair.slave = -1;
    }
    if (pair.master >= 0) {
        close(pair.master);
        pair.master = -1;
    }
}

void writeAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t count = write(fd, bytes.data() + done, bytes.size() - done);
        if (count <= 0) {
            return;
        }
        done += static_cast<std::size_t>(count);
    }
}

bool openPortOn(const TerminalPair& pair, const char* logName) {
    if (!openPort(pair.slavePath.c_str(), logName)) {
        return false;
    }
    lineFill = 0;
    linkRunning = true;
    return true;
}

namespace {
std::string noteOpenFile(std::FILE* file) {
    if (file == nullptr) {
        return std::string();
    }
    char path[4096];
    const std::string link = "/proc/self/fd/" + std::to_string(fileno(file));
    const ssize_t length = readlink(link.c_str(), path, sizeof path - 1);
    if (length <= 0) {
        return std::string();
    }
    const std::string name(path, static_cast<std::size_t>(length));
    if (std::find(notedLogs.begin(), notedLogs.end(), name) == notedLogs.end()) {
        notedLogs.push_back(name);
    }
    return name;
}
} // namespace

std::string noteCaptureLog() {
    noteOpenFile(tripLog);
    return noteOpenFile(captureLog);
}

std::string noteTripLog() {
    return noteOpenFile(tripLog);
}
