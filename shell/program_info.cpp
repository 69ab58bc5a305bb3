#include "shell/program_info.h"

#include <cstring>

#ifndef KV_VERSION
#error "KV_VERSION is set by the build"
#endif

namespace {
// One line per command-line word, so a new word is one line here.
const char* const commandWords[] = {
    "  nosetup    skip the setup dialog and use the saved settings",
    "  debug      show the latest controller line and the frame rate",
    "  mwmode     use the alternative motor-voltage scale",
    "  reconnect  when the serial device goes away, try it again every second and restart",
};

const char* const helpHead =
    "Usage: kestroview [WORD]...\n"
    "A dashboard for an electric vehicle's DC motor controller on a serial port: dial gauges,\n"
    "a status panel and a volts-against-amps plot. A setup dialog comes first; its \"Start\"\n"
    "saves the choices in KestroView.ini in the working folder and opens the dashboard.\n"
    "\n"
    "Words, found anywhere on the command line (case-sensitive):\n";

const char* const helpTail =
    "  --help     show this text and exit\n"
    "  --version  show the version and exit\n"
    "Any other word is ignored.\n"
    "\n"
    "Keys: S starts or stops the controller's stream of lines, F1 switches between full screen\n"
    "and a window, Escape quits.\n"
    "\n"
    "Files: /var/tmp/kestro_original_T.log (every line received) and /var/tmp/kestro_trip_T.csv\n"
    "(the trip log) for each start of the link; kestroview-report makes a report of a trip log.\n";
} // namespace

int answerProgramInfo(int argc, char** argv, std::FILE* out) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0) {
            std::fputs(helpHead, out);
            for (const char* word : commandWords) {
                std::fprintf(out, "%s\n", word);
            }
            std::fputs(helpTail, out);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::fputs("KestroView " KV_VERSION "\n", out);
            return 0;
        }
    }
    return -1;
}
