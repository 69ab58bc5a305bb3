// kestroview-sim: plays the motor controller on a pseudo-terminal (see --help). One thread: a
// poll loop that takes in what the dashboard sends and, while the stream runs, sends the next
// line when it is due.
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <poll.h>
#include <random>
#include <string>
#include <time.h>
#include <unistd.h>
#include <vector>

#include "drive_model.h"
#include "options.h"
#include "terminal.h"

namespace {
volatile std::sig_atomic_t stopRequested = 0;

void onSignal(int) {
    stopRequested = 1;
}

double nowMs() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1000.0 + t.tv_nsec / 1e6;
}

struct Simulator {
    SimOptions options;
    Terminal terminal;
    double startMs = 0;
    bool armed = false; // "p\r\n" received
    bool streaming = false;
    std::string recent; // the last few bytes received, to spot the commands across reads
    DriveState drive;
    std::vector<std::string> replayLines;
    std::size_t replayNext = 0;
    long linesSent = 0;
    std::mt19937 random;
    std::string burst; // burst bytes not yet taken by the terminal; no line goes out before them
    int replugsDone = 0;
    long linesAtReplug = 0; // linesSent when the line was last plugged in
};

void announce(const char* text) {
    std::fprintf(stderr, "%s\n", text);
    std::fflush(stderr);
}

void takeByte(Simulator& sim, char byte) {
    sim.recent += byte;
    if (sim.recent.size() > 8) {
        sim.recent.erase(0, sim.recent.size() - 8);
    }
    auto endsWith = [&](const char* tail) {
        const std::size_t n = std::strlen(tail);
        return sim.recent.size() >= n && sim.recent.compare(sim.recent.size() - n, n, tail) == 0;
    };
    if (endsWith("p\r\n")) {
        sim.armed = true;
    } else if (endsWith("Q4\r\n") && sim.armed && !sim.streaming) {
        sim.streaming = true;
        announce("streaming");
    } else if (endsWith(" \x1b\x1b") && !sim.options.neverQuiet) {
        sim.armed = false;
        if (sim.streaming) {
            sim.streaming = false;
            announce("silent");
        }
    }
}

// Takes in what the dashboard sent and reports it, with the time, as hex bytes.
void receive(Simulator& sim) {
    char bytes[256];
    const ssize_t count = read(sim.terminal.master, bytes, sizeof bytes);
    if (count <= 0) {
        return;
    }
    std::fprintf(stderr, "rx %.0f", nowMs() - sim.startMs);
    for (ssize_t i = 0; i < count; ++i) {
        std::fprintf(stderr, " %02x", static_cast<unsigned char>(bytes[i]));
    }
    std::fputc('\n', stderr);
    std::fflush(stderr);
    for (ssize_t i = 0; i < count; ++i) {
        takeByte(sim, bytes[i]);
    }
}

// 64 KiB of random bytes, none of them a line feed.
std::string floodBytes(Simulator& sim) {
    std::uniform_int_distribution<int> byte(0, 255);
    std::string bytes(65536, '\0');
    for (char& c : bytes) {
        do {
            c = static_cast<char>(byte(sim.random));
        } while (c == '\n');
    }
    return bytes;
}

// A NUL and every byte from 128 to 255 after the fourth field (or at the end of a shorter line).
std::string withRawBytes(const std::string& line) {
    std::size_t at = 0;
    for (int field = 0; field < 4 && at != std::string::npos; ++field) {
        at = line.find(' ', at + 1);
    }
    if (at == std::string::npos) {
        at = line.size() >= 2 ? line.size() - 2 : 0;
    }
    std::string raw(1, '\0');
    for (int b = 128; b < 256; ++b) {
        raw += static_cast<char>(b);
    }
    return line.substr(0, at) + raw + line.substr(at);
}

std::string garbageLine(Simulator& sim) {
    std::uniform_int_distribution<int> length(1, 120);
    std::uniform_int_distribution<int> byte(0, 255);
    std::string line(static_cast<std::size_t>(length(sim.random)), '\0');
    for (char& c : line) {
        do {
            c = static_cast<char>(byte(sim.random));
        } while (c == '\n');
    }
    return line + "\r\n";
}

// The next line to send, CR LF included; empty when a replay has run out.
std::string nextLine(Simulator& sim, double dtSeconds) {
    const SimOptions& o = sim.options;
    if (o.overlongAfter >= 0 && sim.linesSent == o.overlongAfter) {
        return std::string(1100, 'A') + "\r\n";
    }
    if (o.garbageEvery > 0 && (sim.linesSent + 1) % o.garbageEvery == 0) {
        return garbageLine(sim);
    }
    std::string line;
    if (!o.replayPath.empty()) {
        if (sim.replayNext >= sim.replayLines.size() && o.loopReplay) {
            sim.replayNext = 0;
        }
        if (sim.replayNext >= sim.replayLines.size()) {
            return std::string();
        }
        line = sim.replayLines[sim.replayNext++] + "\r\n";
    } else {
        line = nextDriveLine(sim.drive, DriveParameters{o.voc, o.rint, o.ampsPerCount}, dtSeconds);
    }
    if (o.rawBytesEvery > 0 && (sim.linesSent + 1) % o.rawBytesEvery == 0) {
        line = withRawBytes(line);
    }
    return line;
}

// Sends a line as far as the terminal takes it: a dashboard that stopped reading loses bytes,
// as it would on a real wire. What was sent goes to standard output without the CR LF of a whole
// line; a line the terminal refused altogether is not shown. With --feed-every-byte each byte
// goes out with a line feed of its own and shows as a line of its own.
void send(Simulator& sim, const std::string& line, bool whole = true) {
    ++sim.linesSent;
    std::string wire;
    if (sim.options.feedEveryByte) {
        const std::size_t body =
            !line.empty() && line.back() == '\n' ? line.size() - 1 : line.size();
        for (std::size_t i = 0; i < body; ++i) {
            wire += line[i];
            wire += '\n';
        }
    } else {
        wire = line;
    }
    const ssize_t count = write(sim.terminal.master, wire.data(), wire.size());
    if (count <= 0) {
        return;
    }
    if (sim.options.feedEveryByte) {
        for (ssize_t i = 0; i + 1 < count; i += 2) {
            if (wire[static_cast<std::size_t>(i)] != '\r') {
                std::fputc(wire[static_cast<std::size_t>(i)], stdout);
            }
            std::fputc('\n', stdout);
        }
        std::fflush(stdout);
        return;
    }
    std::size_t shown = static_cast<std::size_t>(count);
    if (whole && shown == line.size()) {
        shown -= 2;
    }
    std::fwrite(line.data(), 1, shown, stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// Passes on as much of the pending burst as the terminal takes now; the rest waits for room.
// The burst shows on standard output as one line once all of it has gone.
void sendBurst(Simulator& sim) {
    const ssize_t count = write(sim.terminal.master, sim.burst.data(), sim.burst.size());
    if (count <= 0) {
        usleep(10000); // no room yet
        return;
    }
    std::fwrite(sim.burst.data(), 1, static_cast<std::size_t>(count), stdout);
    sim.burst.erase(0, static_cast<std::size_t>(count));
    if (sim.burst.empty()) {
        std::fputc('\n', stdout);
    }
    std::fflush(stdout);
}

// Waits (bounded) until the dashboard has read everything, so the hang-up loses no line.
void hangUp(Simulator& sim) {
    const double giveUp = nowMs() + 10000;
    while (unreadBytes(sim.terminal) > 0 && nowMs() < giveUp && stopRequested == 0) {
        usleep(10000);
    }
    usleep(100000);
    announce("hangup");
    closeTerminal(sim.terminal);
}

// Unplugs the line once the dashboard has read it all, and plugs a new one in under the same
// link after a while: the controller behind it powers up silent, as after a real replug.
bool replug(Simulator& sim) {
    hangUp(sim);
    const double until = nowMs() + sim.options.replugMs;
    while (nowMs() < until && stopRequested == 0) {
        usleep(10000);
    }
    if (stopRequested != 0 || !openTerminal(sim.options.comNumber, sim.terminal)) {
        return false;
    }
    sim.armed = false;
    sim.streaming = false;
    sim.recent.clear();
    ++sim.replugsDone;
    sim.linesAtReplug = sim.linesSent;
    announce("replugged");
    return true;
}

bool loadReplay(Simulator& sim) {
    std::ifstream in(sim.options.replayPath, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "kestroview-sim: cannot read %s\n", sim.options.replayPath.c_str());
        return false;
    }
    std::string line;
    while (std::getline(in, line)) {
        sim.replayLines.push_back(line);
    }
    return true;
}
} // namespace

int main(int argc, char** argv) {
    Simulator sim;
    const int exitCode = parseOptions(argc, argv, sim.options);
    if (exitCode >= 0) {
        return exitCode;
    }
    sim.random.seed(sim.options.seed);
    sim.drive.seconds = sim.options.startAt;
    if (!sim.options.replayPath.empty() && !loadReplay(sim)) {
        return 1;
    }
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    if (!openTerminal(sim.options.comNumber, sim.terminal)) {
        closeTerminal(sim.terminal);
        return 1;
    }
    sim.startMs = nowMs();
    if (sim.options.streamingAtStart) {
        sim.armed = true;
        sim.streaming = true;
    }
    std::fprintf(stderr, "ready %s -> %s\n", sim.terminal.link.c_str(),
                 sim.terminal.device.c_str());
    std::fflush(stderr);

    const double periodMs = 1000.0 / sim.options.linesPerSecond;
    double dueMs = 0;
    double lastLineMs = nowMs();
    while (stopRequested == 0) {
        const double now = nowMs();
        if (!sim.burst.empty()) {
            sendBurst(sim);
        } else if (sim.streaming && now >= dueMs) {
            const SimOptions& o = sim.options;
            if (o.floodAfter >= 0 && sim.linesSent == o.floodAfter) {
                // The burst goes out as fast as the terminal takes it, faster than any wire.
                ++sim.linesSent;
                sim.burst = floodBytes(sim);
                continue;
            }
            std::string line = nextLine(sim, (now - lastLineMs) / 1000.0);
            lastLineMs = now;
            const bool hangingUp = o.hangupAfter >= 0 && sim.linesSent + 1 >= o.hangupAfter;
            const bool half = hangingUp && o.hangupMidLine && !line.empty();
            if (half) {
                line = line.substr(0, (line.size() - 2) / 2);
            }
            if (!line.empty()) {
                send(sim, line, !half);
            }
            // 9600 baud, 10 bits a byte: a line cannot follow sooner than its bytes take.
            const double wireBytes = line.size() * (o.feedEveryByte ? 2.0 : 1.0);
            const double wireMs = wireBytes * 10.0 * 1000.0 / 9600.0;
            dueMs = std::max(dueMs + std::max(periodMs, wireMs), now + wireMs);
            if (o.hangupAfter >= 0 && sim.linesSent >= o.hangupAfter) {
                hangUp(sim);
                return 0;
            }
            if (o.replugAfter >= 0 && sim.replugsDone < o.replugs &&
                sim.linesSent - sim.linesAtReplug >= o.replugAfter && !replug(sim)) {
                closeTerminal(sim.terminal);
                return stopRequested != 0 ? 0 : 1;
            }
            continue;
        }
        if (!sim.streaming) {
            dueMs = now; // the first line follows the start at once
            lastLineMs = now;
        }
        double waitMs = sim.streaming ? std::max(0.0, dueMs - now) : 1000.0;
        short events = POLLIN;
        if (!sim.burst.empty()) {
            events |= POLLOUT;
            waitMs = 50.0; // room may come without an event when the far end is closed
        }
        pollfd wait{sim.terminal.master, events, 0};
        const int ready = poll(&wait, 1, static_cast<int>(waitMs) + 1);
        if (ready > 0 && (wait.revents & POLLIN) != 0) {
            receive(sim);
        } else if (ready > 0 && (wait.revents & POLLOUT) == 0) {
            usleep(10000); // POLLHUP without a reader: nothing to take, do not spin
        }
    }
    closeTerminal(sim.terminal);
    return 0;
}
