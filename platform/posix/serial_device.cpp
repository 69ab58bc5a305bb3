// The serial port on termios. The device is opened non-blocking and kept that way: a read takes
// only what has already arrived, and a write waits for the line with poll, never longer than the
// bound the controller link has always allowed (100 ms + 100 ms per byte).
#include "platform/serial_device.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include "platform/clock.h"
#include "platform/posix/serial_write.h"

PortHandle portHandle = -1;

namespace {
PortWriteFunction portWrite = ::write;

// Exclusive mode is a flag of the device, not of our descriptor: on a pseudo-terminal it outlives
// the close, and a user's next open of the device would fail until it is cleared. Set only when
// this program set it, so that a flag another program holds is never cleared here.
bool exclusiveModeTaken = false;

bool takeExclusiveMode(int fd) {
    int held; // read only when TIOCGEXCL succeeds, which sets it
    if (ioctl(fd, TIOCGEXCL, &held) == 0 && held != 0) {
        return true; // already held by another; only root gets this far, and leaves it as it is
    }
    if (ioctl(fd, TIOCEXCL) != 0) {
        return false;
    }
    exclusiveModeTaken = true;
    return true;
}

// Also run when the program ends: the link is not stopped then (no stop bytes), but the device
// must not stay locked for the next program that opens it.
void releaseExclusiveMode() {
    if (exclusiveModeTaken) {
        ioctl(portHandle, TIOCNXCL);
        exclusiveModeTaken = false;
    }
}

// Raw 9600 8N1. Hardware flow control stays as the driver reports it; software flow control is
// off both ways with the rest of the special characters (cfmakeraw leaves IXOFF and IXANY as it
// finds them): every byte received is data, and no XON or XOFF of ours ever reaches the
// controller's command input when a stalled frame lets the input fill up.
bool configureLine(int fd) {
    termios line;
    if (tcgetattr(fd, &line) != 0) {
        return false;
    }
    const tcflag_t hardwareFlow = line.c_cflag & CRTSCTS;
    cfmakeraw(&line);
    line.c_iflag &= ~(IXOFF | IXANY);
    line.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
    line.c_cflag |= CS8 | CLOCAL | CREAD | hardwareFlow;
    // VMIN 1 makes an empty non-blocking read fail with EAGAIN, so that a read of 0 bytes means
    // end of file (the device went away) and is never confused with "nothing yet".
    line.c_cc[VMIN] = 1;
    line.c_cc[VTIME] = 0;
    cfsetspeed(&line, B9600); // fails only for a value that is no speed constant
    return tcsetattr(fd, TCSANOW, &line) == 0;
}
} // namespace

void setPortWriteFunction(PortWriteFunction write) {
    portWrite = write != nullptr ? write : ::write;
}

bool openDevice(const char* portName) {
    portHandle = open(portName, O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (portHandle < 0) {
        return false;
    }
    static const int releasedAtExit = std::atexit(releaseExclusiveMode);
    (void)releasedAtExit;
    // Both locks: flock keeps out other programs that take it, TIOCEXCL every other open. Every
    // failure from here on leaves the device open for the caller's report, after which
    // closeDevice releases both.
    if (flock(portHandle, LOCK_EX | LOCK_NB) != 0 || !takeExclusiveMode(portHandle)) {
        return false;
    }
    return configureLine(portHandle);
}

void closeDevice() {
    if (portHandle >= 0) {
        releaseExclusiveMode();
        close(portHandle);
        portHandle = -1;
    }
}

bool isPortClosed() {
    return portHandle < 0;
}

int lastDeviceError() {
    return errno;
}

PortTransfer writeDevice(const char* bytes, int length) {
    const uint32_t limitMs = 100u + 100u * static_cast<uint32_t>(length);
    const uint32_t begin = tickCount();
    PortTransfer sent;
    while (sent.count < length) {
        const ssize_t count = portWrite(portHandle, bytes + sent.count,
                                        static_cast<std::size_t>(length - sent.count));
        if (count > 0) {
            sent.count += static_cast<int>(count);
            continue;
        }
        if (count < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            sent.error = errno;
            return sent;
        }
        const uint32_t spent = tickCount() - begin;
        if (spent >= limitMs) {
            break;
        }
        pollfd wait{portHandle, POLLOUT, 0};
        poll(&wait, 1, static_cast<int>(limitMs - spent));
    }
    return sent;
}

bool waitDeviceInput(int timeoutMs) {
    if (portHandle < 0) {
        return false;
    }
    pollfd device{portHandle, POLLIN, 0};
    // An error or a hang-up counts too: the read that follows reports it.
    return poll(&device, 1, timeoutMs) > 0;
}

PortTransfer readDevice(char* buffer, int maxCount) {
    PortTransfer received;
    if (maxCount <= 0) {
        return received;
    }
    const ssize_t count = read(portHandle, buffer, static_cast<size_t>(maxCount));
    if (count > 0) {
        received.count = static_cast<int>(count);
    } else if (count == 0) {
        // End of file: the far end hung up, which the system calls an I/O error.
        received.error = EIO;
    } else if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
        received.error = errno;
    }
    return received;
}

namespace {
// Serial devices belong to a group ("dialout" on Debian) whose members may open them; a new
// user is rarely a member, and the bare "Permission denied" does not say what to do. A group
// without a name has no members to join, and a device that cannot be looked at (a folder on the
// way is closed) is not the group's doing: neither gets the advice.
bool permissionHelp(const char* portName, char* text, std::size_t size) {
    struct stat info;
    if (stat(portName, &info) != 0) {
        return false;
    }
    const group* owner = getgrgid(info.st_gid);
    if (owner == nullptr) {
        return false;
    }
    char groupName[64];
    std::snprintf(groupName, sizeof groupName, "%s", owner->gr_name);
    char device[PATH_MAX];
    if (realpath(portName, device) == nullptr) {
        std::snprintf(device, sizeof device, "%s", portName);
    }
    const passwd* user = getpwuid(geteuid());
    std::snprintf(text, size,
                  "%s. %s belongs to the group \"%s\": the user may need to join it (sudo adduser "
                  "%s %s) and log in again.",
                  strerrordesc_np(EACCES), device, groupName,
                  user != nullptr ? user->pw_name : "$USER", groupName);
    return true;
}
} // namespace

void portErrorText(int code, char* text, std::size_t size) {
    if (code == ENOENT) {
        std::snprintf(text, size, "%s", "The selected COM port could not be opened");
        return;
    }
    const char* description = strerrordesc_np(code);
    if (description != nullptr) {
        std::snprintf(text, size, "%s", description);
    } else {
        std::snprintf(text, size, "Unknown error %d", code);
    }
}

void openFailureText(int code, const char* portName, char* text, std::size_t size) {
    if (code == EACCES && permissionHelp(portName, text, size)) {
        return;
    }
    portErrorText(code, text, size);
}
