// Child processes for end-to-end tests: start a program in a folder, wait for it with a bound,
// read what it wrote, run small X tools (xdotool) and wait for conditions.
#pragma once
#include <chrono>
#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

struct ChildProcess {
    pid_t pid = -1;
    std::string stdoutPath; // what the child writes to standard output and error
    std::string stderrPath;
};

// Starts program with args in workDir; standard output and error go to files in workDir.
ChildProcess startProcess(const std::string& program, const std::vector<std::string>& args,
                          const std::string& workDir);

// Waits up to timeout for the child to end. Returns its exit code (0..255), or -1 when it is
// still running (it is then left running) or died of a signal.
int waitProcess(ChildProcess& child, std::chrono::milliseconds timeout);

// Sends SIGKILL and reaps the child; harmless when it has ended.
void killProcess(ChildProcess& child);

bool isRunning(const ChildProcess& child);

// Runs a command line through /bin/sh and returns its standard output (trailing newline cut).
std::string runCommand(const std::string& commandLine, int* exitCode = nullptr);

// Polls condition every 50 ms until it holds or timeout passes.
bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout);

std::string readFile(const std::string& path);

// A fresh empty folder under the test's temporary directory, removed by the caller if wanted.
std::string makeScratchFolder(const std::string& prefix);

// A fresh scratch folder that is removed with all it holds when the guard ends, however the test
// ends (an ASSERT returns early).
struct ScratchFolder {
    explicit ScratchFolder(const std::string& prefix) : path(makeScratchFolder(prefix)) {}
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    std::string path;
};

// How many file descriptors this process holds open: a file left open shows as one more.
int openDescriptorCount();
