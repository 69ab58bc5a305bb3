// The controller simulator as a test partner: started in a scratch folder where it links COMn,
// what it sent (standard output) and what it received (standard error), and a working-directory
// guard for in-process link tests.
#pragma once
#include <string>
#include <vector>

#include "support/process.h"

// Stopped when it goes, however the test ends.
struct SimulatorRun {
    ChildProcess process;
    std::string folder; // scratch working directory holding the COMn link
    int comNumber = 1;

    SimulatorRun() = default;
    SimulatorRun(SimulatorRun&& other) noexcept;
    SimulatorRun& operator=(SimulatorRun&&) = delete;
    ~SimulatorRun();
};

// Starts the simulator with args in a fresh scratch folder and waits (bounded) for its COMn link.
// Fails the calling test (gtest) when the link does not appear. unprivileged: as startProcess.
SimulatorRun startSimulator(const std::vector<std::string>& args, int comNumber = 1,
                            bool unprivileged = false);

// Ends the simulator (SIGTERM, then SIGKILL if it lingers) and removes its folder.
void stopSimulator(SimulatorRun& run);

// The lines the simulator sent so far, without their CR LF.
std::vector<std::string> sentLines(const SimulatorRun& run);

// One read the simulator made of what the dashboard sent.
struct ReceivedChunk {
    double ms; // since the simulator started
    std::string bytes;
};
std::vector<ReceivedChunk> receivedChunks(const SimulatorRun& run);

// True once the simulator has written a line equal to text to standard error.
bool simulatorSaid(const SimulatorRun& run, const std::string& text);

// chdir into folder for the guard's lifetime; the previous working directory comes back after.
struct WorkingDirectoryGuard {
    explicit WorkingDirectoryGuard(const std::string& folder);
    ~WorkingDirectoryGuard();
    WorkingDirectoryGuard(const WorkingDirectoryGuard&) = delete;
    WorkingDirectoryGuard& operator=(const WorkingDirectoryGuard&) = delete;
    std::string previous;
};

// True when name is the capture log name of a time from `from` to `to` (inclusive), or the name
// beside it that a start takes when that one exists already ("<name without .log>_<n>.log").
bool isCaptureLogNameBetween(const std::string& name, long from, long to);

// How many lines equal to text the simulator has written to standard error.
int countSimulatorSaid(const SimulatorRun& run, const std::string& text);

// Lines from..to-1 of lines (as many as there are), each ended by a line feed, as a capture log
// holds them; and the line feeds in a text.
std::string joinLines(const std::vector<std::string>& lines, std::size_t from, std::size_t to);
std::size_t countLines(const std::string& text);

// True when logged (lines ended by line feeds) is a run of consecutive lines of sent, in order,
// starting at index `from` or later: a capture log of one start holds such a run.
bool isRunOfSentLines(const std::string& logged, const std::vector<std::string>& sent,
                      std::size_t from = 0);
