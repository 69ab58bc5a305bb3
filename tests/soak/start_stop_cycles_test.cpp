// Starting and stopping the link over and over against the simulator, in steps as the frames run
// them: every start gets a capture log of its own holding exactly the lines that start read, and
// no file descriptor is left behind. Each cycle takes some two seconds (the start's and the stop's quiet times): the
// test runs 20 unless KV_SOAK_CYCLES asks for more (tools/test.sh --long runs 200).
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <gtest/gtest.h>
#include <set>
#include <string>

#include "link/capture_log.h"
#include "link/controller_protocol.h"
#include "link/serial_port.h"
#include "support/link_state.h"
#include "support/simulator.h"

namespace {
int cycleCount() {
    const char* asked = std::getenv("KV_SOAK_CYCLES");
    const int count = asked != nullptr ? std::atoi(asked) : 0;
    return count > 0 ? count : 20;
}

int openDescriptors() {
    int count = 0;
    DIR* folder = opendir("/proc/self/fd");
    if (folder == nullptr) {
        return -1;
    }
    while (readdir(folder) != nullptr) {
        ++count;
    }
    closedir(folder);
    return count - 3; // ".", ".." and the folder's own descriptor
}

TEST(StartStopCycles, EachStartLogsExactlyItsLinesAndNoDescriptorIsLeftOpen) {
    const int cycles = cycleCount();
    resetLinkState();
    SimulatorRun sim = startSimulator({"--rate", "50", "--start-at", "2"});
    // However the test ends, the simulator and the logs it made go.
    struct Cleanup {
        SimulatorRun& sim;
        ~Cleanup() {
            stopSimulator(sim);
            releaseLinkState();
        }
    } cleanup{sim};
    std::set<std::string> logs;
    int before = 0;
    int after = 0;
    {
        WorkingDirectoryGuard here(sim.folder);
        before = openDescriptors();
        for (int cycle = 0; cycle < cycles && !HasFatalFailure(); ++cycle) {
            SCOPED_TRACE("cycle " + std::to_string(cycle));
            // The simulator has fallen silent after every earlier stop: what it sends from now
            // on belongs to this start.
            ASSERT_TRUE(waitFor([&] { return countSimulatorSaid(sim, "silent") == cycle; },
                                std::chrono::seconds(20)));
            const std::size_t base = sentLines(sim).size();
            // As the dashboard runs them: in steps, a frame's time apart.
            beginStart();
            ASSERT_TRUE(waitFor(
                [] {
                    advanceLink();
                    return linkStep == LinkStep::none;
                },
                std::chrono::seconds(20)));
            const std::string log = noteCaptureLog();
            ASSERT_TRUE(linkRunning) << (errorBoxes.empty() ? "" : errorBoxes.front());
            ASSERT_TRUE(logs.insert(log).second) << "a log name came again: " << log;
            ASSERT_TRUE(waitFor(
                [&] {
                    readReplyLines();
                    return countLines(readFile(log)) >= 3 || !errorBoxes.empty();
                },
                std::chrono::seconds(20)));
            beginStop();
            ASSERT_TRUE(waitFor(
                [] {
                    advanceLink();
                    return linkStep == LinkStep::none;
                },
                std::chrono::seconds(20)));
            ASSERT_TRUE(errorBoxes.empty()) << errorBoxes.front();
            ASSERT_TRUE(isPortClosed());
            ASSERT_EQ(captureLog, nullptr);

            ASSERT_TRUE(waitFor([&] { return countSimulatorSaid(sim, "silent") == cycle + 1; },
                                std::chrono::seconds(20)));
            const std::vector<std::string> sent = sentLines(sim);
            const std::string logged = readFile(log);
            std::string expected;
            for (std::size_t i = base; i < base + countLines(logged) && i < sent.size(); ++i) {
                expected += sent[i] + "\n";
            }
            ASSERT_EQ(logged, expected);
            std::remove(log.c_str()); // /var/tmp is shared: leave nothing behind on the way
        }
        after = openDescriptors();
    }
    std::printf("file descriptors before %d cycles: %d, after: %d\n", cycles, before, after);
    RecordProperty("descriptors_before", before);
    RecordProperty("descriptors_after", after);
    EXPECT_EQ(after, before);
    EXPECT_EQ(logs.size(), static_cast<std::size_t>(cycles));
}
} // namespace
