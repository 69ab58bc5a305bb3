#include "support/link_state.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <pty.h>
#include <sys/stat.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include "link/capture_log.h"
#include "link/controller_protocol.h"
#include "link/link_session.h"
#include "link/serial_port.h"
#include "link/trip_log.h"
#include "platform/capture_folder.h"
#include "platform/message_box.h"
#include "platform/posix/serial_write.h"
#include "shell/settings.h"
#include "support/process.h"

std::vector<std::string> errorBoxes;

namespace {
std::vector<std::string> notedLogs;
timespec resetTime{}; // logs written since belong to the test

void captureBox(const char* text) {
    errorBoxes.emplace_back(text);
}

std::string regularFileOf(std::FILE* file);

// The last test may fail before it releases the link: its logs go when the program ends.
const struct LogsAtExit {
    ~LogsAtExit() {
        for (std::FILE* file : {captureLog, tripLog}) {
            const std::string name = regularFileOf(file);
            if (!name.empty()) {
                notedLogs.push_back(name);
            }
        }
        for (const std::string& name : notedLogs) {
            std::remove(name.c_str());
        }
    }
} logsAtExit;
} // namespace

void resetLinkState() {
    noteCaptureLog(); // what an earlier test left open goes with this one
    closePort();
    captureLogPath[0] = '\0';
    clock_gettime(CLOCK_REALTIME_COARSE, &resetTime); // the clock file times are taken from
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
bool isRegularFile(const std::string& name) {
    struct stat info;
    return !name.empty() && lstat(name.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// Only a regular file can be a log the link made: it never opens over an existing record, and
// a device given as the log (such as /dev/null) is written to, never made, so never removed.
std::string noteLog(const std::string& name) {
    if (!isRegularFile(name)) {
        return std::string();
    }
    if (std::find(notedLogs.begin(), notedLogs.end(), name) == notedLogs.end()) {
        notedLogs.push_back(name);
    }
    removeWhenTestEnds(name);
    return name;
}

std::string openFileName(const std::string& link) {
    char path[4096];
    const ssize_t length = readlink(link.c_str(), path, sizeof path - 1);
    return length > 0 ? std::string(path, static_cast<std::size_t>(length)) : std::string();
}

std::string regularFileOf(std::FILE* file) {
    if (file == nullptr) {
        return std::string();
    }
    const std::string name = openFileName("/proc/self/fd/" + std::to_string(fileno(file)));
    return isRegularFile(name) ? name : std::string();
}

std::string noteOpenFile(std::FILE* file) {
    return noteLog(regularFileOf(file));
}

// A log the link made since the reset and has closed again (a start that failed half way closes
// it before the test can look): found by the name the link keeps, and only when the file was
// written since the reset, so that nobody else's file of that name is taken for ours.
void noteClosedLog(const std::string& name) {
    struct stat info;
    if (!name.empty() && lstat(name.c_str(), &info) == 0 &&
        (info.st_mtim.tv_sec > resetTime.tv_sec ||
         (info.st_mtim.tv_sec == resetTime.tv_sec && info.st_mtim.tv_nsec >= resetTime.tv_nsec))) {
        noteLog(name);
    }
}
} // namespace

std::string noteCaptureLog() {
    noteOpenFile(tripLog);
    if (captureLogPath[0] != '\0') {
        char trip[4096];
        tripLogName(captureLogPath, trip, sizeof trip);
        noteClosedLog(trip);
        noteClosedLog(captureLogPath);
    }
    return noteOpenFile(captureLog);
}

std::string noteTripLog() {
    return noteOpenFile(tripLog);
}

std::string noteCaptureLogOf(pid_t pid) {
    const std::string folder = "/proc/" + std::to_string(pid) + "/fd";
    DIR* fds = opendir(folder.c_str());
    if (fds == nullptr) {
        return std::string();
    }
    std::string capture;
    while (const dirent* entry = readdir(fds)) {
        const std::string name = openFileName(folder + "/" + entry->d_name);
        const std::string base = name.substr(name.rfind('/') + 1);
        if (base.rfind("kestro_original_", 0) == 0 && name.size() > 4 &&
            name.compare(name.size() - 4, 4, ".log") == 0) {
            capture = name;
            break;
        }
    }
    closedir(fds);
    if (!capture.empty()) {
        char trip[4096];
        tripLogName(capture.c_str(), trip, sizeof trip);
        noteLog(trip);
        noteLog(capture);
    }
    return capture;
}
