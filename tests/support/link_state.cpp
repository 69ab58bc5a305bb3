#include "support/link_state.h"

#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include "link/controller_protocol.h"
#include "link/serial_port.h"
#include "platform/message_box.h"
#include "shell/settings.h"

std::vector<std::string> errorBoxes;

namespace {
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
    closePort();
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
