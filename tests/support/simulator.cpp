#include "support/simulator.h"

#include <algorithm>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/capture_folder.h"

SimulatorRun startSimulator(const std::vector<std::string>& args, int comNumber,
                            bool unprivileged) {
    SimulatorRun run;
    run.comNumber = comNumber;
    run.folder = makeScratchFolder("kv-sim");
    std::vector<std::string> all = {"--com", std::to_string(comNumber)};
    all.insert(all.end(), args.begin(), args.end());
    run.process = startProcess(KV_SIMULATOR_PATH, all, run.folder, unprivileged);
    const std::string link = run.folder + "/COM" + std::to_string(comNumber);
    const bool linked = waitFor(
        [&] {
            struct stat info;
            return lstat(link.c_str(), &info) == 0;
        },
        std::chrono::seconds(20));
    EXPECT_TRUE(linked) << "the simulator made no " << link << ": "
                        << readFile(run.process.stderrPath);
    return run;
}

void stopSimulator(SimulatorRun& run) {
    if (run.process.pid > 0) {
        kill(run.process.pid, SIGTERM);
        if (waitProcess(run.process, std::chrono::seconds(10)) == -1) {
            killProcess(run.process);
        }
    }
    if (!run.folder.empty()) {
        runCommand("rm -rf '" + run.folder + "'");
        run.folder.clear();
    }
}

SimulatorRun::SimulatorRun(SimulatorRun&& other) noexcept
    : process(std::move(other.process)), folder(std::move(other.folder)),
      comNumber(other.comNumber) {
    other.folder.clear();
}

SimulatorRun::~SimulatorRun() {
    stopSimulator(*this);
}

std::vector<std::string> sentLines(const SimulatorRun& run) {
    std::vector<std::string> lines;
    std::istringstream in(readFile(run.process.stdoutPath));
    std::string line;
    while (std::getline(in, line)) {
        lines.push_back(line);
    }
    return lines;
}

std::vector<ReceivedChunk> receivedChunks(const SimulatorRun& run) {
    std::vector<ReceivedChunk> chunks;
    std::istringstream in(readFile(run.process.stderrPath));
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("rx ", 0) != 0) {
            continue;
        }
        std::istringstream fields(line.substr(3));
        ReceivedChunk chunk;
        fields >> chunk.ms;
        std::string hex;
        while (fields >> hex) {
            chunk.bytes += static_cast<char>(std::strtol(hex.c_str(), nullptr, 16));
        }
        chunks.push_back(chunk);
    }
    return chunks;
}

bool simulatorSaid(const SimulatorRun& run, const std::string& text) {
    std::istringstream in(readFile(run.process.stderrPath));
    std::string line;
    while (std::getline(in, line)) {
        if (line == text) {
            return true;
        }
    }
    return false;
}

WorkingDirectoryGuard::WorkingDirectoryGuard(const std::string& folder) {
    char here[PATH_MAX];
    if (getcwd(here, sizeof here) != nullptr) {
        previous = here;
    }
    EXPECT_EQ(chdir(folder.c_str()), 0) << folder;
}

WorkingDirectoryGuard::~WorkingDirectoryGuard() {
    if (!previous.empty() && chdir(previous.c_str()) != 0) {
        ADD_FAILURE() << "could not return to " << previous;
    }
}

bool isCaptureLogNameBetween(const std::string& name, long from, long to) {
    for (long t = from; t <= to; ++t) {
        char expected[256];
        captureLogName(static_cast<std::time_t>(t), expected, sizeof expected);
        // A name another start holds already puts the log beside it: "<stem>_<n>.log".
        const std::string stem(expected, std::strlen(expected) - 4);
        if (name == expected ||
            (name.rfind(stem + "_", 0) == 0 && name.size() > stem.size() + 5 &&
             name.compare(name.size() - 4, 4, ".log") == 0 &&
             name.find_first_not_of("0123456789", stem.size() + 1) == name.size() - 4)) {
            return true;
        }
    }
    return false;
}

int countSimulatorSaid(const SimulatorRun& run, const std::string& text) {
    std::istringstream in(readFile(run.process.stderrPath));
    std::string line;
    int count = 0;
    while (std::getline(in, line)) {
        count += line == text ? 1 : 0;
    }
    return count;
}

bool isRunOfSentLines(const std::string& logged, const std::vector<std::string>& sent,
                      std::size_t from) {
    const auto count = static_cast<std::size_t>(std::count(logged.begin(), logged.end(), '\n'));
    for (std::size_t start = from; start + count <= sent.size(); ++start) {
        std::string run;
        for (std::size_t i = start; i < start + count; ++i) {
            run += sent[i] + "\n";
        }
        if (run == logged) {
            return true;
        }
    }
    return false;
}

std::string joinLines(const std::vector<std::string>& lines, std::size_t from, std::size_t to) {
    std::string text;
    for (std::size_t i = from; i < to && i < lines.size(); ++i) {
        text += lines[i] + "\n";
    }
    return text;
}

std::size_t countLines(const std::string& text) {
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}
