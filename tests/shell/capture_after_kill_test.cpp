// The capture log survives the program being killed: the program streams from the simulator, is
// killed with SIGKILL, and its log still holds every line it had parsed, as the simulator sent
// them. Only the line being written at that instant may be cut short.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <functional>
#include <string>
#include <unistd.h>

#include "support/link_state.h"
#include "support/process.h"
#include "support/simulator.h"
#include "support/x11.h"

namespace {
using namespace std::chrono_literals;

TEST(CaptureAfterKill, TheLogHoldsEveryLineParsedBeforeTheKill) {
    SimulatorRun sim = startSimulator({"--rate", "20", "--start-at", "2", "--raw-bytes", "7"});
    ASSERT_FALSE(HasFailure());
    ChildProcess app = startProcess(KV_PROGRAM_PATH, {"nosetup", "debug"}, sim.folder);
    std::string log;
    const unsigned long window = waitForWindow("KestroView 0.4", 30s);
    ASSERT_NE(window, 0u) << readFile(app.stderrPath);

    pressKeys(window, "s");
    ASSERT_TRUE(waitFor([&] { return simulatorSaid(sim, "streaming"); }, 60s))
        << readFile(app.stderrPath);
    ASSERT_TRUE(waitFor(
        [&] {
            log = noteCaptureLogOf(app.pid);
            return !log.empty();
        },
        30s));
    ASSERT_TRUE(waitFor([&] { return countLines(readFile(log)) >= 40; }, 60s));

    // Lines the program has parsed are in the log already: it writes each one before parsing.
    const std::size_t seen = countLines(readFile(log));
    killProcess(app);
    kill(sim.process.pid, SIGTERM);
    waitProcess(sim.process, 10s);

    const std::string logged = readFile(log);
    const std::vector<std::string> sent = sentLines(sim);
    const std::size_t whole = countLines(logged);
    ASSERT_GE(whole, seen);
    ASSERT_LE(whole, sent.size());
    std::string expected;
    for (std::size_t i = 0; i < whole; ++i) {
        expected += sent[i] + "\n";
    }
    const std::size_t end = logged.rfind('\n') + 1;
    EXPECT_EQ(logged.substr(0, end), expected);
    // Anything after the last line feed is the start of the next line, never other bytes.
    const std::string tail = logged.substr(end);
    if (!tail.empty()) {
        ASSERT_LT(whole, sent.size());
        EXPECT_EQ(sent[whole].rfind(tail, 0), 0u) << "a torn line that was never sent";
    }
}
} // namespace
