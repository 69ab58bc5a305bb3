// The simulator as the dashboard sees it: its documented command line, and a drive whose
// battery pairs, as the dashboard derives them, lie on the line given by --voc and --rint.
#include <cstdio>
#include <ctime>
#include <gtest/gtest.h>

#include "link/controller_protocol.h"
#include "link/quantities.h"
#include "support/link_state.h"
#include "support/simulator.h"

namespace {
TEST(Simulator, HelpDocumentsEveryOption) {
    int code = -1;
    const std::string help = runCommand(std::string(KV_SIMULATOR_PATH) + " --help", &code);
    EXPECT_EQ(code, 0);
    for (const char* option :
         {"--com", "--rate", "--voc", "--rint", "--k2k", "--start-at", "--replay", "--loop",
          "--seed", "--garbage", "--overlong-after", "--hangup-after", "--never-quiet",
          "--hangup-mid-line", "--flood-after", "--feed-every-byte", "--raw-bytes", "--streaming",
          "--replug-after", "--replugs", "--replug-ms"}) {
        EXPECT_NE(help.find(option), std::string::npos) << option;
    }
    runCommand(std::string(KV_SIMULATOR_PATH) + " --bogus 2>/dev/null", &code);
    EXPECT_EQ(code, 2);
}

TEST(Simulator, TheDashboardsBatteryPairsFitTheGivenBattery) {
    resetLinkState();
    tripTotals = TripTotals{};
    SimulatorRun sim =
        startSimulator({"--start-at", "2", "--voc", "96", "--rint", "0.08", "--rate", "20"});
    {
        WorkingDirectoryGuard here(sim.folder);
        startLink();
        noteCaptureLog();
        ASSERT_TRUE(linkRunning);
        ASSERT_TRUE(waitFor(
            [] {
                readReplyLines();
                accumulateFrame(50);
                return tripTotals.sampleIndex >= 60 || !linkRunning;
            },
            std::chrono::seconds(60)));
        stopLink();
    }
    stopSimulator(sim);
    releaseLinkState();

    // Least squares of V on I over the accepted pairs.
    const std::size_t n = tripTotals.sampleIndex;
    ASSERT_GE(n, 60u);
    double si = 0, sv = 0, sii = 0, siv = 0;
    for (std::size_t k = 0; k < n; ++k) {
        const double i = tripTotals.currentSamples[k];
        const double v = tripTotals.voltageSamples[k];
        si += i;
        sv += v;
        sii += i * i;
        siv += i * v;
    }
    const double slope = (n * siv - si * sv) / (n * sii - si * si);
    const double intercept = (sv - slope * si) / n;
    EXPECT_NEAR(intercept, 96.0, 0.5);
    EXPECT_NEAR(-slope, 0.08, 0.01);
}

TEST(Simulator, AReplayedCaptureLogIsCapturedAgainUnchanged) {
    resetLinkState();
    const std::string folder = makeScratchFolder("kv-replay");
    const std::string recorded = "47 1f 30 32 7f 44 40 2a 0 SOMF\n"
                                 "\n"
                                 "50 20 31 32 80 43 41 2a 0 OMFS\n"
                                 "100% odd line\n"
                                 "d3 2d 10 32 9f 40 50 2b 0 OMFP\n";
    {
        std::FILE* file = std::fopen((folder + "/drive.log").c_str(), "w");
        ASSERT_NE(file, nullptr);
        std::fputs(recorded.c_str(), file);
        std::fclose(file);
    }
    SimulatorRun sim = startSimulator({"--replay", folder + "/drive.log"});
    std::string captured;
    {
        WorkingDirectoryGuard here(sim.folder);
        startLink();
        ASSERT_TRUE(linkRunning);
        const std::string log = noteCaptureLog();
        ASSERT_FALSE(log.empty());
        ASSERT_TRUE(waitFor(
            [] {
                readReplyLines();
                return std::string(telemetry.lastLine) == "d3 2d 10 32 9f 40 50 2b 0 OMFP";
            },
            std::chrono::seconds(20)));
        stopLink();
        captured = readFile(log);
    }
    EXPECT_EQ(captured, recorded);
    EXPECT_EQ(telemetry.rawChannels[0], 211.0f);
    stopSimulator(sim);
    releaseLinkState();
}
} // namespace
