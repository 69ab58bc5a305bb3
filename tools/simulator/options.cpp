#include "options.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {
const char* const helpText =
    "Usage: kestroview-sim [options]\n"
    "Plays the motor controller on a pseudo-terminal. The terminal's slave side is linked as\n"
    "COM<n> in the working directory, where the dashboard looks for COM port n. The simulator\n"
    "stays silent until it has received \"p\\r\\n\" and then \"Q4\\r\\n\", then sends one reply "
    "line\n"
    "after another (nine base-16 fields and the status letters, ended by CR LF) and falls silent\n"
    "on the stop bytes (space, escape, escape). It runs until SIGTERM or SIGINT, then removes the\n"
    "link.\n"
    "\n"
    "The lines follow a repeating drive: throttle, duty cycle, motor current and speed rise and\n"
    "fall together, the contactor and direction letters match, and the battery voltage sags with\n"
    "the battery current (motor current x duty cycle) along V = Voc - Rint x I; each line's raw\n"
    "fields are picked so that the pair lies on that line as closely as the counts allow.\n"
    "\n"
    "Options:\n"
    "  --com N            COM number to link (default 1)\n"
    "  --rate R           reply lines per second (default 10); never faster than 9600 baud\n"
    "                     carries them (10 bits per byte)\n"
    "  --voc V            battery open-circuit voltage in volts (default 120)\n"
    "  --rint R           battery internal resistance in ohms (default 0.05)\n"
    "  --start-at S       begin S seconds into the 24 s drive (default 0: standing;\n"
    "                     2: pulling away)\n"
    "  --k2k              motor current counts of 10 A (default 5 A)\n"
    "  --replay FILE      send the lines of a capture log instead of the drive (CR LF added)\n"
    "  --loop             with --replay: start again after the last line (default: fall silent)\n"
    "  --seed N           seed of the random garbage (default 1)\n"
    "Faults, for tests:\n"
    "  --garbage N        every Nth line is random bytes (NULs included) ended by CR LF\n"
    "  --overlong-after N after N lines, one line of 1100 bytes before its CR LF\n"
    "  --hangup-after N   after N lines (once the dashboard has read them), close the terminal\n"
    "                     and exit\n"
    "  --never-quiet      keep streaming after the stop bytes\n"
    "  --streaming        stream from the start, as a controller an earlier run left streaming\n"
    "  --replug-after N   after N lines (once the dashboard has read them), close the terminal\n"
    "                     (an unplug), and after --replug-ms make a new one under the same COM\n"
    "                     link (a replug): a controller powered up afresh, silent until started;\n"
    "                     again after every N lines, --replugs times in all\n"
    "  --replugs K        with --replug-after: how many replugs (default 2)\n"
    "  --replug-ms MS     with --replug-after: how long the line stays unplugged (default 1500)\n"
    "  --hangup-mid-line  with --hangup-after: the last line goes out only half, without its\n"
    "                     CR LF\n"
    "  --flood-after N    after N lines, a burst of 65536 random bytes without a line feed,\n"
    "                     then the lines go on\n"
    "  --feed-every-byte  a line feed after every byte of every line (its CR included)\n"
    "  --raw-bytes N      every Nth line holds a NUL and the bytes 128 to 255 after its fourth\n"
    "                     field\n"
    "  --help             show this text\n"
    "\n"
    "Standard output: every line sent, without its CR LF, followed by a line feed (with\n"
    "--feed-every-byte: every one-byte line; a half line or a burst as far as it went).\n"
    "Standard error: \"ready COM<n> -> <device>\", \"streaming\", \"silent\", \"hangup\",\n"
    "\"replugged\", and one\n"
    "line \"rx <ms> <hex bytes>\" per read of what the dashboard sent (ms since the start).\n";

bool numberArgument(int argc, char** argv, int& i, double& value) {
    if (i + 1 >= argc) {
        std::fprintf(stderr, "kestroview-sim: %s needs a value\n", argv[i]);
        return false;
    }
    char* end = nullptr;
    value = std::strtod(argv[i + 1], &end);
    if (end == argv[i + 1] || *end != '\0') {
        std::fprintf(stderr, "kestroview-sim: %s: not a number: %s\n", argv[i], argv[i + 1]);
        return false;
    }
    ++i;
    return true;
}
} // namespace

int parseOptions(int argc, char** argv, SimOptions& options) {
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        double value = 0;
        bool ok = true;
        if (std::strcmp(arg, "--help") == 0) {
            std::fputs(helpText, stdout);
            return 0;
        } else if (std::strcmp(arg, "--k2k") == 0) {
            options.ampsPerCount = 10.0;
        } else if (std::strcmp(arg, "--loop") == 0) {
            options.loopReplay = true;
        } else if (std::strcmp(arg, "--never-quiet") == 0) {
            options.neverQuiet = true;
        } else if (std::strcmp(arg, "--streaming") == 0) {
            options.streamingAtStart = true;
        } else if (std::strcmp(arg, "--replug-after") == 0 &&
                   (ok = numberArgument(argc, argv, i, value))) {
            options.replugAfter = static_cast<int>(value);
        } else if (std::strcmp(arg, "--replugs") == 0 &&
                   (ok = numberArgument(argc, argv, i, value))) {
            options.replugs = static_cast<int>(value);
        } else if (std::strcmp(arg, "--replug-ms") == 0 &&
                   (ok = numberArgument(argc, argv, i, value))) {
            options.replugMs = value;
        } else if (std::strcmp(arg, "--hangup-mid-line") == 0) {
            options.hangupMidLine = true;
        } else if (std::strcmp(arg, "--feed-every-byte") == 0) {
            options.feedEveryByte = true;
        } else if (std::strcmp(arg, "--replay") == 0) {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "kestroview-sim: --replay needs a file\n");
                return 2;
            }
            options.replayPath = argv[++i];
        } else if (std::strcmp(arg, "--com") == 0 && (ok = numberArgument(argc, argv, i, value))) {
            options.comNumber = static_cast<int>(value);
        } else if (std::strcmp(arg, "--rate") == 0 && (ok = numberArgument(argc, argv, i, value))) {
            options.linesPerSecond = value;
        } else if (std::strcmp(arg, "--voc") == 0 && (ok = numberArgument(argc, argv, i, value))) {
            options.voc = value;
        } else if (std::strcmp(arg, "--rint") == 0 && (ok = numberArgument(argc, argv, i, value))) {
            options.rint = value;
        } else if (std::strcmp(arg, "--start-at") == 0 &&
                   (ok = numberArgument(argc, argv, i, value))) {
            options.startAt = value;
        } else if (std::strcmp(arg, "--seed") == 0 && (ok = numberArgument(argc, argv, i, value))) {
            options.seed = static_cast<unsigned>(value);
        } else if (std::strcmp(arg, "--garbage") == 0 &&
                   (ok = numberArgument(argc, argv, i, value))) {
            options.garbageEvery = static_cast<int>(value);
        } else if (std::strcmp(arg, "--overlong-after") == 0 &&
                   (ok = numberArgument(argc, argv, i, value))) {
            options.overlongAfter = static_cast<int>(value);
        } else if (std::strcmp(arg, "--hangup-after") == 0 &&
                   (ok = numberArgument(argc, argv, i, value))) {
            options.hangupAfter = static_cast<int>(value);
        } else if (std::strcmp(arg, "--flood-after") == 0 &&
                   (ok = numberArgument(argc, argv, i, value))) {
            options.floodAfter = static_cast<int>(value);
        } else if (std::strcmp(arg, "--raw-bytes") == 0 &&
                   (ok = numberArgument(argc, argv, i, value))) {
            options.rawBytesEvery = static_cast<int>(value);
        } else if (ok) {
            std::fprintf(stderr, "kestroview-sim: unknown option %s (see --help)\n", arg);
            return 2;
        }
        if (!ok) {
            return 2;
        }
    }
    if (options.comNumber < 0 || options.linesPerSecond <= 0 || options.rint < 0) {
        std::fprintf(stderr, "kestroview-sim: --com, --rate and --rint must not be negative\n");
        return 2;
    }
    return -1;
}
