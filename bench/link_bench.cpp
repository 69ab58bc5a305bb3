// Reading a burst of controller lines, as after a frame that took long: cutting the received
// bytes into lines, logging each and parsing it. A real pseudo-terminal carries the bytes.
#include <benchmark/benchmark.h>
#include <string>

#include "allocation_report.h"
#include "link/controller_protocol.h"
#include "link/link_session.h"
#include "support/link_state.h"

namespace {
void BM_ReadReplyLinesBurst(benchmark::State& state) {
    const int lines = int(state.range(0));
    resetLinkState();
    TerminalPair pair = openTerminalPair();
    if (pair.master < 0 || !openPortOn(pair, "/dev/null")) {
        state.SkipWithError("no pseudo-terminal");
        closeTerminalPair(pair);
        releaseLinkState();
        return;
    }
    std::string burst;
    for (int i = 0; i < lines; ++i) {
        burst += "b0 1e 30 40 7f 40 38 2a 0 OMFP\r\n";
    }
    // The first line opens the log's buffer; that is not a line's cost.
    writeAll(pair.master, burst);
    readReplyLines();
    const AllocationCount before = allocationsSoFar();
    for (auto _ : state) {
        state.PauseTiming();
        writeAll(pair.master, burst);
        state.ResumeTiming();
        readReplyLines();
    }
    const AllocationCount after = allocationsSoFar();
    reportAllocations(state, before, after);
    state.counters["lines"] = lines;
    closePort();
    closeTerminalPair(pair);
    releaseLinkState();
}
} // namespace

BENCHMARK(BM_ReadReplyLinesBurst)->Arg(16)->Unit(benchmark::kMicrosecond);
