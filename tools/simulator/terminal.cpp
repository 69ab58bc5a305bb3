#include "terminal.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

bool openTerminal(int comNumber, Terminal& terminal) {
    terminal.link = "COM" + std::to_string(comNumber);
    struct stat existing;
    if (lstat(terminal.link.c_str(), &existing) == 0) {
        if (!S_ISLNK(existing.st_mode)) {
            std::fprintf(stderr, "kestroview-sim: %s exists and is not a link; not replaced\n",
                         terminal.link.c_str());
            return false;
        }
        unlink(terminal.link.c_str()); // a link left by an earlier run
    }
    terminal.master = posix_openpt(O_RDWR | O_NOCTTY);
    if (terminal.master < 0 || grantpt(terminal.master) != 0 || unlockpt(terminal.master) != 0) {
        std::fprintf(stderr, "kestroview-sim: no pseudo-terminal: %s\n", std::strerror(errno));
        return false;
    }
    terminal.device = ptsname(terminal.master);
    terminal.slave = open(terminal.device.c_str(), O_RDWR | O_NOCTTY);
    if (terminal.slave < 0) {
        std::fprintf(stderr, "kestroview-sim: %s: %s\n", terminal.device.c_str(),
                     std::strerror(errno));
        return false;
    }
    // A serial line carries bytes as sent: no echo, no translation, no line editing.
    termios line;
    tcgetattr(terminal.slave, &line);
    cfmakeraw(&line);
    tcsetattr(terminal.slave, TCSANOW, &line);
    fcntl(terminal.master, F_SETFL, fcntl(terminal.master, F_GETFL) | O_NONBLOCK);
    if (symlink(terminal.device.c_str(), terminal.link.c_str()) != 0) {
        std::fprintf(stderr, "kestroview-sim: cannot link %s: %s\n", terminal.link.c_str(),
                     std::strerror(errno));
        return false;
    }
    return true;
}

int unreadBytes(const Terminal& terminal) {
    int count = 0;
    if (ioctl(terminal.slave, TIOCINQ, &count) != 0) {
        return 0;
    }
    return count;
}

void closeTerminal(Terminal& terminal) {
    if (!terminal.link.empty()) {
        unlink(terminal.link.c_str());
        terminal.link.clear();
    }
    if (terminal.slave >= 0) {
        close(terminal.slave);
        terminal.slave = -1;
    }
    if (terminal.master >= 0) {
        close(terminal.master);
        terminal.master = -1;
    }
}
